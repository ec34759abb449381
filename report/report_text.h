// Small texts shared by the report layouts: a volume serial number as
// "xxxx-xxxx", and lists joined by "; ".
#pragma once

#include <cstdint>
#include <string>

namespace kerf {

// The upper and the lower 16 bits as four lower-case hex digits each, joined
// by "-" (0x0012abcd gives "0012-abcd").
void append_volume_serial(std::string& out, std::uint32_t serial);

// Calls append_item(out, item) for each item of `items`, with "; " between.
template <typename Range, typename AppendItem>
void append_joined(std::string& out, const Range& items, AppendItem append_item) {
  bool first = true;
  for (const auto& item : items) {
    if (!first) out += "; ";
    first = false;
    append_item(out, item);
  }
}

}  // namespace kerf
