// Inputs kept on disk: real Prefetch files from Windows XP to 10, checked
// against the facts an independent decoder read from them
// ($KERF_CORPUS/expected.txt), and the hostile inputs the fuzzers found.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <sstream>
#include <regex>
#include <string>
#include <vector>

#include "codec/xpress_decoder.h"
#include "prefetch/file_name_hash.h"
#include "prefetch/parser.h"
#include "testkit/corpus.h"
#include "testkit/temp_dir.h"

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
  std::istringstream in(kerf::testing::read_file_text(path));
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

// The same facts, as this program decodes them. None of the corpus files
// traces a hosting program, so each one's stored hash is proved by its
// executable's path, and its name carries that hash.
std::string facts_of(const std::string& file, const std::vector<std::uint8_t>& bytes) {
  kerf::PrefetchRecord record;
  if (kerf::parse_prefetch_image(bytes, record, {.check_executable_hash = true}) != kerf::ParseResult::ok) {
    return "not a Prefetch file\n";
  }
  EXPECT_TRUE(record.hash_check.verified);
  EXPECT_EQ(kerf::hash_in_file_name(file), record.stored_hash);
  std::string out = "format version: " + std::to_string(record.format_version) + "\n";
  out += "executable: " + record.exe_name + "\nrun count: " + std::to_string(record.run_count) + "\n";
  out += "last run: " + std::to_string(record.last_run_time) + "\n";
  // expected.txt lists the older runs newest first; kerf keeps the order
  // Windows stored them in, which is not always that (CMD.EXE of Windows 10).
  std::vector<std::uint64_t> older = record.previous_run_times;
  std::sort(older.begin(), older.end(), std::greater<>());
  for (const std::uint64_t time : older) out += "previous run: " + std::to_string(time) + "\n";
  out += "loaded files: " + std::to_string(record.loaded_files.size()) + "\n";
  if (!record.loaded_files.empty()) {
    out += "first loaded file: " + std::string(record.loaded_files[0]) + "\n";
    out += "last loaded file: " + std::string(record.loaded_files[record.loaded_files.size() - 1]) + "\n";
  }
  out += "app path: " + record.app_path + "\n";
  for (std::size_t i = 0; i < record.volumes.size(); ++i) {
    const kerf::Volume& volume = record.volumes[i];
    char serial[16];
    std::snprintf(serial, sizeof serial, "%04x-%04x", volume.serial >> 16, volume.serial & 0xFFFF);
    const auto& dirs = volume.directories;
    out += "volume " + std::to_string(i + 1) + ": " + volume.device_path + " serial " + serial + " created " +
           std::to_string(volume.created) + ", " + std::to_string(dirs.size()) + " directories" +
           (dirs.empty() ? "" : ", first " + std::string(dirs[0])) + "\n";
  }
  return out;
}

// One test over all files: the list of tests must not depend on whether the
// corpus was there when the test binary was built.
TEST(Corpus, EveryFileDecodesAsExpected) {
  const auto dir = kerf::testing::corpus_dir();
  if (!dir) GTEST_SKIP() << "no Prefetch corpus ($KERF_CORPUS)";
  if (!std::filesystem::exists(*dir + "/expected.txt")) {
    GTEST_SKIP() << "the corpus " << *dir << " has no expected.txt to check the files against";
  }
  const std::vector<Expected> files = read_expectations(*dir + "/expected.txt");
  ASSERT_FALSE(files.empty()) << "nothing listed in " << *dir << "/expected.txt";
  for (const Expected& expected : files) {
    SCOPED_TRACE(expected.file);
    const std::vector<std::uint8_t> bytes = kerf::testing::read_file_bytes(*dir + "/" + expected.file);
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(facts_of(expected.file, bytes), expected.facts);
  }
}

// Replays every hostile input kept in fuzz/regressions: each once crashed the
// decoder or the parser, or is a shape worth keeping. It may be refused, but
// must stay inside its input (the sanitizer build checks that) and leave a
// consistent result when it is accepted.
TEST(FuzzRegressions, KeptInputsDecodeAndParseCleanly) {
  const std::filesystem::path dir = std::filesystem::path(KERF_SOURCE_DIR) / "fuzz" / "regressions";
  std::size_t replayed = 0;
  for (const auto& file : std::filesystem::recursive_directory_iterator(dir)) {
    if (!file.is_regular_file()) continue;
    SCOPED_TRACE(file.path().string());
    const std::vector<std::uint8_t> input = kerf::testing::read_file_bytes(file.path().string());
    kerf::codec::XpressDecoder decoder;
    const kerf::codec::DecodeResult decoded = decoder.decompress(input);
    const bool ok = decoded.status == kerf::codec::DecodeStatus::ok;
    EXPECT_EQ(decoder.output().size(), ok || !decoder.output().empty() ? decoded.container.declared_size : 0u);
    kerf::PrefetchRecord record;
    if (kerf::parse_prefetch_image(input, record) == kerf::ParseResult::ok) {
      EXPECT_EQ(std::count(record.previous_run_times.begin(), record.previous_run_times.end(), 0u), 0);
    }
    ++replayed;
  }
  EXPECT_GT(replayed, 0u) << "no inputs in " << dir;
}

}  // namespace
