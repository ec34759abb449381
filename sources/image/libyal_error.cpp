#include "sources/image/libyal_error.h"

namespace kerf::image {

std::string innermost_message(std::string_view backtrace, std::string_view fallback) {
  std::string_view line = backtrace.substr(0, backtrace.find_first_of("\r\n"));
  // "libewf_section_data_read: media type does not match.": the function
  // name is one word before the first ": ".
  if (const auto colon = line.find(": "); colon != std::string_view::npos &&
                                          line.substr(0, colon).find(' ') == std::string_view::npos) {
    line.remove_prefix(colon + 2);
  }
  while (!line.empty() && (line.back() == '.' || line.back() == ' ')) line.remove_suffix(1);
  return std::string(line.empty() ? fallback : line);
}

}  // namespace kerf::image
