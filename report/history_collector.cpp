#include "report/history_collector.h"

#include "lib/text/numbers.h"

namespace kerf {

void describe_copy(const InputFile& input, const PrefetchRecord& record, HistoryCopy& copy) {
  copy.name = input.name;
  // A carved find has no name of its own: it joins the history of the file
  // Windows names after its executable and hash.
  if (record.source.carved_at) {
    copy.name = record.exe_name + "-";
    text::append_hex(copy.name, record.stored_hash, 8, true);
    copy.name += ".pf";
  }
  copy.path = input.path;
  copy.executable = record.exe_name;
  copy.hash = record.stored_hash;
  copy.run_count = record.run_count;
  copy.run_times.clear();
  if (record.last_run_time != 0) copy.run_times.push_back(record.last_run_time);
  for (const std::uint64_t time : record.previous_run_times) {
    if (time != 0) copy.run_times.push_back(time);
  }
  // A copy from a shadow-copy store says which; the live volume's and a
  // loose file's say nothing.
  copy.store = record.source.store;
  copy.store_created = record.source.store ? std::optional<std::uint64_t>(record.source.store_created) : std::nullopt;
  copy.deleted = record.source.in_volume && record.source.deleted;
  copy.modified = record.source.modified;
  copy.same_bytes_in.assign(input.copies.size() > 1 ? input.copies.begin() + 1 : input.copies.end(),
                            input.copies.end());
}

// A file reported once for several stores holding the same bytes is a copy
// of the history in each of them.
void HistoryCollector::add(const HistoryCopy& copy) {
  std::vector<HistoryCopy>& copies = m_copies[history_key(copy.name)];
  copies.push_back(copy);
  copies.back().same_bytes_in.clear();
  for (const SameCopy& same : copy.same_bytes_in) {
    HistoryCopy also = copies.back();
    also.store = same.store;
    also.store_created = same.store ? std::optional<std::uint64_t>(same.store_created) : std::nullopt;
    also.path = same.path;
    also.deleted = false;  // a store's copy is the file as it was, not a deleted entry
    copies.push_back(std::move(also));
  }
}

void HistoryCollector::for_each(const std::function<void(const HistoryRecord&)>& use) const {
  for (const auto& [key, copies] : m_copies) use(merge_history(copies));
}

}  // namespace kerf
