#include "report/html/html_timeline.h"

#include <algorithm>
#include <charconv>
#include <numeric>

#include "lib/text/numbers.h"
#include "lib/time/calendar.h"
#include "lib/time/instant.h"
#include "report/html/html_time_axis.h"

namespace kerf {

namespace {

// The drawing's own units; the page scales it to the width of the window.
constexpr double kWidth = 1200;
constexpr double kLabelWidth = 212;
constexpr double kPlotLeft = 224;
constexpr double kPlotRight = 1186;
constexpr double kRowHeight = 18;
constexpr double kAxisHeight = 40;
constexpr std::size_t kMaxTicks = 8;
// About what one mark and one row take in the drawing, names aside.
constexpr std::size_t kMarkBytes = 140;
constexpr std::size_t kRowBytes = 160;

void append_number(std::string& out, double value) {
  char digits[32];
  const auto result = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 1);
  out.append(digits, static_cast<std::size_t>(result.ptr - digits));
}

double x_of(const TimeAxis& axis, std::uint64_t filetime) {
  return kPlotLeft + axis.position(filetime) * (kPlotRight - kPlotLeft);
}

void append_svg_start(std::string& out, std::string_view css_class, double height, std::string_view label,
                      std::string_view more_attributes = {}) {
  out += "<svg class=\"";
  out += css_class;
  out += "\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 ";
  append_number(out, kWidth);
  out.push_back(' ');
  append_number(out, height);
  out += "\" role=\"img\" aria-label=\"";
  out += label;
  out.push_back('"');
  out += more_attributes;
  out += ">\n";
}

// In which order the marks' titles give the year, month and day ("ymd",
// "mdy", "dmy"...): the page's script reads each mark's time back from its
// title when it zooms, so that the page need not carry the times twice.
std::string date_order(const time::DateTimeFormat& format) {
  // 2003-01-02: each field tells itself apart ("2003" or "03", "01" or "Jan", "02").
  const std::uint64_t probe = time::filetime_from_unix_seconds(time::days_from_civil(2003, 1, 2) * 86400);
  std::string date;
  format.append_date(date, time::Instant::from_filetime(probe));
  std::string order;
  for (std::size_t at = 0; at < date.size();) {
    const auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
    const auto is_letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    const bool digits = is_digit(date[at]);
    if (!digits && !is_letter(date[at])) {
      ++at;
      continue;
    }
    std::size_t end = at;
    while (end < date.size() && (digits ? is_digit(date[end]) : is_letter(date[end]))) ++end;
    const std::string_view field(date.data() + at, end - at);
    order.push_back(field == "2003" || field == "03" ? 'y' : field == "01" || field == "Jan" ? 'm' : 'd');
    at = end;
  }
  return order;
}

void append_count(std::string& out, std::uint64_t count, std::string_view one, std::string_view many) {
  text::append_decimal(out, count);
  out.push_back(' ');
  out += count == 1 ? one : many;
}

}  // namespace

void ExecutionTimeline::add(std::string_view executable, std::string_view prefetch_file,
                            std::span<const std::uint64_t> run_times, std::span<const std::string> notes) {
  // Zeros are no runs; times outside 1900..3000 would stretch the axis.
  std::size_t drawable = 0;
  for (const std::uint64_t time : run_times) {
    if (time == 0) continue;
    if (time::Instant::from_filetime(time).is_valid()) {
      ++drawable;
    } else {
      ++m_undrawable_times;
    }
  }
  if (drawable == 0) return;
  const auto found = m_row_of.find(std::string(executable));
  std::size_t drawing =
      drawable * (kMarkBytes + prefetch_file.size()) + (found == m_row_of.end() ? kRowBytes + 2 * executable.size() : 0);
  for (const std::string& note : notes) drawing += note.size();
  if (m_drawing_bytes + drawing > kMaxDrawingBytes) {
    ++m_files_left_out;
    return;
  }
  m_drawing_bytes += drawing;
  std::uint32_t row = 0;
  if (found != m_row_of.end()) {
    row = found->second;
  } else {
    row = static_cast<std::uint32_t>(m_rows.size());
    m_rows.push_back(Row{std::string(executable)});
    m_row_of.emplace(executable, row);
  }
  const auto file = static_cast<std::uint32_t>(m_files.size());
  m_files.push_back(prefetch_file);
  ++m_rows[row].files;
  for (std::size_t i = 0; i < run_times.size(); ++i) {
    const std::uint64_t time = run_times[i];
    if (time == 0 || !time::Instant::from_filetime(time).is_valid()) continue;
    m_marks.push_back(Mark{time, row, file, i == 0});
    if (i < notes.size()) {
      m_marks.back().note = static_cast<std::uint32_t>(m_notes.size());
      m_notes.push_back(notes[i]);
    }
    m_rows[row].first_run = std::min(m_rows[row].first_run, time);
    m_first = std::min(m_first, time);
    m_last = std::max(m_last, time);
  }
}

// By first run; the same first run by name. Every row has a mark.
std::vector<std::uint32_t> ExecutionTimeline::rows_in_order() const {
  std::vector<std::uint32_t> order(m_rows.size());
  std::iota(order.begin(), order.end(), 0u);
  std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    const Row& left = m_rows[a];
    const Row& right = m_rows[b];
    return left.first_run != right.first_run ? left.first_run < right.first_run : left.executable < right.executable;
  });
  return order;
}

void ExecutionTimeline::write_axis(std::string& out, const TimeAxis& axis, const time::DateTimeFormat& format) const {
  // The axis's ends and the marks' date order, for the script that zooms.
  std::string span = " data-start=\"";
  append_number(span, axis.start_unix_seconds());
  span += "\" data-end=\"";
  append_number(span, axis.end_unix_seconds());
  span += "\" data-dates=\"";
  span += date_order(format);
  span.push_back('"');
  append_svg_start(out, "axis", kAxisHeight, "time axis, UTC", span);
  for (const AxisTick& tick : axis.ticks()) {
    const double x = kPlotLeft + tick.position * (kPlotRight - kPlotLeft);
    out += "<line class=\"tick\" x1=\"";
    append_number(out, x);
    out += "\" x2=\"";
    append_number(out, x);
    out += "\" y1=\"33\" y2=\"40\"/><text x=\"";
    append_number(out, x);
    out += "\" y=\"14\">";
    out += tick.label;
    out += "</text>";
    if (!tick.date.empty()) {
      out += "<text class=\"date\" x=\"";
      append_number(out, x);
      out += "\" y=\"28\">";
      out += tick.date;
      out += "</text>";
    }
    out.push_back('\n');
  }
  out += "<text class=\"utc\" x=\"4\" y=\"14\">UTC</text>\n</svg>\n";
}

void ExecutionTimeline::write(std::string& out, const time::DateTimeFormat& format) const {
  const std::vector<std::uint32_t> order = rows_in_order();
  if (m_marks.empty()) {
    out += "<p class=\"note\">No run time to draw.</p>\n";
  } else {
    const TimeAxis axis(m_first, m_last, kMaxTicks);
    std::vector<std::uint32_t> rank(m_rows.size(), 0);
    for (std::uint32_t i = 0; i < order.size(); ++i) rank[order[i]] = i;
    // Row by row; within a row the earlier runs first, so that the last runs
    // are drawn over them.
    std::vector<const Mark*> marks;
    marks.reserve(m_marks.size());
    for (const Mark& mark : m_marks) marks.push_back(&mark);
    std::sort(marks.begin(), marks.end(), [&](const Mark* a, const Mark* b) {
      if (rank[a->row] != rank[b->row]) return rank[a->row] < rank[b->row];
      if (a->last != b->last) return b->last;
      return a->time < b->time;
    });

    write_axis(out, axis, format);
    const double height = static_cast<double>(order.size()) * kRowHeight + 4;
    out += "<div class=\"scroll\">\n";
    append_svg_start(out, "rows", height, "run times, one row per executable");
    out += "<defs><clipPath id=\"label-clip\"><rect width=\"";
    append_number(out, kLabelWidth);
    out += "\" height=\"";
    append_number(out, height);
    out += "\"/></clipPath></defs>\n<path class=\"grid\" d=\"";
    for (const AxisTick& tick : axis.ticks()) {
      out.push_back('M');
      append_number(out, kPlotLeft + tick.position * (kPlotRight - kPlotLeft));
      out += " 0V";
      append_number(out, height);
    }
    out += "\"/>\n";
    for (std::uint32_t i = 0; i < order.size(); ++i) {
      if (i % 2 == 1) {
        out += "<rect class=\"band\" y=\"";
        append_number(out, i * kRowHeight);
        out += "\" width=\"1200\" height=\"18\"/>";
      }
    }
    out += "\n<g class=\"labels\" clip-path=\"url(#label-clip)\">\n";
    for (std::uint32_t i = 0; i < order.size(); ++i) {
      const Row& row = m_rows[order[i]];
      out += "<text x=\"4\" y=\"";
      append_number(out, i * kRowHeight + 13);
      out += "\">";
      out += row.executable;
      out += "<title>";
      out += row.executable;
      out += ", ";
      append_count(out, row.files, "Prefetch file", "Prefetch files");
      out += "</title></text>\n";
    }
    out += "</g>\n";
    for (const Mark* mark : marks) {
      out += mark->last ? "<circle class=\"mark last\" r=\"4.5\" cx=\"" : "<circle class=\"mark\" r=\"3\" cx=\"";
      append_number(out, x_of(axis, mark->time));
      out += "\" cy=\"";
      append_number(out, rank[mark->row] * kRowHeight + 9);
      out += "\"><title>";
      format.append_date_time(out, mark->time);
      out += " UTC, ";
      out += mark->last ? "last run" : "earlier run";
      out += ", ";
      out += m_files[mark->file];
      if (mark->note != UINT32_MAX) {
        out += ", ";
        out += m_notes[mark->note];
      }
      out += "</title></circle>\n";
    }
    out += "</svg>\n</div>\n<p class=\"note\">";
    append_count(out, m_marks.size(), "run time", "run times");
    out += " of ";
    append_count(out, m_files.size(), "Prefetch file", "Prefetch files");
    out += ", ";
    append_count(out, order.size(), "executable", "executables");
    out += "; ticks every ";
    out += axis.step_text();
    out += ".</p>\n";
  }
  if (m_undrawable_times != 0) {
    out += "<p class=\"note warn\">";
    append_count(out, m_undrawable_times, "run time lies", "run times lie");
    out += " outside the years 1900 to 3000 (a damaged file?) and ";
    out += m_undrawable_times == 1 ? "is" : "are";
    out += " not drawn; the table shows the raw value.</p>\n";
  }
  if (m_files_left_out != 0) {
    out += "<p class=\"note warn\">";
    append_count(out, m_files_left_out, "more reported file is", "more reported files are");
    out += " not drawn: the timeline holds at most 24 MiB of drawing. The table lists every file.</p>\n";
  }
}

}  // namespace kerf
