// The option reference that --help prints: every option of the option table
// (driver/cli/option_table.h), grouped as README groups them, one line each.
//
// Each line shows the option words and their value ("-out, -outfile
// <file>"), then what they do. The value's name says what it is, and the
// shell completion reads it from here: <file> completes file names, <dir>
// directory names, any other <...> nothing.
#pragma once

#include <string>

namespace kerf {

std::string option_reference();

}  // namespace kerf
