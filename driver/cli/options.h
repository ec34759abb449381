// Turning the command line into the settings of a run, in two steps: the
// option table (driver/cli/option_table.h) reads what was typed, and
// decide_run_settings decides the run from that.
#pragma once

#include <optional>
#include <string_view>

#include "driver/cli/arg_list.h"
#include "driver/cli/option_table.h"
#include "driver/cli/run_settings.h"
#include "lib/io/message_sink.h"

namespace kerf {

// Checks the values and decides the layout, the separator and every other
// setting. Nothing when the run must not go on (the message, if any, is on
// `messages`).
std::optional<RunSettings> decide_run_settings(const ParsedCommandLine& line, io::MessageSink& messages);

// Both steps over the whole argument list, the program name first.
std::optional<RunSettings> parse_command_line(const ArgList& args, io::MessageSink& messages);

// -dateformat: 8 or 10 characters holding "mm", "dd" and "yy"; -timeformat:
// 8, or 12 to 18, characters holding "hh:mm" and a fraction of 3 to 9
// digits or none (case is ignored). A pattern outside these could not give
// its dates in every layout, so it is refused.
bool is_accepted_date_pattern(std::string_view value);
bool is_accepted_time_pattern(std::string_view value);

}  // namespace kerf
