// The words for a failed system call, as kerf writes them after a name:
// "permission denied", "no such file or directory".
#pragma once

#include <string>

namespace kerf::io {

std::string system_error_text(int error);

}  // namespace kerf::io
