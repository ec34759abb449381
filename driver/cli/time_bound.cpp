#include "driver/cli/time_bound.h"

#include <array>
#include <cstdint>
#include <string>

#include "lib/text/ascii.h"
#include "lib/time/calendar.h"

namespace kerf {

namespace {

constexpr std::int64_t kSecondsPerDay = 86'400;
constexpr std::int64_t kTicksPerSecond = 10'000'000;

// A field of one to `max_digits` decimal digits and nothing else: a bound
// that is mistyped must not turn silently into some other time.
bool read_field(std::string_view text, std::size_t max_digits, unsigned& value) {
  if (text.empty() || text.size() > max_digits) return false;
  value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return true;
}

// Splits `text` at every `separator` into exactly `N` fields.
template <std::size_t N>
bool split_fields(std::string_view text, char separator, std::array<std::string_view, N>& fields) {
  std::size_t count = 0;
  while (true) {
    if (count == N) return false;
    const std::size_t at = text.find(separator);
    fields[count++] = text.substr(0, at);
    if (at == std::string_view::npos) break;
    text.remove_prefix(at + 1);
  }
  return count == N;
}

struct time_of_day {
  unsigned hour = 0;
  unsigned minute = 0;
  unsigned second = 0;
};

// hh:mm or hh:mm:ss.
bool read_time_of_day(std::string_view text, time_of_day& out) {
  std::array<std::string_view, 3> fields{};
  if (split_fields(text, ':', fields)) {
    if (!read_field(fields[2], 2, out.second)) return false;
  } else {
    std::array<std::string_view, 2> short_fields{};
    if (!split_fields(text, ':', short_fields)) return false;
    fields[0] = short_fields[0];
    fields[1] = short_fields[1];
    out.second = 0;
  }
  return read_field(fields[0], 2, out.hour) && read_field(fields[1], 2, out.minute) &&
         out.hour < 24 && out.minute < 60 && out.second < 60;
}

}  // namespace

TimeBoundStatus parse_time_bound(std::string_view value, TimeBoundEnd end, time::Instant& bound) {
  const std::size_t space = value.find(' ');
  const std::string_view date_part = value.substr(0, space);
  const std::string_view time_part =
      space == std::string_view::npos ? std::string_view{} : value.substr(space + 1);

  char separator = 0;
  if (date_part.find('/') != std::string_view::npos) {
    separator = '/';
  } else if (date_part.find('-') != std::string_view::npos) {
    separator = '-';
  }
  if (date_part.empty() || separator == 0) return TimeBoundStatus::malformed;

  std::array<std::string_view, 3> date_fields{};
  unsigned year = 0, month = 0, day = 0;
  if (!split_fields(date_part, separator, date_fields) || !read_field(date_fields[0], 4, year) ||
      !read_field(date_fields[1], 2, month) || !read_field(date_fields[2], 2, day) || month < 1 ||
      month > 12 || day < 1 || day > time::days_in_month(year, month)) {
    return TimeBoundStatus::invalid;
  }

  time_of_day clock;
  if (text::trimmed(time_part).empty()) {
    if (end == TimeBoundEnd::stop) clock = {23, 59, 59};
  } else if (!read_time_of_day(text::trimmed(time_part), clock)) {
    return TimeBoundStatus::invalid;
  }

  const std::int64_t seconds = time::days_from_civil(year, month, day) * kSecondsPerDay +
                               clock.hour * 3600 + clock.minute * 60 + clock.second;
  const std::int64_t filetime =
      seconds * kTicksPerSecond + static_cast<std::int64_t>(time::kUnixEpochFiletime);
  // Years before 1601 have no FILETIME; the rest is judged by the rule of
  // time::Instant (1900 to 3000), so a bound can always be printed.
  if (filetime <= 0) return TimeBoundStatus::invalid;
  const time::Instant parsed = time::Instant::from_filetime(static_cast<std::uint64_t>(filetime));
  if (!parsed.is_valid()) return TimeBoundStatus::invalid;
  bound = parsed;
  return TimeBoundStatus::ok;
}

}  // namespace kerf
