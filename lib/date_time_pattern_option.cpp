#include "lib/date_time_pattern_option.h"

namespace qv {

namespace {

void store_lower_case(std::string_view value, std::string& pattern) {
  pattern.assign(value);
  for (char& c : pattern) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
}

}  // namespace

bool accept_date_format(std::string_view value, std::string& pattern) {
  if (value.size() != 8 && value.size() != 10) return false;
  store_lower_case(value, pattern);
  return true;
}

bool accept_time_format(std::string_view value, std::string& pattern) {
  const bool length_ok = value.size() == 8 || (value.size() >= 12 && value.size() <= 18);
  if (!length_ok || value.find(':') == std::string_view::npos) return false;
  store_lower_case(value, pattern);
  return true;
}

std::string invalid_format_message(std::string_view value) {
  std::string message = "invalid ";
  message.append(value).append(", using default format");
  return message;
}

}  // namespace qv
