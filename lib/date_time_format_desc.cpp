#include "lib/date_time_format_desc.h"

#include <algorithm>

#include "lib/date_time_format.h"
#include "lib/number_text.h"
#include "lib/padded_decimal.h"
#include "lib/time_fraction.h"

namespace qv {

namespace {

constexpr auto npos = std::string_view::npos;
constexpr std::uint8_t kOrderMask = date_time_format_desc::kOrderDMY |
                                    date_time_format_desc::kOrderMDY |
                                    date_time_format_desc::kOrderYMD;

void append_date(std::string& out, const _windows_systemtime& calendar,
                 const date_time_format_desc& desc) {
  const std::uint8_t order = desc.flags & kOrderMask;
  if (order == 0) return;
  // A pattern without a separator is written with "/", as format_date_time
  // does, so that the fields never run together.
  const char separator = desc.separator != 0 ? static_cast<char>(desc.separator) : '/';

  const padded_decimal month_digits(calendar.month, 2);
  const std::string_view month_text = (desc.flags & date_time_format_desc::kNumericMonth) != 0
                                          ? month_digits.view()
                                          : month_abbrev(calendar.month);
  const padded_decimal day_digits(calendar.day, 2);
  const std::string_view day_text = day_digits.view();
  // Only a minimum width: a "yy" pattern still shows all four digits here.
  const padded_decimal year_digits(
      calendar.year, (desc.flags & date_time_format_desc::kFourDigitYear) != 0 ? 4 : 2);
  const std::string_view year_text = year_digits.view();

  // Month-day-year wins over the other orders, then day-month-year.
  std::string_view first = month_text;
  std::string_view second = day_text;
  std::string_view third = year_text;
  if ((order & date_time_format_desc::kOrderMDY) == 0) {
    if ((order & date_time_format_desc::kOrderDMY) != 0) {
      first = day_text;
      second = month_text;
    } else {
      first = year_text;
      second = month_text;
      third = day_text;
    }
  }
  out.append(first).append(1, separator).append(second).append(1, separator).append(third);
}

}  // namespace

bool compile_date_time_format(date_time_format_desc& desc, std::string_view date_pattern,
                              std::string_view time_pattern, bool flag) {
  desc = date_time_format_desc{};
  desc.first_year = 1900;
  desc.second_year = 2600;
  desc.fraction = flag ? date_time_format_desc::kCallerFlag : 0;

  if (!date_pattern.empty()) {
    if (date_pattern.find('/') != npos) {
      desc.separator = '/';
    } else if (date_pattern.find('-') != npos) {
      desc.separator = '-';
    } else if (date_pattern.find(' ') != npos) {
      desc.separator = ' ';
    }

    std::size_t month_pos = date_pattern.find("mmm");
    if (month_pos != npos) {
      desc.flags |= date_time_format_desc::kMonthName;
    } else if (month_pos = date_pattern.find("mm"); month_pos != npos) {
      desc.flags |= date_time_format_desc::kNumericMonth;
    } else {
      return false;
    }

    std::size_t year_pos = date_pattern.find("yyyy");
    if (year_pos != npos) {
      desc.flags |= date_time_format_desc::kFourDigitYear;
    } else if (year_pos = date_pattern.find("yy"); year_pos != npos) {
      desc.flags |= date_time_format_desc::kTwoDigitYear;
    } else {
      return false;
    }
    if (date_pattern.find(',') != npos) desc.flags |= date_time_format_desc::kComma;

    const std::size_t day_pos = date_pattern.find("dd");
    if (day_pos == npos) return false;

    if (day_pos < month_pos && month_pos < year_pos) {
      desc.flags |= date_time_format_desc::kOrderDMY;
    } else if (month_pos < day_pos && day_pos < year_pos) {
      desc.flags |= date_time_format_desc::kOrderMDY;
    } else if (year_pos < month_pos && month_pos < day_pos) {
      desc.flags |= date_time_format_desc::kOrderYMD;
    } else {
      return false;
    }
  }

  if (!time_pattern.empty()) {
    const std::size_t digits = std::min<std::size_t>(fraction_digits(time_pattern), 9);
    desc.fraction |= static_cast<std::uint8_t>(digits << date_time_format_desc::kDigitsShift);
  }
  return true;
}

bool format_with_descriptor(std::string& date, std::string& time_text, const time& t,
                            const date_time_format_desc& desc) {
  date.clear();
  time_text.clear();
  if (!t.is_valid()) return false;
  if (!desc.is_compiled()) {
    format_date_time(date, time_text, t, "yyyy-mm-dd", "hh:mm:ss.xxx");
    return false;
  }
  append_date(date, t.calendar(), desc);

  const _windows_systemtime& calendar = t.calendar();
  append_decimal(time_text, calendar.hour, 2, '0');
  time_text.push_back(':');
  append_decimal(time_text, calendar.minute, 2, '0');
  time_text.push_back(':');
  append_decimal(time_text, calendar.second, 2, '0');
  append_fraction(time_text, t, desc.fraction_digit_count());
  return true;
}

}  // namespace qv
