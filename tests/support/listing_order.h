// The order in which a directory walk must hand out files, worked out
// independently of the program: each directory read with opendir/readdir,
// levels taken breadth-first. Used by the walk's unit tests and the
// command-line tests of -enumdir.
#pragma once

#include <string>
#include <vector>

namespace kerf::testing {

// The names in `dir` as readdir returns them, "." and ".." left out.
std::vector<std::string> readdir_names(const std::string& dir);

// True for a real directory (a symbolic link to one is not).
bool is_real_directory(const std::string& path);

// The files (everything but real directories) below `root`, which ends in
// '/', down to `levels` levels of subdirectories, breadth-first, each
// directory in its listing order.
std::vector<std::string> breadth_first_files(const std::string& root, unsigned levels);

}  // namespace kerf::testing
