// The page's execution timeline: one row per executable, sorted by its first
// run, and one mark per run time of every Prefetch file that traces it (the
// last run emphasised), drawn as inline SVG on a UTC time axis.
//
// Files arrive one at a time in input order, on the writing thread; only
// their small facts are kept (the executable, the Prefetch file's path, the
// run times), and the drawing is made once the run is over, in one piece.
// So its size is bounded: a file whose marks would take the drawing past
// kMaxDrawingBytes is counted, not drawn, and the page says so.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "lib/time/date_time_format.h"
#include "prefetch/name_list.h"

namespace kerf {

class TimeAxis;

class ExecutionTimeline {
 public:
  static constexpr std::size_t kMaxDrawingBytes = 24u * 1024u * 1024u;

  // One reported file: its executable's name and its path, both already
  // page text (see html_escape.h), and its run times, the last run first.
  // Zeros are no runs; a time outside the years 1900 to 3000 (a damaged
  // file) is counted but not drawn, so that it can't stretch the axis.
  // `notes`, when given, holds page text for each run time's mark (which
  // copies of a -history hold it).
  void add(std::string_view executable, std::string_view prefetch_file, std::span<const std::uint64_t> run_times,
           std::span<const std::string> notes = {});

  // The timeline's SVG and the notes under it; a short note when no run
  // time can be drawn.
  void write(std::string& out, const time::DateTimeFormat& format) const;

  std::size_t mark_count() const noexcept { return m_marks.size(); }

 private:
  struct Row {
    std::string executable;
    std::uint64_t first_run = UINT64_MAX;
    std::uint32_t files = 0;
  };
  struct Mark {
    std::uint64_t time;
    std::uint32_t row;
    std::uint32_t file;
    bool last;
    std::uint32_t note = UINT32_MAX;  // in m_notes; none when UINT32_MAX
  };

  std::vector<std::uint32_t> rows_in_order() const;
  void write_axis(std::string& out, const TimeAxis& axis, const time::DateTimeFormat& format) const;

  std::vector<Row> m_rows;
  std::unordered_map<std::string, std::uint32_t> m_row_of;
  NameList m_files;
  NameList m_notes;
  std::vector<Mark> m_marks;
  std::uint64_t m_first = UINT64_MAX;
  std::uint64_t m_last = 0;
  std::uint64_t m_undrawable_times = 0;
  std::uint64_t m_files_left_out = 0;
  std::size_t m_drawing_bytes = 0;  // about what write() will make of what is kept
};

}  // namespace kerf
