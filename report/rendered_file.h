// One file's report between render() and emit(): its text, and what the
// layout still needs of the file once the text is made, kept typed rather
// than in more text, so that emit() reads it as render() left it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "report/history.h"

namespace kerf {

// A table row whose first cell is filled to its column's width only when
// the row is written: the first file written fixes that width (with
// -pf_path it follows that file's path).
struct TableRowFacts {
  std::size_t first_cell_end = 0;   // where the first cell's text ends in the row
  unsigned first_column_width = 0;  // the width this file would give the column
};

// What the HTML page's timeline keeps of a file until the run ends.
struct TimelineFacts {
  std::string executable;                // page text
  std::string prefetch_file;             // the file's path, page text
  std::vector<std::uint64_t> run_times;  // the last run first

  std::size_t size() const noexcept {
    return executable.size() + prefetch_file.size() + run_times.size() * sizeof(std::uint64_t);
  }
};

class RenderedFile {
 public:
  std::string text;

  // The layout's facts, new and empty, for render() to fill.
  template <typename Facts>
  Facts& new_facts() {
    return m_facts.template emplace<Facts>();
  }

  // The facts render() left; empty ones when it left none of this kind.
  template <typename Facts>
  const Facts& facts() const {
    static const Facts none{};
    const Facts* held = std::get_if<Facts>(&m_facts);
    return held != nullptr ? *held : none;
  }

  // What it holds in memory, for the bound on what waits to be written.
  std::size_t size() const noexcept {
    const HistoryCopy* copy = std::get_if<HistoryCopy>(&m_facts);
    return text.size() + facts<TimelineFacts>().size() + (copy != nullptr ? copy->size() : 0);
  }

  void clear() {
    text.clear();
    m_facts.emplace<std::monostate>();
  }

 private:
  // A HistoryCopy: what -history keeps of the file until the run ends.
  std::variant<std::monostate, TableRowFacts, TimelineFacts, HistoryCopy> m_facts;
};

}  // namespace kerf
