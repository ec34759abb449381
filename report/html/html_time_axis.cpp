#include "report/html/html_time_axis.h"

#include <array>
#include <cmath>

#include "lib/text/numbers.h"
#include "lib/time/calendar.h"
#include "lib/time/instant.h"

namespace kerf {

namespace {

enum class Unit { minute, hour, day, month, year };

struct Step {
  Unit unit;
  unsigned count;
};

constexpr double kMinute = 60;
constexpr double kHour = 3600;
constexpr double kDay = 86400;
// 1970-01-01 in seconds since 1601-01-01.
constexpr double kUnixEpochSeconds = static_cast<double>(time::kUnixEpochFiletime / time::kTicksPerSecond);
// A run time far off (a damaged file within the years 1900 to 3000) may
// stretch the axis to centuries, never beyond what these steps cover.
constexpr std::array kSteps = {
    Step{Unit::minute, 1}, Step{Unit::minute, 2},  Step{Unit::minute, 5},  Step{Unit::minute, 10},
    Step{Unit::minute, 15}, Step{Unit::minute, 30}, Step{Unit::hour, 1},    Step{Unit::hour, 2},
    Step{Unit::hour, 3},   Step{Unit::hour, 6},    Step{Unit::hour, 12},   Step{Unit::day, 1},
    Step{Unit::day, 2},    Step{Unit::day, 7},     Step{Unit::day, 14},    Step{Unit::month, 1},
    Step{Unit::month, 2},  Step{Unit::month, 3},   Step{Unit::month, 6},   Step{Unit::year, 1},
    Step{Unit::year, 2},   Step{Unit::year, 5},    Step{Unit::year, 10},   Step{Unit::year, 20},
    Step{Unit::year, 50},  Step{Unit::year, 100},  Step{Unit::year, 200},  Step{Unit::year, 500},
};

// About how long a step is, for choosing one; the ticks themselves fall on
// calendar boundaries.
double rough_seconds(Step step) {
  constexpr double kYear = 365.2425 * kDay;
  const double unit = step.unit == Unit::minute ? kMinute
                      : step.unit == Unit::hour ? kHour
                      : step.unit == Unit::day  ? kDay
                      : step.unit == Unit::month ? kYear / 12
                                                 : kYear;
  return unit * step.count;
}

std::string describe_step(Step step) {
  static constexpr std::array<const char*, 5> kNames = {"minute", "hour", "day", "month", "year"};
  std::string text;
  if (step.unit == Unit::day && step.count % 7 == 0) {
    text::append_decimal(text, step.count / 7);
    text += step.count == 7 ? " week" : " weeks";
    return text;
  }
  text::append_decimal(text, step.count);
  text.push_back(' ');
  text += kNames[static_cast<std::size_t>(step.unit)];
  if (step.count != 1) text.push_back('s');
  return text;
}

// Seconds since 1601-01-01 of the first instant of a day, and back.
double seconds_at(std::int64_t year, unsigned month, unsigned day) {
  const std::int64_t days_since_1601 = time::days_from_civil(year, month, day) - time::days_from_civil(1601, 1, 1);
  return static_cast<double>(days_since_1601) * kDay;
}

time::CivilDate date_at(double seconds) {
  const auto days = static_cast<std::uint64_t>(seconds / kDay);
  return time::civil_from_days_since_march_0000(days + time::kDaysFromMarch0000To1601);
}

void append_date(std::string& out, const time::CivilDate& date, bool with_day) {
  text::append_zero_padded(out, date.year, 4);
  out.push_back('-');
  text::append_zero_padded(out, date.month, 2);
  if (!with_day) return;
  out.push_back('-');
  text::append_zero_padded(out, date.day, 2);
}

}  // namespace

TimeAxis::TimeAxis(std::uint64_t first, std::uint64_t last, std::size_t max_ticks) {
  const double from = static_cast<double>(first) / time::kTicksPerSecond;
  const double to = static_cast<double>(last) / time::kTicksPerSecond;
  constexpr double kShortest = 10 * kMinute;
  if (to - from < kShortest) {
    const double middle = (from + to) / 2;
    m_start = middle - kShortest / 2;
    m_end = middle + kShortest / 2;
  } else {
    const double margin = (to - from) * 0.03;
    m_start = from - margin;
    m_end = to + margin;
  }
  const double span = m_end - m_start;

  Step step = kSteps.back();
  for (const Step candidate : kSteps) {
    if (span / rough_seconds(candidate) + 1 <= static_cast<double>(max_ticks)) {
      step = candidate;
      break;
    }
  }
  m_step_text = describe_step(step);

  const auto add_tick = [&](double at, std::string label, std::string date) {
    m_ticks.push_back(AxisTick{(at - m_start) / span, std::move(label), std::move(date)});
  };
  if (step.unit == Unit::month || step.unit == Unit::year) {
    // Months counted from year 0, so that a step of 3 months starts a quarter
    // and one of 10 years a decade.
    const time::CivilDate start = date_at(m_start);
    const std::int64_t months_per_step = step.unit == Unit::year ? 12 * step.count : step.count;
    std::int64_t month_index = static_cast<std::int64_t>(start.year) * 12 + (start.month - 1) + 1;
    month_index = (month_index + months_per_step - 1) / months_per_step * months_per_step;
    for (;; month_index += months_per_step) {
      const std::int64_t year = month_index / 12;
      const auto month = static_cast<unsigned>(month_index % 12 + 1);
      const double at = seconds_at(year, month, 1);
      if (at > m_end) break;
      std::string label;
      if (step.unit == Unit::year) {
        text::append_decimal(label, static_cast<std::uint64_t>(year));
      } else {
        append_date(label, time::CivilDate{static_cast<std::uint64_t>(year), month, 1}, false);
      }
      add_tick(at, std::move(label), {});
    }
    return;
  }
  // Minutes, hours and days divide the time since 1601-01-01 (a Monday, at
  // midnight), so ticks fall on whole hours, midnights and Mondays.
  const double every = rough_seconds(step);
  std::string previous_date;
  for (double at = std::ceil(m_start / every) * every; at <= m_end; at += every) {
    const time::CivilDate date = date_at(at);
    std::string day;
    append_date(day, date, true);
    if (step.unit == Unit::day) {
      add_tick(at, std::move(day), {});
      continue;
    }
    const auto second_of_day = static_cast<std::uint64_t>(std::fmod(at, kDay));
    std::string label;
    text::append_zero_padded(label, second_of_day / 3600, 2);
    label.push_back(':');
    text::append_zero_padded(label, second_of_day / 60 % 60, 2);
    std::string shown_date = day == previous_date ? std::string() : day;
    previous_date = std::move(day);
    add_tick(at, std::move(label), std::move(shown_date));
  }
}

double TimeAxis::position(std::uint64_t filetime) const noexcept {
  const double at = static_cast<double>(filetime) / time::kTicksPerSecond;
  return (at - m_start) / (m_end - m_start);
}

double TimeAxis::start_unix_seconds() const noexcept { return m_start - kUnixEpochSeconds; }

double TimeAxis::end_unix_seconds() const noexcept { return m_end - kUnixEpochSeconds; }

}  // namespace kerf
