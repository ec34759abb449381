#include "tests/support/layout_options.h"

#include "driver/arg_list.h"
#include "driver/options.h"

namespace kerf::testing {

std::optional<RunSettings> settings_for(const std::vector<std::string>& words) {
  std::vector<std::string> all{"kerf"};
  all.insert(all.end(), words.begin(), words.end());
  ArgList args(std::move(all));
  io::MessageSink messages;
  // The real option parser: every word must be consumed by it.
  std::optional<RunSettings> settings = parse_command_line(args, messages);
  if (args.size() != 1) return std::nullopt;
  return settings;
}

}  // namespace kerf::testing
