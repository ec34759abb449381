// Listing directories and walking a tree for -enumdir: listing order, types
// without following links, "*" components, and a walk that lists a directory
// only when its files are wanted. Order, depth and filter of whole walks are
// tested on the program itself (test_cli_bulk.cpp).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "lib/cmd_params.h"
#include "lib/dir_listing.h"
#include "lib/qv_portable_dir.h"
#include "tests/support/listing_order.h"
#include "tests/support/temp_dir.h"

namespace {

using kerf::testing::breadth_first_files;
using kerf::testing::is_real_directory;
using kerf::testing::readdir_names;
using kerf::testing::TempDir;
using qvportdir::dir_entry;
using qvportdir::list_directory;
using qvportdir::wildcards;

std::vector<std::string> walk(const qv::cmd_params& options, const std::string& dir,
                              unsigned levels) {
  qvportdir::stdin_stream_ex stream(options, nullptr);
  EXPECT_TRUE(stream.open_directory(dir, levels, {}));
  std::vector<std::string> names;
  std::string name;
  while (stream.next_name(name, true)) names.push_back(name);
  return names;
}

// A tree three levels deep, with files and directories mixed in each.
class Tree : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"r1.pf", "r2.txt", "d1/a.pf", "d1/a.dat", "d1/dd/deep.pf",
                             "d1/dd/ddd/deeper.pf", "d2/b.pf", "d3/x/y/z.pf", "r3.PF"}) {
      dir.write_text(name, "x");
    }
    std::filesystem::create_directory(dir.path() / "empty");
    root = dir.path().string() + "/";
  }
  TempDir dir;
  std::string root;
};

// Links, FIFOs and sockets are files, never followed: test_cli_bulk.cpp.
TEST_F(Tree, ListingFollowsTheFileSystemOrderAndMarksDirectories) {
  const std::vector<dir_entry> entries = list_directory(root, "*.*");
  std::vector<dir_entry> expected;
  for (const std::string& name : readdir_names(root)) {
    const bool directory = is_real_directory(root + name);
    expected.push_back({root + name + (directory ? "/" : ""), directory});
  }
  EXPECT_EQ(entries, expected);
  EXPECT_EQ(entries.size(), 7u);
  // The same without the trailing separator.
  EXPECT_EQ(list_directory(dir.path().string(), "*.*"), expected);
}

TEST_F(Tree, WhatCantBeListedYieldsNothing) {
  EXPECT_TRUE(list_directory(root + "missing", "*.*").empty());
  EXPECT_TRUE(list_directory(root + "r1.pf", "*.*").empty());  // not a directory
  EXPECT_TRUE(list_directory("", "*.*").empty());
  EXPECT_TRUE(list_directory(root + "empty", "*.*").empty());
  EXPECT_TRUE(list_directory(root + std::string("d1\0x", 4), "*.*").empty());
}

TEST_F(Tree, DirectoriesAreListedOnlyWhenTheirFilesAreWanted) {
  const qv::cmd_params options;
  qvportdir::stdin_stream_ex stream(options, nullptr);
  ASSERT_TRUE(stream.open_directory(root, 1, {}));
  std::string first;
  ASSERT_TRUE(stream.next_name(first, true));
  // The root has been listed now, its subdirectories not yet.
  dir.write_text("late.pf", "x");
  dir.write_text("d2/late.pf", "x");
  std::vector<std::string> rest;
  std::string name;
  while (stream.next_name(name, true)) rest.push_back(name);
  EXPECT_EQ(std::count(rest.begin(), rest.end(), root + "late.pf"), 0);
  EXPECT_EQ(std::count(rest.begin(), rest.end(), root + "d2/late.pf"), 1);
}

TEST_F(Tree, WildcardComponentsOfTheStartingDirectory) {
  for (const char* name : {"mnt/a/Windows/Prefetch/A.pf", "mnt/b/Windows/Prefetch/B.pf",
                           "mnt/b/Windows/Prefetch/B2.pf", "mnt/c/Other/C.pf", "mnt/file.pf",
                           "mnt/b/Windows/Prefetch/sub/S.pf"}) {
    dir.write_text(name, "x");
  }
  const std::string mnt = root + "mnt/";
  ASSERT_EQ(::symlink((mnt + "a").c_str(), (mnt + "link").c_str()), 0);  // not a directory here
  std::vector<std::string> expected;
  for (const std::string& sub : readdir_names(mnt)) {
    if (!is_real_directory(mnt + sub)) continue;
    const std::string prefetch = mnt + sub + "/Windows/Prefetch/";
    for (const std::string& file : breadth_first_files(prefetch, 0)) expected.push_back(file);
  }
  ASSERT_EQ(expected.size(), 3u);
  const qv::cmd_params options;
  EXPECT_EQ(walk(options, mnt + "*/Windows/Prefetch", 0), expected);
  // Two wildcards in a row, and a wildcard that fits nothing.
  EXPECT_EQ(walk(options, mnt + "*/*/Prefetch", 0), expected);
  EXPECT_TRUE(walk(options, mnt + "*/Nothing", 3).empty());
  // Subdirectories found below a wildcard are walked like any other.
  EXPECT_EQ(walk(options, mnt + "*/Windows/Prefetch", 1).size(), 4u);
}

TEST_F(Tree, ADirectoryNamedStarIsListedOnceAndTheWalkEnds) {
  dir.write_text("star/*/inner.pf", "x");
  dir.write_text("star/other/o.pf", "x");
  const qv::cmd_params options;
  const std::string star = root + "star/";
  // Found on disk, "*" is a name: listed once, its siblings not again.
  EXPECT_EQ(walk(options, star, 1), breadth_first_files(star, 1));
  EXPECT_EQ(list_directory(star + "*/", "*.*", wildcards::literal),
            (std::vector<dir_entry>{{star + "*/inner.pf", false}}));
  // Typed by the user, it stands for every subdirectory, itself included.
  EXPECT_EQ(list_directory(star + "*/", "*.*").size(), 2u);
}

TEST(StdinStreamEx, LongPathPrefix) {
  const qv::cmd_params options;
  qvportdir::stdin_stream_ex stream(options, nullptr);
  const std::string long_tail(40, 'x');
  struct Case {
    std::string in;
    std::string out;
  };
  const std::vector<Case> cases = {
      {"\\\\?\\C:\\x", "C:\\x"},
      {"\\\\?\\", "\\\\?\\"},  // too short to lose anything
      {"\\\\?\\GLOBALROOT\\Device\\" + long_tail, "\\\\?\\GLOBALROOT\\Device\\" + long_tail},
      {"\\\\?\\globalroot\\dev", "globalroot\\dev"},  // 46 characters or fewer: always cut
      {"\\\\?\\C:\\" + long_tail, "C:\\" + long_tail},
      {"/mnt/\\\\?\\x", "/mnt/\\\\?\\x"},
  };
  for (const Case& c : cases) {
    std::string path = c.in;
    EXPECT_TRUE(stream.accept_enum_path(path, true));
    EXPECT_EQ(path, c.out);
  }
}

TEST(StdinStreamEx, SwitchesBetweenTheInputAndAWalk) {
  TempDir dir;
  dir.write_text("only.pf", "x");
  std::FILE* input = std::tmpfile();
  ASSERT_NE(input, nullptr);
  std::fputs("piped.pf\r\n", input);
  std::rewind(input);
  const qv::cmd_params options;
  qvportdir::stdin_stream_ex stream(options, input);
  EXPECT_FALSE(stream.open_directory("", 0, {}));
  EXPECT_FALSE(stream.is_enumerating());

  ASSERT_TRUE(stream.open_directory(dir.path().string(), 0, {}));
  std::wstring wide;
  ASSERT_TRUE(stream.read_wide_line(wide, true));
  EXPECT_EQ(wide, dir.path().wstring() + L"/only.pf");
  EXPECT_FALSE(stream.read_wide_line(wide, true));

  ASSERT_TRUE(stream.open_stdin());
  std::string line;
  ASSERT_TRUE(stream.next_name(line, true));
  EXPECT_EQ(line, "piped.pf");
  EXPECT_FALSE(stream.next_name(line, true));
  std::fclose(input);
}

}  // namespace
