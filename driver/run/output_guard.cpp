#include "driver/run/output_guard.h"

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

#include "driver/input/directory_walker.h"
#include "prefetch/loader.h"

namespace kerf {

namespace {

// Where standard output can be opened again by name, to read what it holds
// and to learn where it lies.
constexpr std::string_view kStandardOutputPath = "/proc/self/fd/1";

// How kerf's own output files begin: the run header, the diagnostics file,
// then what each layout writes first without the header (the long form's
// separator line, the column rows, a JSON record or event, the page).
constexpr std::array<std::string_view, 9> kOwnOutputStarts = {
    "kerf ver: ",     "->",          " ==========",         "prefetch file name", "md5|name|inode|",
    "{\"source\":{", "{\"message\":", "<!DOCTYPE html>", "date",
};
constexpr std::size_t kHeadSize = 32;

std::string path_to_open(const OutputTarget& target) {
  return target.standard_output() ? std::string(kStandardOutputPath) : target.path;
}

// The status of the file the target leads to; nothing when there is none.
std::optional<struct stat> target_status(const OutputTarget& target) {
  struct stat status {};
  const int found = target.standard_output() ? ::fstat(STDOUT_FILENO, &status) : ::stat(target.path.c_str(), &status);
  if (found != 0) return std::nullopt;
  return status;
}

// Only a regular file has content a run could lose; a device such as
// /dev/null may take every output at once.
bool is_regular_file(const OutputTarget& target) {
  const std::optional<struct stat> status = target_status(target);
  return status && S_ISREG(status->st_mode);
}

// The directory a path names its file in, as typed: "a/b" gives "a", "b"
// gives ".", "/b" gives "/".
std::string typed_directory(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The path without symbolic links, "." or ".."; nothing when it leads to
// no file.
std::optional<std::string> real_path(const std::string& path) {
  const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
  if (!resolved) return std::nullopt;
  return std::string(resolved.get());
}

// Whether the walk from `start` down `depth` levels lists the files of
// `directory` (a real path): the directory itself or one of its parents,
// at most `depth` levels up, is the start. A walk follows no symbolic link,
// so the real parents are the ones it goes through.
bool walk_lists(std::string directory, const io::FileId& start, std::uint32_t depth) {
  for (std::uint64_t level = 0; level <= depth; ++level) {
    if (io::file_id(directory) == start) return true;
    if (directory == "/") return false;
    directory = typed_directory(directory);
  }
  return false;
}

// Whether an existing file lies where the walk of this run finds files:
// its name (a symbolic link is handed out as itself) or the file it leads
// to.
bool inside_walked_tree(const OutputTarget& target, const InputSettings& input) {
  std::string start = input.walk_directory;
  strip_long_path_prefix(start);
  const std::optional<io::FileId> start_id = io::file_id(start);
  if (!start_id) return false;
  std::vector<std::string> directories;
  if (!target.standard_output()) {
    if (const auto directory = real_path(typed_directory(target.path))) directories.push_back(*directory);
  }
  if (const auto file = real_path(path_to_open(target))) directories.push_back(typed_directory(*file));
  for (const std::string& directory : directories) {
    if (walk_lists(directory, *start_id, input.walk_depth)) return true;
  }
  return false;
}

bool begins_like_own_output(const std::vector<std::uint8_t>& head) {
  const std::string_view text(reinterpret_cast<const char*>(head.data()), head.size());
  for (const std::string_view start : kOwnOutputStarts) {
    if (!text.starts_with(start)) continue;
    // The timeline's column row, whatever its separator.
    return start != "date" || text.find("MACB") != std::string_view::npos;
  }
  return false;
}

// Where a file the examiner names for output lives on when it does not
// exist yet: its directory and its last name. Two such names are one file
// once created.
struct FutureFile {
  io::FileId directory;
  std::string name;
  bool operator==(const FutureFile&) const = default;
};

std::optional<FutureFile> future_file(const std::string& path) {
  const std::optional<io::FileId> directory = io::file_id(typed_directory(path));
  if (!directory) return std::nullopt;
  std::string name = path;
  while (name.size() > 1 && name.back() == '/') name.pop_back();
  const std::size_t slash = name.rfind('/');
  if (slash != std::string::npos) name.erase(0, slash + 1);
  return FutureFile{*directory, name};
}

}  // namespace

std::optional<io::FileId> output_file_id(const OutputTarget& target) {
  return target.standard_output() ? io::descriptor_id(STDOUT_FILENO) : io::file_id(target.path);
}

bool standard_output_is_regular_file() {
  struct stat status {};
  return ::fstat(STDOUT_FILENO, &status) == 0 && S_ISREG(status.st_mode);
}

std::string evidence_problem(const OutputTarget& target, const InputSettings& input,
                             std::span<const io::FileId> image_files) {
  const std::optional<io::FileId> id = output_file_id(target);
  if (!id) return {};
  if (std::find(image_files.begin(), image_files.end(), *id) != image_files.end()) {
    return "it is a file of a disk image this run reads";
  }
  for (const std::string& name : input.names) {
    if (io::file_id(name) == id) return "it is an input file";
  }
  for (const std::string& name : input.carve_files) {
    if (io::file_id(name) == id) return "it is a file this run carves";
  }
  if (!is_regular_file(target)) return {};
  // An empty standard output is the file the shell has just created or
  // emptied for the run: nothing of it is left to lose, and the run skips it
  // when the walk meets it.
  const bool fresh_standard_output = target.standard_output() && target_status(target)->st_size == 0;
  if (input.walk && !input.pipe && !fresh_standard_output && inside_walked_tree(target, input)) {
    return "it lies in the walked directory tree";
  }
  io::File file;
  std::vector<std::uint8_t> head;
  if (!file.open_for_read(path_to_open(target)) || !file.read_at(head, kHeadSize, 0)) return {};
  if (starts_like_prefetch_file(head)) return "it holds a Prefetch file";
  if (input.pipe && !begins_like_own_output(head)) {
    return "it is not kerf's output, and the piped list may name it";
  }
  return {};
}

bool same_output_file(const OutputTarget& a, const OutputTarget& b) {
  const std::optional<io::FileId> a_id = output_file_id(a);
  const std::optional<io::FileId> b_id = output_file_id(b);
  if (a_id || b_id) return a_id == b_id && is_regular_file(a);
  if (a.standard_output() || b.standard_output()) return false;
  const std::optional<FutureFile> a_future = future_file(a.path);
  return a_future && a_future == future_file(b.path);
}

}  // namespace kerf
