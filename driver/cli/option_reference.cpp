#include "driver/cli/option_reference.h"

#include <array>
#include <optional>
#include <span>
#include <string_view>

#include "driver/cli/option_table.h"
#include "driver/cli/version.h"

namespace kerf {

namespace {

// Where the meanings start; longer words are followed by two blanks, so that
// words and meaning are always told apart by a double blank.
constexpr std::size_t kMeaningColumn = 30;

constexpr std::string_view kIntroduction =
    " decodes Windows Prefetch files (*.pf) and reports what they record.\n"
    "\n"
    "Usage: kerf <file> [options]\n"
    "       kerf <file> <file> ... [options]\n"
    "       find <dir> -iname '*.pf' | kerf -pipe [options]\n"
    "       kerf -enumdir <dir> [-num_subdirs <n>] [options]\n"
    "\n"
    "Options are matched without regard to case and may stand in any order.\n"
    "Every time is UTC. \"man kerf\" describes the layouts and their times.\n";

// The title of each group, in the order of OptionGroup.
constexpr std::array<std::string_view, 5> kGroupTitles = {
    "Layouts (default: the long-form report; with -pipe and -enumdir, a table):",
    "Input:",
    "Output:",
    "Run:",
    "Accepted and ignored (together with the value shown):",
};

// "  -out, -outfile <file>    write to <file> ...": the words of the
// options sharing the line, the value of the last, then the meaning.
void append_line(std::string& text, std::span<const OptionSpec> options) {
  const std::size_t start = text.size();
  text.append(2, ' ');
  for (const OptionSpec& option : options) {
    if (&option != &options.front()) text += ", ";
    text += option.word;
  }
  if (!options.back().value.empty()) text.append(1, ' ').append(options.back().value);
  const std::string_view meaning = options.front().help;
  if (!meaning.empty()) {
    const std::size_t width = text.size() - start;
    text.append(width + 2 <= kMeaningColumn ? kMeaningColumn - width : 2, ' ').append(meaning);
  }
  text.push_back('\n');
}

}  // namespace

std::string option_reference() {
  std::string text = "kerf ";
  text.append(kVersion).append(kIntroduction);
  const std::span<const OptionSpec> options = option_table();
  std::optional<OptionGroup> group;
  for (std::size_t first = 0; first < options.size();) {
    if (options[first].group != group) {
      group = options[first].group;
      text.push_back('\n');
      text.append(kGroupTitles[static_cast<std::size_t>(*group)]).push_back('\n');
    }
    std::size_t end = first + 1;
    while (end < options.size() && options[end].help == kSharesLine) ++end;
    append_line(text, options.subspan(first, end - first));
    first = end;
  }
  return text;
}

}  // namespace kerf
