// Real Prefetch files from Windows XP to 10, checked against the facts an
// independent decoder read from them ($KERF_CORPUS/expected.txt).
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "prefetch/prefetch_parser.h"
#include "tests/support/corpus.h"
#include "tests/support/temp_dir.h"

namespace {

struct ExpectedVolume {
  std::string path;
  std::string serial;  // "xxxx-xxxx"
  std::uint64_t created = 0;
  std::size_t directory_count = 0;
  std::string first_directory;
};

struct ExpectedFile {
  std::string name;  // relative to the corpus folder; empty when there is no corpus
  bool prefetch = true;
  std::uint32_t version = 0;
  std::string executable;
  std::uint32_t run_count = 0;
  std::uint64_t last_run = 0;
  std::vector<std::uint64_t> previous_runs;  // newest first
  std::size_t loaded_count = 0;
  std::string first_loaded;
  std::string last_loaded;
  std::string app_path;
  std::vector<ExpectedVolume> volumes;
};

// "130974481955514245 (2016-01-16 ...)" -> the number in front.
std::uint64_t leading_number(std::string_view text) { return std::stoull(std::string{text}); }

bool starts_with(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// "\PATH serial e8ea-b8b5 created 1309... (...), 2 directories, first \DIR"
ExpectedVolume parse_volume(std::string_view text) {
  ExpectedVolume volume;
  const auto serial = text.find(" serial ");
  const auto created = text.find(" created ");
  const auto close = text.find("), ");
  if (serial == std::string_view::npos || created == std::string_view::npos || close == std::string_view::npos) {
    ADD_FAILURE() << "unreadable volume line: " << text;
    return volume;
  }
  volume.path = text.substr(0, serial);
  volume.serial = text.substr(serial + 8, created - serial - 8);
  volume.created = leading_number(text.substr(created + 9));
  const std::string_view rest = text.substr(close + 3);
  volume.directory_count = static_cast<std::size_t>(leading_number(rest));
  if (const auto first = rest.find(", first "); first != std::string_view::npos) {
    volume.first_directory = rest.substr(first + 8);
  }
  return volume;
}

std::vector<ExpectedFile> read_expectations(const std::string& path) {
  std::vector<ExpectedFile> files;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (starts_with(line, "file: ")) {
      files.emplace_back().name = line.substr(6);
      continue;
    }
    if (files.empty() || !starts_with(line, "  ")) continue;
    ExpectedFile& file = files.back();
    const std::string_view entry = std::string_view{line}.substr(2);
    const auto colon = entry.find(": ");
    if (colon == std::string_view::npos) continue;
    const std::string_view key = entry.substr(0, colon);
    const std::string_view value = entry.substr(colon + 2);
    if (key == "not a Prefetch file") file.prefetch = false;
    else if (key == "format version") file.version = static_cast<std::uint32_t>(leading_number(value));
    else if (key == "executable") file.executable = value;
    else if (key == "run count") file.run_count = static_cast<std::uint32_t>(leading_number(value));
    else if (key == "last run") file.last_run = leading_number(value);
    else if (key == "previous run") file.previous_runs.push_back(leading_number(value));
    else if (key == "loaded files") file.loaded_count = static_cast<std::size_t>(leading_number(value));
    else if (key == "first loaded file") file.first_loaded = value;
    else if (key == "last loaded file") file.last_loaded = value;
    else if (key == "app path") file.app_path = value;
    else if (starts_with(key, "volume ")) file.volumes.push_back(parse_volume(value));
  }
  return files;
}

std::uint32_t version_of_label(const std::string& label) {
  static const std::map<std::string, std::uint32_t> versions{
      {"WinXP Prefetch", 17}, {"Vista/Win7 Prefetch", 23}, {"Win8 Prefetch", 26},
      {"Win10 Prefetch", 30}, {"Win11 Prefetch", 31}};
  const auto it = versions.find(label);
  return it == versions.end() ? 0 : it->second;
}

std::string serial_text(std::uint32_t serial) {
  char text[16];
  std::snprintf(text, sizeof text, "%04x-%04x", serial >> 16, serial & 0xFFFF);
  return text;
}

void check_file(const std::string& dir, const ExpectedFile& expected) {
  SCOPED_TRACE(expected.name);
  const std::vector<std::uint8_t> bytes = kerf::testing::read_file_bytes(dir + "/" + expected.name);
  ASSERT_FALSE(bytes.empty());
  kerf::PrefetchEntry entry;
  const bool parsed = kerf::parse_prefetch_image(bytes, entry);
  ASSERT_EQ(parsed, expected.prefetch);
  if (!parsed) return;

  EXPECT_EQ(version_of_label(entry.format_label), expected.version) << entry.format_label;
  EXPECT_EQ(entry.exe_name, expected.executable);
  EXPECT_EQ(entry.run_count, expected.run_count);
  EXPECT_EQ(entry.last_run_time, expected.last_run);
  EXPECT_EQ(std::vector<std::uint64_t>(entry.prev_run_times.rbegin(), entry.prev_run_times.rend()),
            expected.previous_runs);
  ASSERT_EQ(entry.loaded_files.size(), expected.loaded_count);
  if (!entry.loaded_files.empty()) {
    EXPECT_EQ(entry.loaded_files.begin()->second, expected.first_loaded);
    EXPECT_EQ(entry.loaded_files.rbegin()->second, expected.last_loaded);
  }
  EXPECT_EQ(entry.app_path, expected.app_path);

  ASSERT_EQ(entry.volume_paths.size(), expected.volumes.size());
  ASSERT_EQ(entry.volume_serials.size(), expected.volumes.size());
  ASSERT_EQ(entry.volume_create_times.size(), expected.volumes.size());
  ASSERT_EQ(entry.volume_dirs.size(), expected.volumes.size());
  for (std::size_t i = 0; i < expected.volumes.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "volume " << i + 1);
    const ExpectedVolume& volume = expected.volumes[i];
    EXPECT_EQ(entry.volume_paths[i], volume.path);
    EXPECT_EQ(serial_text(entry.volume_serials[i]), volume.serial);
    EXPECT_EQ(entry.volume_create_times[i], volume.created);
    EXPECT_EQ(entry.volume_dirs[i].size(), volume.directory_count);
    if (!entry.volume_dirs[i].empty()) {
      EXPECT_EQ(entry.volume_dirs[i].begin()->first, 1u);
      EXPECT_EQ(entry.volume_dirs[i].begin()->second, volume.first_directory);
    }
  }
}

// One test over all files: the list of tests must not depend on whether the
// corpus was there when the test binary was built.
TEST(Corpus, EveryFileDecodesAsExpected) {
  const auto dir = kerf::testing::corpus_dir();
  if (!dir) GTEST_SKIP() << "no Prefetch corpus ($KERF_CORPUS)";
  const std::vector<ExpectedFile> files = read_expectations(*dir + "/expected.txt");
  ASSERT_FALSE(files.empty()) << "nothing listed in " << *dir << "/expected.txt";
  for (const ExpectedFile& expected : files) check_file(*dir, expected);
}

}  // namespace
