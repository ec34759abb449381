// The program: start-up, one run over the selected input, and the exit
// status (0 when the last file handed to the decoder was reported, after the
// help text, the option reference or the version, and when the usage is
// shown; 255 otherwise).
#pragma once

namespace kerf {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 255;

int run_program(int argc, char** argv);

}  // namespace kerf
