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

void append_clock(std::string& out, const CalendarTime& calendar) {
  text::append_zero_padded(out, calendar.hour, 2);
  out.push_back(':');
  text::append_zero_padded(out, calendar.minute, 2);
  out.push_back(':');
  text::append_zero_padded(out, calendar.second, 2);
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

DelimitedDateTimeFormat::DelimitedDateTimeFormat(std::string_view date_pattern,
                                                 std::string_view time_pattern, bool pair_datetime)
    : m_set(pair_datetime) {
  // Reading stops at the first date token that is missing or out of order;
  // whatever was read until then still counts (and the time pattern is then
  // not read at all).
  if (!date_pattern.empty()) {
    if (contains(date_pattern, "/")) {
      m_separator = '/';
    } else if (contains(date_pattern, "-")) {
      m_separator = '-';
    } else if (contains(date_pattern, " ")) {
      m_separator = ' ';
    }
    if (m_separator != 0) m_set = true;

    std::size_t month_pos = date_pattern.find("mmm");
    if (month_pos != npos) {
      m_month_name = true;
    } else if (month_pos = date_pattern.find("mm"); month_pos == npos) {
      return;
    }
    m_set = true;
    std::size_t year_pos = date_pattern.find("yyyy");
    if (year_pos == npos) year_pos = date_pattern.find("yy");
    if (year_pos == npos) return;
    const std::size_t day_pos = date_pattern.find("dd");
    if (day_pos == npos) return;
    if (day_pos < month_pos && month_pos < year_pos) {
      m_order = Order::day_month_year;
    } else if (month_pos < day_pos && day_pos < year_pos) {
      m_order = Order::month_day_year;
    } else if (year_pos < month_pos && month_pos < day_pos) {
      m_order = Order::year_month_day;
    } else {
      return;
    }
  }
  if (!time_pattern.empty()) {
    m_fraction_digits = std::min<std::size_t>(fraction_digits(time_pattern), 9);
    if (m_fraction_digits != 0) m_set = true;
  }
}

void DelimitedDateTimeFormat::format(const Instant& t, std::string& date, std::string& time_text) const {
  date.clear();
  time_text.clear();
  if (!t.is_valid()) return;
  if (!m_set) {
    static const DateTimeFormat kDefault("yyyy-mm-dd", "hh:mm:ss.xxx");
    kDefault.append_date(date, t);
    kDefault.append_time(time_text, t);
    return;
  }
  const CalendarTime& calendar = t.calendar();
  if (m_order != Order::none) {
    const char separator = m_separator != 0 ? m_separator : '/';
    const auto month = [&] {
      if (m_month_name) {
        date.append(month_abbrev(calendar.month));
      } else {
        text::append_zero_padded(date, calendar.month, 2);
      }
    };
    const auto day = [&] { text::append_zero_padded(date, calendar.day, 2); };
    const auto year = [&] { text::append_zero_padded(date, calendar.year, 4); };
    const auto in_order = [&](auto first, auto second, auto third) {
      first();
      date.push_back(separator);
      second();
      date.push_back(separator);
      third();
    };
    switch (m_order) {
      case Order::month_day_year: in_order(month, day, year); break;
      case Order::day_month_year: in_order(day, month, year); break;
      case Order::year_month_day: in_order(year, month, day); break;
      case Order::none: break;
    }
  }
  append_clock(time_text, calendar);
  append_fraction(time_text, calendar, m_fraction_digits);
}

}  // namespace kerf::time
