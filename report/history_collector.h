// What a -history run keeps until its end: a small HistoryCopy of every
// decoded file (made by render() on the decoding threads, kept by emit() on
// the writing thread), grouped by file name. Nothing else of the decoded
// files is kept, so memory follows the copies' names and times alone.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "prefetch/record.h"
#include "report/history.h"
#include "report/input_file.h"

namespace kerf {

// What a history keeps of one decoded file.
void describe_copy(const InputFile& input, const PrefetchRecord& record, HistoryCopy& copy);

class HistoryCollector {
 public:
  void add(const HistoryCopy& copy);

  // Each Prefetch file's history, in the order of their names (A-Z in upper
  // case), so the output never depends on the order the files were read in.
  void for_each(const std::function<void(const HistoryRecord&)>& use) const;

  bool empty() const noexcept { return m_copies.empty(); }

 private:
  std::map<std::string, std::vector<HistoryCopy>> m_copies;  // by history_key
};

}  // namespace kerf
