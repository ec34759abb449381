#include "tests/support/listing_order.h"

#include <dirent.h>
#include <sys/stat.h>

#include <deque>
#include <utility>

namespace kerf::testing {

std::vector<std::string> readdir_names(const std::string& dir) {
  std::vector<std::string> names;
  DIR* handle = ::opendir(dir.c_str());
  if (handle == nullptr) return names;
  while (const dirent* found = ::readdir(handle)) {
    const std::string name = found->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(handle);
  return names;
}

bool is_real_directory(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::vector<std::string> breadth_first_files(const std::string& root, unsigned levels) {
  std::vector<std::string> files;
  std::deque<std::pair<std::string, unsigned>> pending{{root, 0}};
  while (!pending.empty()) {
    const auto [dir, depth] = pending.front();
    pending.pop_front();
    for (const std::string& name : readdir_names(dir)) {
      if (is_real_directory(dir + name)) {
        if (depth < levels) pending.emplace_back(dir + name + "/", depth + 1);
      } else {
        files.push_back(dir + name);
      }
    }
  }
  return files;
}

}  // namespace kerf::testing
