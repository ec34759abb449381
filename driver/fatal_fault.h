// A fault that would kill the process (a bad memory access or an abort,
// most likely inside one of the image libraries meeting a hostile image)
// ends the run with a message and status 255 instead of a crash: the
// examiner learns that the results are incomplete, and scripts see the
// same failure status as for any other failed run.
#pragma once

namespace kerf {

// Installs the handlers, on a stack of their own (a runaway recursion must
// be caught too). Not under the sanitizers, whose own reports say more.
void end_cleanly_on_fatal_faults();

}  // namespace kerf
