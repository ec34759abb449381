// The time axis of the page's execution timeline: a span of UTC time fitted
// with a handful of labelled ticks on calendar boundaries, from minutes up to
// centuries, whatever the spread of the run times.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kerf {

struct AxisTick {
  double position = 0;  // 0 at the start of the axis, 1 at its end
  std::string label;    // "2016", "2016-03", "2016-03-04" or "10:15"
  std::string date;     // ticks under a day apart: the day, where it changes ("2016-03-04")
};

class TimeAxis {
 public:
  // An axis for run times from `first` to `last` (FILETIMEs of valid
  // instants, first <= last), with at most `max_ticks` ticks. The span is
  // widened a little on both sides so that no mark sits on an edge; run
  // times less than ten minutes apart (one run time alone, or all in one
  // second) get ten minutes around their middle.
  TimeAxis(std::uint64_t first, std::uint64_t last, std::size_t max_ticks);

  // Where a FILETIME falls: 0 at the start of the axis, 1 at its end.
  double position(std::uint64_t filetime) const noexcept;
  const std::vector<AxisTick>& ticks() const noexcept { return m_ticks; }
  // The step between two ticks, in words: "5 minutes", "1 month", "10 years".
  const std::string& step_text() const noexcept { return m_step_text; }
  // The ends of the axis, in seconds since 1970-01-01 UTC (before it, below
  // zero): the page's script draws its zoomed views from them.
  double start_unix_seconds() const noexcept;
  double end_unix_seconds() const noexcept;

 private:
  double m_start = 0;  // seconds since 1601-01-01 UTC
  double m_end = 0;
  std::vector<AxisTick> m_ticks;
  std::string m_step_text;
};

}  // namespace kerf
