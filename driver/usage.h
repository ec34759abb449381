// The usage text, shown for a help option, an empty command line, or a
// command line that names no input (or more than one).
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace kerf {

// The usage text with every "%s" replaced by `name` (the program as typed on
// the help path, its base name otherwise).
std::string usage_text(std::string_view name);

// Writes usage_text(name) to `stream` (standard error in a run).
void print_usage(std::string_view name, std::FILE* stream = stderr);

}  // namespace kerf
