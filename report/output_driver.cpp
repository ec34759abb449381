// Placeholder until the report layouts land: decodes, writes nothing.
#include "report/output_driver.h"

#include "prefetch/loader.h"

namespace kerf {

bool output_prefetch_entry(std::ostream&, kerf_user_context& options) {
  return load_prefetch_file(options.m_input_path, options.m_messages_on, options.m_entry,
                            options.m_load_buffers);
}

}  // namespace kerf
