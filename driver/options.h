// Turning the command line into the settings of a run.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "driver/arg_list.h"
#include "driver/run_settings.h"
#include "lib/io/message_sink.h"

namespace kerf {

// Parses the whole argument list into settings, taking out every option it
// recognises with its value; what is left is the program name and the words
// no option took. Nothing when the run must not go on (the message, if
// any, is on `messages`).
//
// The long-form report is the default unless a delimited layout is named,
// or piped names and a directory are both given without -verbose/-v (the
// " | " table then suits the long lists such runs produce).
std::optional<RunSettings> parse_command_line(ArgList& args, io::MessageSink& messages);

// Every option word the parser recognises, in the order it looks for them.
std::vector<std::string_view> recognised_options();

// -dateformat: 8 or 10 characters holding "mm", "dd" and "yy"; -timeformat:
// 8, or 12 to 18, characters holding "hh:mm" and a fraction of 3 to 9
// digits or none (case is ignored). A pattern outside these could not give
// its dates in every layout, so it is refused.
bool is_accepted_date_pattern(std::string_view value);
bool is_accepted_time_pattern(std::string_view value);

}  // namespace kerf
