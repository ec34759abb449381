#include "tests/support/layout_options.h"

#include "driver/version.h"
#include "lib/arg_list.h"

namespace kerf::testing {

bool apply_layout_options(kerf_user_context& options, std::vector<std::string> words) {
  qv::arg_list args{"kerf"};
  args.insert(args.end(), words.begin(), words.end());
  // The real option parser: every word must be consumed by it.
  return parse_program_options(options, args, kVersionText) && args.size() == 1;
}

}  // namespace kerf::testing
