#include "lib/time/date_time_format.h"

#include <algorithm>
#include <array>

#include "lib/text/numbers.h"

namespace kerf::time {

namespace {

constexpr auto npos = std::string_view::npos;

bool contains(std::string_view text, std::string_view token) noexcept {
  return text.find(token) != npos;
}

// "." and `digits` digits of the sub-second part, cut (not rounded). Fewer
// than 3 or more than 9 digits write nothing.
void append_fraction(std::string& out, const CalendarTime& calendar, std::size_t digits) {
  static constexpr std::array<std::uint64_t, 7> kDivisors = {1'000'000, 100'000, 10'000, 1'000,
                                                              100,       10,      1};
  if (digits < 3 || digits > 9) return;
  out.push_back('.');
  text::append_zero_padded(out, std::uint64_t{calendar.ticks} * 100 / kDivisors[digits - 3], digits);
}

}  // namespace

std::string_view month_abbrev(unsigned month) noexcept {
  static constexpr std::array<std::string_view, 12> kNames = {
      "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  if (month < 1 || month > 12) return {};
  return kNames[month - 1];
}

std::size_t fraction_digits(std::string_view time_pattern) noexcept {
  const std::size_t first = time_pattern.find("xxx");
  if (first == npos) return 0;
  return time_pattern.rfind('x') - first + 1;
}

bool is_usable_date_pattern(std::string_view pattern) noexcept {
  return contains(pattern, "mm") && contains(pattern, "dd") && contains(pattern, "yy");
}

// A time without its seconds would hide them, and a fraction could then
// pass for seconds ("22:08.9853304"): the pattern must ask for hours,
// minutes and seconds.
bool is_usable_time_pattern(std::string_view pattern) noexcept {
  const std::size_t digits = fraction_digits(pattern);
  const bool fraction_ok = digits == 0 ? !contains(pattern, "x") : digits >= 3 && digits <= 9;
  return contains(pattern, "hh:mm") && contains(pattern, "ss") && fraction_ok;
}

DateTimeFormat::DateTimeFormat(std::string_view date_pattern, std::string_view time_pattern) {
  if (!date_pattern.empty()) {
    bool space_mode = false;
    if (contains(date_pattern, "/")) {
      m_separator = '/';
    } else if (contains(date_pattern, "-")) {
      m_separator = '-';
    } else if (contains(date_pattern, " ")) {
      m_separator = ' ';
      space_mode = true;
    }
    m_month_name = contains(date_pattern, "mmm");
    m_two_digit_year = contains(date_pattern, "yy") && !contains(date_pattern, "yyyy");
    const std::size_t month_pos = date_pattern.find("mm");
    const std::size_t day_pos = date_pattern.find("dd");
    const std::size_t year_pos = date_pattern.find("yy");
    if (month_pos == npos || day_pos == npos || year_pos == npos) {
      m_date_shape = DateShape::month_day_year_slash;
    } else {
      m_date_shape = year_pos == 0 ? DateShape::year_first : DateShape::year_last;
      m_month_before_day = month_pos < day_pos;
      // "mmm dd, yyyy": the comma only counts after a day that follows the
      // month (the tokens cannot overlap, so the day is past the month).
      m_comma_after_day = space_mode && date_pattern.find(',', day_pos) != npos;
    }
  }
  if (!time_pattern.empty()) {
    m_time = true;
    m_hours_minutes = contains(time_pattern, "hh:mm");
    m_seconds = contains(time_pattern, "ss");
    m_fraction_digits = fraction_digits(time_pattern);
  }
}

void DateTimeFormat::append_date(std::string& out, const Instant& t) const {
  if (!t.is_valid() || m_date_shape == DateShape::none) return;
  const CalendarTime& calendar = t.calendar();
  const auto month = [&] {
    if (m_month_name) {
      out.append(month_abbrev(calendar.month));
    } else {
      text::append_zero_padded(out, calendar.month, 2);
    }
  };
  const auto day = [&] { text::append_zero_padded(out, calendar.day, 2); };
  const auto year = [&] {
    text::append_zero_padded(out, m_two_digit_year ? calendar.year % 100 : calendar.year,
                             m_two_digit_year ? 2 : 4);
  };
  const auto month_and_day = [&] {
    if (m_month_before_day) {
      month();
      out.push_back(m_separator);
      day();
      if (m_comma_after_day) out.push_back(',');
    } else {
      day();
      out.push_back(m_separator);
      month();
    }
  };

  switch (m_date_shape) {
    case DateShape::none:
      return;
    case DateShape::month_day_year_slash:
      month();
      out.push_back('/');
      day();
      out.push_back('/');
      year();
      return;
    case DateShape::year_first:
      year();
      out.push_back(m_separator);
      month_and_day();
      return;
    case DateShape::year_last:
      month_and_day();
      out.push_back(m_separator);
      year();
      return;
  }
}

void DateTimeFormat::append_time(std::string& out, const Instant& t, bool fraction) const {
  if (!t.is_valid() || !m_time) return;
  const CalendarTime& calendar = t.calendar();
  if (m_hours_minutes) {
    text::append_zero_padded(out, calendar.hour, 2);
    out.push_back(':');
    text::append_zero_padded(out, calendar.minute, 2);
  }
  if (m_seconds) {
    out.push_back(':');
    text::append_zero_padded(out, calendar.second, 2);
  }
  if (fraction) append_fraction(out, calendar, m_fraction_digits);
}

void DateTimeFormat::append_date_time(std::string& out, std::uint64_t filetime, bool fraction) const {
  const Instant t = Instant::from_filetime(filetime);
  append_date(out, t);
  out.push_back(' ');
  append_time(out, t, fraction);
}

}  // namespace kerf::time
