// The usage text, shown for a help option, an empty command line, or a
// command line that names no input (or more than one).
#pragma once

#include <string>
#include <string_view>

namespace kerf {

// The usage text with every "%s" replaced by `name` (the program as typed on
// the help path, its base name otherwise).
std::string usage_text(std::string_view name);

}  // namespace kerf
