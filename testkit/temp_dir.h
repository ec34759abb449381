// A fresh directory under $TMPDIR (or /tmp) for one test, removed with
// everything in it when the object goes away.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kerf::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return m_path; }
  // Path of `name` inside the directory, as a string.
  std::string file(std::string_view name) const;
  // Writes `bytes` to `name` (directories on the way are created) and
  // returns its path.
  std::string write(std::string_view name, const std::vector<std::uint8_t>& bytes) const;
  std::string write_text(std::string_view name, std::string_view text) const {
    return write(name, std::vector<std::uint8_t>(text.begin(), text.end()));
  }

 private:
  std::filesystem::path m_path;
};

// The whole file, read without moving its access time where the system
// allows it; empty when it can't be read.
std::vector<std::uint8_t> read_file_bytes(const std::string& path);
std::string read_file_text(const std::string& path);

}  // namespace kerf::testing
