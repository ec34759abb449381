// Real Prefetch files from Windows XP to 10, checked against the facts an
// independent decoder read from them ($KERF_CORPUS/expected.txt), and the
// generated samples, which must match the committed samples/ folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "prefetch/prefetch_parser.h"
#include "tests/support/corpus.h"
#include "tests/support/sample_prefetch.h"
#include "tests/support/temp_dir.h"

namespace {

// One block of expected.txt: the file name, then its facts as the lines the
// file lists them in, without the readable dates in brackets.
struct Expected {
  std::string file;
  std::string facts;
};

std::vector<Expected> read_expectations(const std::string& path) {
  static const std::regex kReadableDate(R"( \(\d{4}-[^)]* UTC\))");
  std::vector<Expected> blocks;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.starts_with("file: ")) {
      blocks.push_back({line.substr(6), ""});
    } else if (!blocks.empty() && line.starts_with("  ") && !line.starts_with("  container: ")) {
      if (line.starts_with("  not a Prefetch file")) line = "  not a Prefetch file";
      blocks.back().facts += std::regex_replace(line.substr(2), kReadableDate, "") + "\n";
    }
  }
  return blocks;
}

// The same facts, as this program decodes them.
std::string facts_of(const std::vector<std::uint8_t>& bytes) {
  kerf::PrefetchEntry entry;
  if (!kerf::parse_prefetch_image(bytes, entry)) return "not a Prefetch file\n";
  static const std::map<std::string, int> kVersions{{"WinXP Prefetch", 17}, {"Vista/Win7 Prefetch", 23},
                                                    {"Win8 Prefetch", 26},  {"Win10 Prefetch", 30},
                                                    {"Win11 Prefetch", 31}};
  const auto version = kVersions.find(entry.format_label);
  std::string out = "format version: " + (version == kVersions.end() ? entry.format_label
                                                                     : std::to_string(version->second)) + "\n";
  out += "executable: " + entry.exe_name + "\nrun count: " + std::to_string(entry.run_count) + "\n";
  out += "last run: " + std::to_string(entry.last_run_time) + "\n";
  for (auto it = entry.prev_run_times.rbegin(); it != entry.prev_run_times.rend(); ++it) {
    out += "previous run: " + std::to_string(*it) + "\n";
  }
  out += "loaded files: " + std::to_string(entry.loaded_files.size()) + "\n";
  if (!entry.loaded_files.empty()) {
    out += "first loaded file: " + entry.loaded_files.begin()->second + "\n";
    out += "last loaded file: " + entry.loaded_files.rbegin()->second + "\n";
  }
  out += "app path: " + entry.app_path + "\n";
  for (std::size_t i = 0; i < entry.volume_paths.size(); ++i) {
    char serial[16];
    std::snprintf(serial, sizeof serial, "%04x-%04x", entry.volume_serials.at(i) >> 16,
                  entry.volume_serials.at(i) & 0xFFFF);
    const auto& dirs = entry.volume_dirs.at(i);
    out += "volume " + std::to_string(i + 1) + ": " + entry.volume_paths[i] + " serial " + serial + " created " +
           std::to_string(entry.volume_create_times.at(i)) + ", " + std::to_string(dirs.size()) + " directories" +
           (dirs.empty() ? "" : ", first " + dirs.begin()->second) + "\n";
  }
  return out;
}

// One test over all files: the list of tests must not depend on whether the
// corpus was there when the test binary was built.
TEST(Corpus, EveryFileDecodesAsExpected) {
  const auto dir = kerf::testing::corpus_dir();
  if (!dir) GTEST_SKIP() << "no Prefetch corpus ($KERF_CORPUS)";
  const std::vector<Expected> files = read_expectations(*dir + "/expected.txt");
  ASSERT_FALSE(files.empty()) << "nothing listed in " << *dir << "/expected.txt";
  for (const Expected& expected : files) {
    SCOPED_TRACE(expected.file);
    const std::vector<std::uint8_t> bytes = kerf::testing::read_file_bytes(*dir + "/" + expected.file);
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(facts_of(bytes), expected.facts);
  }
}

TEST(Samples, EachVersionDecodesAndMatchesTheCommittedFile) {
  const char* const labels[] = {"WinXP Prefetch", "Vista/Win7 Prefetch", "Win8 Prefetch", "Win10 Prefetch",
                                "Win11 Prefetch"};
  const std::filesystem::path folder = std::filesystem::path(KERF_SOURCE_DIR) / "samples";
  const auto samples = kerf::testing::bundled_samples();
  ASSERT_EQ(samples.size(), std::size(labels));
  for (std::size_t i = 0; i < samples.size(); ++i) {
    SCOPED_TRACE(samples[i].file_name);
    kerf::PrefetchEntry entry;
    ASSERT_TRUE(kerf::parse_prefetch_image(samples[i].bytes, entry));
    EXPECT_EQ(entry.format_label, labels[i]);
    EXPECT_NE(entry.app_path.find(entry.exe_name), std::string::npos);
    EXPECT_FALSE(entry.volume_paths.empty());
    EXPECT_NE(entry.last_run_time, 0u);
    EXPECT_EQ(kerf::testing::read_file_bytes((folder / samples[i].file_name).string()), samples[i].bytes)
        << "regenerate with: build/tools/make_samples samples";
  }
}

}  // namespace
