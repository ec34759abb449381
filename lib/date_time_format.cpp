#include "lib/date_time_format.h"

#include <array>

#include "lib/number_text.h"
#include "lib/padded_decimal.h"
#include "lib/time_fraction.h"

namespace qv {

namespace {

constexpr auto npos = std::string_view::npos;

bool contains(std::string_view text, std::string_view token) noexcept {
  return text.find(token) != npos;
}

void append_date(std::string& out, const _windows_systemtime& calendar, std::string_view pattern) {
  char separator = '/';
  bool space_mode = false;
  if (contains(pattern, "/")) {
    separator = '/';
  } else if (contains(pattern, "-")) {
    separator = '-';
  } else if (contains(pattern, " ")) {
    separator = ' ';
    space_mode = true;
  }

  const padded_decimal month_digits(calendar.month, 2);
  const std::string_view month_text =
      contains(pattern, "mmm") ? month_abbrev(calendar.month) : month_digits.view();
  const padded_decimal day_digits(calendar.day, 2);
  const std::string_view day_text = day_digits.view();
  const padded_decimal year_digits(calendar.year, 4);
  std::string_view year_text = year_digits.view();
  if (contains(pattern, "yy") && !contains(pattern, "yyyy")) year_text.remove_prefix(2);

  const std::size_t month_pos = pattern.find("mm");
  const std::size_t day_pos = pattern.find("dd");
  const std::size_t year_pos = pattern.find("yy");
  if (month_pos == npos || day_pos == npos || year_pos == npos) {
    // Not enough to go by: the month/day/year form, always with "/".
    out.append(month_text).append(1, '/').append(day_text).append(1, '/').append(year_text);
    return;
  }

  const auto append_month_and_day = [&] {
    if (month_pos < day_pos) {
      out.append(month_text).append(1, separator).append(day_text);
      // "mmm dd, yyyy": the comma only counts after a day that follows the
      // month (the tokens cannot overlap, so the day is past the month).
      if (space_mode && pattern.find(',', day_pos) != npos) out.push_back(',');
    } else {
      out.append(day_text).append(1, separator).append(month_text);
    }
  };
  if (year_pos == 0) {
    out.append(year_text).append(1, separator);
    append_month_and_day();
  } else {
    append_month_and_day();
    out.append(1, separator).append(year_text);
  }
}

void append_time(std::string& out, const time& t, std::string_view pattern) {
  const _windows_systemtime& calendar = t.calendar();
  if (contains(pattern, "hh:mm")) {
    append_decimal(out, calendar.hour, 2, '0');
    out.push_back(':');
    append_decimal(out, calendar.minute, 2, '0');
  }
  if (contains(pattern, "ss")) {
    out.push_back(':');
    append_decimal(out, calendar.second, 2, '0');
  }
  append_fraction(out, t, fraction_digits(pattern));
}

}  // namespace

std::string_view month_abbrev(int month) noexcept {
  static constexpr std::array<std::string_view, 12> kNames = {
      "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  if (month < 1 || month > 12) return {};
  return kNames[static_cast<std::size_t>(month - 1)];
}

bool format_date_time(std::string& date, std::string& time_text, const time& t,
                      std::string_view date_pattern, std::string_view time_pattern) {
  date.clear();
  time_text.clear();
  if (!t.is_valid()) return false;
  if (!date_pattern.empty()) append_date(date, t.calendar(), date_pattern);
  if (!time_pattern.empty()) append_time(time_text, t, time_pattern);
  return true;
}

bool format_date_time_no_fraction(std::string& date, std::string& time_text, const time& t,
                                  std::string_view date_pattern, std::string_view time_pattern) {
  const bool formatted = format_date_time(date, time_text, t, date_pattern, time_pattern);
  if (const std::size_t dot = time_text.find('.'); dot != std::string::npos) {
    time_text.erase(dot);
  }
  return formatted;
}

}  // namespace qv
