#include "testkit/temp_dir.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "lib/io/file.h"

namespace kerf::testing {

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/kerf-test-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  m_path = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Tests may drop permissions inside the tree; give them back so it can go.
  for (auto it = std::filesystem::recursive_directory_iterator(
           m_path, std::filesystem::directory_options::skip_permission_denied, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    }
  }
  std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(m_path, ignored);
}

std::string TempDir::file(std::string_view name) const { return (m_path / name).string(); }

std::string TempDir::write(std::string_view name, const std::vector<std::uint8_t>& bytes) const {
  const auto target = m_path / name;
  std::filesystem::create_directories(target.parent_path());
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + target.string());
  return target.string();
}

// Read the way kerf reads evidence, so that a test reading a corpus file
// does not move the access time another test's run of kerf reports.
std::vector<std::uint8_t> read_file_bytes(const std::string& path) {
  io::File file;
  std::vector<std::uint8_t> bytes;
  if (file.open_for_read(path)) file.read_at(bytes, file.size(), 0);
  return bytes;
}

std::string read_file_text(const std::string& path) {
  const std::vector<std::uint8_t> bytes = read_file_bytes(path);
  return {bytes.begin(), bytes.end()};
}

}  // namespace kerf::testing
