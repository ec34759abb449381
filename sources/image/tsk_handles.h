// Owners for the objects The Sleuth Kit hands out, and the text of its last
// error (which it keeps per thread until it is reset).
#pragma once

#include <tsk/libtsk.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace kerf::tsk {

struct FileCloser {
  void operator()(TSK_FS_FILE* file) const noexcept { tsk_fs_file_close(file); }
};
struct DirCloser {
  void operator()(TSK_FS_DIR* dir) const noexcept { tsk_fs_dir_close(dir); }
};
struct VolumeSystemCloser {
  void operator()(TSK_VS_INFO* system) const noexcept { tsk_vs_close(system); }
};
using FilePtr = std::unique_ptr<TSK_FS_FILE, FileCloser>;
using DirPtr = std::unique_ptr<TSK_FS_DIR, DirCloser>;
using VolumeSystemPtr = std::unique_ptr<TSK_VS_INFO, VolumeSystemCloser>;

// What the last failed call said (`fallback` when it said nothing), on one
// line; the error is reset so that it can't be taken for a later one's.
inline std::string failure(std::string_view fallback) {
  std::string text;
  if (const char* said = tsk_error_get(); said != nullptr) text = said;
  tsk_error_reset();
  for (char& c : text) {
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text.empty() ? std::string(fallback) : text;
}

// The Sleuth Kit keeps an attribute's type as the volume stores it, in an
// enum field: a hostile volume puts numbers there that the enum does not
// name, so the field is read as the number it is.
inline std::uint32_t attribute_type(const TSK_FS_ATTR& attribute) {
  std::uint32_t type = 0;
  static_assert(sizeof attribute.type == sizeof type);
  std::memcpy(&type, &attribute.type, sizeof type);
  return type;
}

}  // namespace kerf::tsk
