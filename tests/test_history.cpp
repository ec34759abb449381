// The merge of a Prefetch file's copies into its history: which times it
// knows and which copies hold each, the order of the copies and the flags.
// Whole -history runs: HistoryRuns in test_cli_layouts.cpp.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report/history.h"

namespace {

using kerf::HistoryCopy;

// A loose copy: its path, modification time, run count and stored times.
HistoryCopy loose(std::string path, std::uint64_t modified, std::uint32_t runs, std::vector<std::uint64_t> times,
                  bool deleted = false) {
  HistoryCopy copy;
  copy.name = "CALC.EXE-3FBEF7FD.pf";
  copy.executable = "CALC.EXE";
  copy.path = std::move(path);
  copy.modified = modified;
  copy.run_count = runs;
  copy.run_times = std::move(times);
  copy.deleted = deleted;
  return copy;
}

HistoryCopy in_store(std::string path, std::uint32_t store, std::uint64_t created, std::uint32_t runs,
                     std::vector<std::uint64_t> times) {
  HistoryCopy copy = loose(std::move(path), 0, runs, std::move(times));
  copy.store = store;
  copy.store_created = created;
  return copy;
}

// "time:copies" for each known time, newest first, e.g. "9:1,2 7:2".
std::string times_of(const kerf::HistoryRecord& record) {
  std::string text;
  for (const kerf::HistoryTime& time : record.run_times) {
    if (!text.empty()) text += ' ';
    text += std::to_string(time.time) + ':';
    for (std::size_t i = 0; i < time.copies.size(); ++i) {
      if (i != 0) text += ',';
      text += std::to_string(time.copies[i]);
    }
  }
  return text;
}

std::string paths_of(const kerf::HistoryRecord& record) {
  std::string text;
  for (const HistoryCopy& copy : record.copies) {
    if (!text.empty()) text += ' ';
    text += copy.path;
  }
  return text;
}

TEST(History, MergesCopies) {
  const struct {
    const char* what;
    std::vector<HistoryCopy> copies;  // in the order read
    std::string copies_oldest_first;
    std::string times;
    bool count_went_down, runs_beyond_eight, last_copy_deleted;
  } cases[] = {
      {"one copy", {loose("a", 5, 2, {9, 7})}, "a", "9:1 7:1", false, false, false},
      {"a time only in the oldest copy; copies read newest first",
       {loose("new", 20, 4, {12, 9, 7}), loose("old", 10, 3, {9, 7, 3})},
       "old new", "12:2 9:1,2 7:1,2 3:1", false, false, false},
      {"a reset: the newer copy counts fewer runs",
       {loose("old", 10, 40, {9, 7}), loose("new", 20, 1, {15})}, "old new", "15:2 9:1 7:1", true, false, false},
      {"the count went down, then up again", {loose("a", 1, 5, {1}), loose("b", 2, 2, {2}), loose("c", 3, 9, {3})},
       "a b c", "3:3 2:2 1:1", true, false, false},
      {"more than eight times known",
       {loose("a", 1, 8, {8, 7, 6, 5, 4, 3, 2, 1}), loose("b", 2, 9, {9, 8, 7, 6, 5, 4, 3, 2})},
       "a b", "9:2 8:1,2 7:1,2 6:1,2 5:1,2 4:1,2 3:1,2 2:1,2 1:1", false, true, false},
      {"equal times in one copy count once, zeros never",
       {loose("a", 1, 3, {5, 5, 0, 4}), loose("b", 2, 3, {5, 4, 4})}, "a b", "5:1,2 4:1,2", false, false, false},
      {"eight slots of one time are one run", {loose("a", 1, 8, {6, 6, 6, 6, 6, 6, 6, 6})}, "a", "6:1", false, false,
       false},
      {"equal modification times: by path", {loose("b", 7, 1, {1}), loose("a", 7, 1, {1})}, "a b", "1:1,2", false,
       false, false},
      {"the newest copy deleted", {loose("live", 9, 3, {3}), loose("gone", 10, 3, {3}, true)}, "live gone", "3:1,2",
       false, false, true},
      {"an older copy deleted", {loose("gone", 1, 3, {3}, true), loose("live", 2, 3, {3})}, "gone live", "3:1,2",
       false, false, false},
      {"stores by creation time, then the copies without a store",
       {loose("live", 1, 9, {9}), in_store("s7", 7, 200, 5, {5}), in_store("s3", 3, 100, 4, {4})}, "s3 s7 live",
       "9:3 5:2 4:1", false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const kerf::HistoryRecord record = kerf::merge_history(c.copies);
    EXPECT_EQ(paths_of(record), c.copies_oldest_first);
    EXPECT_EQ(times_of(record), c.times);
    EXPECT_EQ(record.count_went_down, c.count_went_down);
    EXPECT_EQ(record.runs_beyond_eight, c.runs_beyond_eight);
    EXPECT_EQ(record.last_copy_deleted, c.last_copy_deleted);
  }
}

TEST(History, TheNewestCopyNamesTheFile) {
  HistoryCopy old = loose("old", 1, 1, {1});
  old.name = "calc.exe-3fbef7fd.pf";
  old.hash = 1;
  HistoryCopy newest = loose("new", 2, 2, {2});
  newest.hash = 2;
  const kerf::HistoryRecord record = kerf::merge_history({newest, old});
  EXPECT_EQ(record.name, "CALC.EXE-3FBEF7FD.pf");
  EXPECT_EQ(record.hash, 2u);
  EXPECT_EQ(kerf::history_key(old.name), kerf::history_key(newest.name));
}

}  // namespace
