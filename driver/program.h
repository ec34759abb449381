// The program: start-up, one run over the selected input, and the exit
// status (0 when every file handed to the decoder was reported, at least
// one, and after the help text, the option reference or the version; 255
// otherwise).
#pragma once

namespace kerf {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 255;

int run_program(int argc, char** argv);

}  // namespace kerf
