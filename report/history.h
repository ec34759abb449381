// The history of one Prefetch file across its copies.
//
// A Prefetch file keeps at most eight run times, and Windows rewrites,
// resets or deletes it; older copies of the same file (read from several
// folders, several disk images, or the stores of a volume's shadow copies)
// still hold times the newest has lost. A history merges every copy of one
// file name (EXE-HASH.pf) into the times any of them holds, each with the
// copies that hold it, the run count of each copy, and the flags an examiner
// acts on. merge_history is a pure function of the copies, so that each of
// its rules is tested on its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "report/input_file.h"

namespace kerf {

// What a history keeps of one decoded copy: a few names and at most eight
// times, whatever the file held besides.
struct HistoryCopy {
  std::string name;        // the file's name ("CALC.EXE-3FBEF7FD.pf"), escaped nowhere yet
  std::string executable;  // from the header
  std::uint32_t hash = 0;  // stored in the header
  std::uint32_t run_count = 0;
  std::vector<std::uint64_t> run_times;  // FILETIMEs as stored, zeros left out
  // Where the copy came from: a shadow-copy store's number and creation
  // time, or nothing for the live volume and for a loose file.
  std::optional<std::uint32_t> store;
  std::optional<std::uint64_t> store_created;
  std::string path;           // the name the reports show for the copy
  bool deleted = false;       // found among a volume's deleted entries
  std::uint64_t modified = 0; // the copy's own modification time (FILETIME)
  // With -vss: the other copies (shadow-copy stores) that hold exactly these
  // bytes, reported as this one; each is a copy of the history too.
  std::vector<SameCopy> same_bytes_in;

  std::size_t size() const noexcept {
    return sizeof(HistoryCopy) + name.size() + executable.size() + path.size() +
           run_times.size() * sizeof(std::uint64_t);
  }
};

// One distinct run time, and the copies that hold it: their numbers, from 1,
// in the history's copy order.
struct HistoryTime {
  std::uint64_t time = 0;
  std::vector<std::uint32_t> copies;
};

struct HistoryRecord {
  std::string name;        // the newest copy's file name
  std::string executable;  // the newest copy's
  std::uint32_t hash = 0;  // the newest copy's stored hash
  std::vector<HistoryCopy> copies;  // oldest copy first (see copy_is_older)
  std::vector<HistoryTime> run_times;  // newest first, each once
  // A newer copy counts fewer runs than an older one: the file was deleted
  // and made again, or reset, in between.
  bool count_went_down = false;
  // More than the eight times one file can hold are known.
  bool runs_beyond_eight = false;
  // The newest copy is a deleted file.
  bool last_copy_deleted = false;
};

// The key copies of one Prefetch file share: the file name with A-Z in upper
// case (Windows file names ignore case).
std::string history_key(std::string_view name);

// The order of copies, oldest first: the shadow-copy stores by their
// creation time (then their number), then the copies without a store (the
// live volume, loose files) by their modification time; what is still equal
// by shown path, so that the order never depends on the order of reading.
bool copy_is_older(const HistoryCopy& left, const HistoryCopy& right);

// Merges the copies of one Prefetch file (at least one) into its history.
HistoryRecord merge_history(std::vector<HistoryCopy> copies);

}  // namespace kerf
