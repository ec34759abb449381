#include "lib/date_time_pattern_option.h"

#include "lib/string_ops.h"

namespace qv {

bool accept_date_format(std::string_view value, std::string& pattern) {
  if (value.size() != 8 && value.size() != 10) return false;
  to_lower(pattern.assign(value));
  return true;
}

bool accept_time_format(std::string_view value, std::string& pattern) {
  const bool length_ok = value.size() == 8 || (value.size() >= 12 && value.size() <= 18);
  if (!length_ok || value.find(':') == std::string_view::npos) return false;
  to_lower(pattern.assign(value));
  return true;
}

std::string invalid_format_message(std::string_view value) {
  std::string message = "invalid ";
  message.append(value).append(", using default format");
  return message;
}

}  // namespace qv
