#include "report/report_text.h"

#include "lib/text/numbers.h"

namespace kerf {

void append_volume_serial(std::string& out, std::uint32_t serial) {
  text::append_hex(out, serial >> 16, 4);
  out.push_back('-');
  text::append_hex(out, serial & 0xFFFFu, 4);
}

}  // namespace kerf
