#include "tests/support/layout_options.h"

#include <algorithm>

#include "driver/arg_list.h"
#include "driver/options.h"

namespace kerf::testing {

std::optional<RunSettings> settings_for(const std::vector<std::string>& words) {
  std::vector<std::string> all{"kerf"};
  all.insert(all.end(), words.begin(), words.end());
  ArgList args(std::move(all));
  io::MessageSink messages;
  // The real option parser; a run names an input, so one is added when the
  // words give none.
  if (std::none_of(words.begin(), words.end(), [](const std::string& word) {
        return word == "-pipe" || word == "-enumdir" || word.ends_with(".pf");
      })) {
    args.insert(args.size(), "x.pf");
  }
  return parse_command_line(args, messages);
}

}  // namespace kerf::testing
