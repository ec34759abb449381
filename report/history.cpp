#include "report/history.h"

#include <algorithm>
#include <tuple>

namespace kerf {

std::string history_key(std::string_view name) {
  std::string key(name);
  for (char& c : key) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return key;
}

bool copy_is_older(const HistoryCopy& left, const HistoryCopy& right) {
  // A store holds the volume as it was when the store was made, so every
  // store is older than the live volume; loose copies carry no such date,
  // and their own modification time is the best order they give.
  const bool left_store = left.store.has_value();
  const bool right_store = right.store.has_value();
  if (left_store != right_store) return left_store;
  if (left_store) {
    const auto key = [](const HistoryCopy& copy) { return std::tuple(copy.store_created.value_or(0), *copy.store); };
    if (key(left) != key(right)) return key(left) < key(right);
  } else if (left.modified != right.modified) {
    return left.modified < right.modified;
  }
  return left.path < right.path;
}

HistoryRecord merge_history(std::vector<HistoryCopy> copies) {
  HistoryRecord record;
  std::stable_sort(copies.begin(), copies.end(), copy_is_older);

  // Every time of every copy with the copy's number; equal times within one
  // copy count once.
  std::vector<std::pair<std::uint64_t, std::uint32_t>> held;
  for (std::uint32_t number = 1; number <= copies.size(); ++number) {
    for (const std::uint64_t time : copies[number - 1].run_times) {
      if (time != 0) held.emplace_back(time, number);
    }
  }
  std::sort(held.begin(), held.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first > b.first : a.second < b.second;
  });
  held.erase(std::unique(held.begin(), held.end()), held.end());
  for (const auto& [time, number] : held) {
    if (record.run_times.empty() || record.run_times.back().time != time) record.run_times.push_back({time, {}});
    record.run_times.back().copies.push_back(number);
  }

  std::uint32_t most_so_far = 0;
  for (const HistoryCopy& copy : copies) {
    if (copy.run_count < most_so_far) record.count_went_down = true;
    most_so_far = std::max(most_so_far, copy.run_count);
  }
  record.runs_beyond_eight = record.run_times.size() > 8;
  if (!copies.empty()) {
    const HistoryCopy& newest = copies.back();
    record.name = newest.name;
    record.executable = newest.executable;
    record.hash = newest.hash;
    // Deleted where the newest copy is a deleted file, or where only
    // shadow-copy stores hold it: it is gone from the live volume.
    record.last_copy_deleted = newest.deleted || newest.store.has_value();
  }
  record.copies = std::move(copies);
  return record;
}

}  // namespace kerf
