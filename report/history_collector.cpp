#include "report/history_collector.h"

namespace kerf {

void describe_copy(const InputFile& input, const PrefetchRecord& record, HistoryCopy& copy) {
  copy.name = input.name;
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
}

void HistoryCollector::for_each(const std::function<void(const HistoryRecord&)>& use) const {
  for (const auto& [key, copies] : m_copies) use(merge_history(copies));
}

}  // namespace kerf
