#include "driver/cli/usage.h"

#include <array>

#include "driver/cli/version.h"

namespace kerf {

namespace {

constexpr std::size_t kRuleWidth = 77;

// Each "%s" stands for the program name.
constexpr std::array<std::string_view, 24> kUsageLines = {
    "Usage:",
    "",
    "   kerf <filename> [options]   = parse individual file",
    "   find /home -name *.pf -type f | %s -pipe",
    "   ls /home/prefetch_dir/*.pf | %s -pipe > results",
    "   kerf -enumdir <location pf files> -num_subdirs <#> [options]",
    "",
    " Basic options",
    "  -csv                       = output in comma separated value format",
    "  -csvl2t                    = log2timeline output",
    "  -bodyfile                  = sleuthkit output",
    "  -verbose                   = force module listing to be in output",
    "",
    " Additional options",
    "  -pipe                      = pipe files into app for processing",
    "  -hostname <name>           = csv output will contain this hostname",
    "  -dateformat mm/dd/yyyy     = \"yyyy-mm-dd\" is the default",
    "  -timeformat hh:mm:ss       = \"hh:mm:ss.xxx\" is the default",
    "  -pair_datetime             = combine date/time into 1 field for csv",
    "  -no_whitespace             = remove whitespace between csv delimiter",
    "  -csv_separator \"|\"         = use a pipe character for csv separator",
    "  -pf_path                   = include prefetch path in output",
    "  -filter <*partial*|*.ext>  = filters stdin data from -pipe option",
    "",
};

}  // namespace

std::string usage_text(std::string_view name) {
  std::string text(kRuleWidth, '-');
  text += "\n\n";
  text += kBanner;
  text += "\n\n";
  for (const std::string_view line : kUsageLines) {
    // Substituted as text, never used as a printf format: the name comes from
    // the command line.
    std::size_t start = 0;
    for (std::size_t at = line.find("%s"); at != std::string_view::npos;
         at = line.find("%s", start)) {
      text.append(line, start, at - start);
      text += name;
      start = at + 2;
    }
    text.append(line, start);
    text += '\n';
  }
  return text;
}

}  // namespace kerf
