#include "lib/time_fraction.h"

#include "lib/number_text.h"

namespace qv {

std::size_t fraction_digits(std::string_view time_pattern) noexcept {
  const std::size_t first = time_pattern.find("xxx");
  if (first == std::string_view::npos) return 0;
  return time_pattern.rfind('x') - first + 1;
}

void append_fraction(std::string& out, const time& t, std::size_t digits) {
  std::uint64_t value = 0;
  switch (digits) {
    case 3:
      value = t.milliseconds(false);
      break;
    case 4:
      value = t.microseconds(false) / 100;
      break;
    case 5:
      value = t.microseconds(false) / 10;
      break;
    case 6:
      value = t.microseconds(false);
      break;
    case 7:
      value = t.nanoseconds() / 100;
      break;
    case 8:
      value = t.nanoseconds() / 10;
      break;
    case 9:
      value = t.nanoseconds();
      break;
    default:
      return;
  }
  out.push_back('.');
  append_decimal(out, value, digits, '0');
}

}  // namespace qv
