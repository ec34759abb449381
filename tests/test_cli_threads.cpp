// A bulk run on several threads writes exactly what it writes on one: the
// same output, the same messages in the same order, the same status, in
// every layout, over real Prefetch files and over a tree that mixes good,
// damaged, unreadable, missing, linked and hostile-named files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "testkit/corpus.h"
#include "tests/support/run_kerf.h"
#include "testkit/prefetch_image_builder.h"
#include "testkit/temp_dir.h"
#include "testkit/xpress_encoder.h"

namespace {

using kerf::testing::Args;
using kerf::testing::RunOptions;
using kerf::testing::RunResult;

// The output without the run header, whose command line names the thread
// count, and without the time the run started, which differs from run to run
// (the HTML page's own note of when kerf ran, in its place).
std::string after_header(std::string output) {
  if (const std::size_t at = output.find("<dt>kerf ran</dt><dd>"); at != std::string::npos) {
    output.erase(at, output.find("</dd>", at) - at);
  }
  return kerf::testing::after_header(output);
}

void expect_same_on_one_and_four_threads(const Args& args, const RunOptions& options) {
  Args one = args;
  one.insert(one.end(), {"-threads", "1"});
  Args four = args;
  four.insert(four.end(), {"-threads", "4"});
  const RunResult sequential = kerf::testing::run_kerf(one, options);
  const RunResult parallel = kerf::testing::run_kerf(four, options);
  const std::string what = args.back();
  EXPECT_FALSE(parallel.timed_out) << what;
  EXPECT_EQ(parallel.status, sequential.status) << what;
  EXPECT_EQ(after_header(parallel.out), after_header(sequential.out)) << what;
  EXPECT_EQ(parallel.err, sequential.err) << what;
  EXPECT_FALSE(after_header(sequential.out).empty()) << what;
}

// (-verbose changes no long form: it is the long form's own setting.)
const std::vector<Args> kLayouts = {{},        {"-csv"},        {"-csvl2t"},         {"-bodyfile"}, {"-csv", "-verbose", "-no_whitespace"},
                                    {"-json"}, {"-timesketch"}, {"-csv", "-verify"}, {"-html"}};

TEST(Threads, TheCorpusComesOutAsOnOneThread) {
  const auto corpus = kerf::testing::corpus_dir();
  if (!corpus) GTEST_SKIP() << "no Prefetch corpus ($KERF_CORPUS)";
  for (const Args& layout : kLayouts) {
    Args args = {"-enumdir", *corpus + "/", "-num_subdirs", "1"};
    args.insert(args.end(), layout.begin(), layout.end());
    expect_same_on_one_and_four_threads(args, {});
  }
}

// A made Prefetch file of any version, plain or compressed, with names and
// times drawn from `rng`.
std::vector<std::uint8_t> made_file(std::mt19937_64& rng) {
  constexpr std::uint32_t kVersions[] = {17, 23, 26, 30, 31};
  const std::uint32_t version = kVersions[rng() % 5];
  std::vector<std::wstring> files;
  for (std::uint64_t i = 0, count = 1 + rng() % 60; i < count; ++i) {
    files.push_back(L"\\DEVICE\\HARDDISKVOLUME1\\D" + std::to_wstring(rng() % 9) + L"\\F" + std::to_wstring(i) + L".DLL");
  }
  const auto image = kerf::testing::PrefetchImageBuilder(version)
                         .exe_name(L"APP" + std::to_wstring(rng() % 50) + L".EXE")
                         .run_times({130000000000000000ull + rng() % 10000000000000000ull, 129000000000000000ull})
                         .run_count(static_cast<std::uint32_t>(rng() % 100))
                         .file_names(files)
                         .add_volume({L"\\DEVICE\\HARDDISKVOLUME1", static_cast<std::uint32_t>(rng()), 130000000000000000ull,
                                      {L"\\DEVICE\\HARDDISKVOLUME1\\D1"}})
                         .build();
  return version >= 30 && rng() % 3 != 0 ? kerf::testing::make_mam_container(image) : image;
}

TEST(Threads, AMixedTreeComesOutAsOnOneThread) {
  kerf::testing::TempDir dir;
  const std::string root = dir.path().string() + "/";
  std::mt19937_64 rng(5);
  std::vector<std::string> names;
  for (int i = 0; i < 60; ++i) {
    const auto bytes = made_file(rng);
    names.push_back(dir.write((i % 3 == 0 ? "sub/" : "") + std::to_string(i) + ".pf", bytes));
    if (i % 7 == 3) {  // cut short: compressed data that ends early, or a damaged image
      names.push_back(dir.write("cut-" + std::to_string(i) + ".pf", {bytes.begin(), bytes.begin() + bytes.size() / 3}));
    }
  }
  names.push_back(dir.write_text("notes.txt", "not a Prefetch file"));
  names.push_back(dir.write_text("empty.pf", ""));
  names.push_back(dir.write("bad\xff name \x1b[31m \"q\".pf", made_file(rng)));
  ::mkfifo((root + "fifo.pf").c_str(), 0600);
  names.push_back(root + "fifo.pf");
  ::symlink(names.front().c_str(), (root + "link.pf").c_str());
  names.push_back(root + "link.pf");
  names.push_back(root + "missing.pf");
  std::filesystem::create_directory(root + "dir.pf");
  names.push_back(root + "dir.pf");

  const RunOptions piped = kerf::testing::piping(names);
  for (const Args& layout : kLayouts) {
    Args walk = {"-enumdir", root, "-num_subdirs", "1"};
    walk.insert(walk.end(), layout.begin(), layout.end());
    expect_same_on_one_and_four_threads(walk, {});
    Args pipe = {"-pipe"};
    pipe.insert(pipe.end(), layout.begin(), layout.end());
    expect_same_on_one_and_four_threads(pipe, piped);
  }
  expect_same_on_one_and_four_threads({"-pipe", "-enumdir", root}, piped);  // the " | " table
  // whose first column is as wide as the first file's path makes it
  expect_same_on_one_and_four_threads({"-pf_path", "-pipe", "-enumdir", root}, piped);
}

}  // namespace
