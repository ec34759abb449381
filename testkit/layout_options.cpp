#include "testkit/layout_options.h"

#include <algorithm>

#include "driver/cli/arg_list.h"
#include "driver/cli/options.h"

namespace kerf::testing {

std::optional<RunSettings> settings_for(const std::vector<std::string>& words) {
  std::vector<std::string> all{"kerf"};
  all.insert(all.end(), words.begin(), words.end());
  // The real option parser; a run names an input, so one is added when the
  // words give none.
  if (std::none_of(words.begin(), words.end(), [](const std::string& word) {
        return word == "-pipe" || word == "-enumdir" || word.ends_with(".pf");
      })) {
    all.push_back("x.pf");
  }
  io::MessageSink messages;
  return parse_command_line(ArgList(std::move(all)), messages);
}

}  // namespace kerf::testing
