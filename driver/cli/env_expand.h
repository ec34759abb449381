// %NAME% references in the paths an examiner types: the input file, the
// results file, the directory to walk.
#pragma once

#include <string>

namespace kerf {

// Returns `text` with every %NAME% reference whose variable is set in the
// environment replaced by its value; values are expanded in turn. Expansion
// stops once the text is 513 characters or longer. A reference to an unset
// variable stays as written, except that %vss% (any case) becomes the device
// prefix of the volume shadow copies. A reference that still expands after
// 64 nested replacements (a variable that names itself, or a cycle of them)
// is left as it stands and the scan goes on after it.
std::string expand_env_vars(const std::string& text);

}  // namespace kerf
