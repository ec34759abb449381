#include "lib/time/iso8601.h"

#include "lib/text/numbers.h"

namespace kerf::time {

void append_iso8601(std::string& out, const Instant& t) {
  if (!t.is_valid()) return;
  const CalendarTime& c = t.calendar();
  text::append_zero_padded(out, c.year, 4);
  out.push_back('-');
  text::append_zero_padded(out, c.month, 2);
  out.push_back('-');
  text::append_zero_padded(out, c.day, 2);
  out.push_back('T');
  text::append_zero_padded(out, c.hour, 2);
  out.push_back(':');
  text::append_zero_padded(out, c.minute, 2);
  out.push_back(':');
  text::append_zero_padded(out, c.second, 2);
  out.push_back('.');
  text::append_zero_padded(out, c.ticks, 7);
  out.push_back('Z');
}

}  // namespace kerf::time
