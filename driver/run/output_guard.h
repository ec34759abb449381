// Where a run may write. Evidence is read-only, so the results file (-out),
// the diagnostics file (-diags) and standard output, when it is a regular
// file, are checked before anything is opened for writing:
//
// - none of them may be a file the run could read: a name typed on the
//   command line (under any name: the same device and inode), or, for an
//   -enumdir run, any existing file inside the tree the walk reaches;
// - none may hold a Prefetch file or a compressed container, kerf's own
//   output never does;
// - for a -pipe run, whose names come in only as the run goes, an existing
//   file that is not empty must begin as kerf's own output does (the run
//   header, a diagnostics file, a JSON record or event, an HTML page, the
//   column row of a table or timeline): anything else could be named in the
//   list, and kerf will not truncate or append to a file it may read;
// - the results and the diagnostics may not share one file (under one name
//   or two), nor may the diagnostics go to the file standard output writes.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "driver/cli/run_settings.h"
#include "lib/io/file.h"

namespace kerf {

// A file a run means to write: a path, or standard output.
struct OutputTarget {
  std::string path;  // the name the examiner gave; empty for standard output
  bool standard_output() const noexcept { return path.empty(); }
};

// Why the run may not write to `target`, as the words that end a refusal
// ("it is an input file"); empty when it may. A path that leads to no file
// yet may always be written: the run creates it, and a bulk run skips it
// when it meets it among its inputs.
// `image_files`: every file of the disk images the run reads (each
// segment), which no output may be either.
std::string evidence_problem(const OutputTarget& target, const InputSettings& input,
                             std::span<const io::FileId> image_files = {});

// Whether the two targets are one file, existing or as created.
bool same_output_file(const OutputTarget& a, const OutputTarget& b);

// The file `target` leads to (standard output's, by its descriptor);
// nothing when there is none yet.
std::optional<io::FileId> output_file_id(const OutputTarget& target);

// Whether standard output is a regular file, the one kind of output that
// could be evidence.
bool standard_output_is_regular_file();

}  // namespace kerf
