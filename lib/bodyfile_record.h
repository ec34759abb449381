// One object's data for the body-file layout of The Sleuth Kit: eleven
// "|"-separated fields per line, times as Unix seconds, under a header line
// written once per run.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "lib/timeline_stamps.h"

namespace qv {

struct BodyfileRecord {
  BodyfileRecord() { stamps.kind = TimelineStamps::kUnixTime; }

  std::string md5;  // written as "0" when empty
  std::string name;
  std::uint64_t inode = 0;
  std::string mode_text;
  std::uint64_t uid = 0;
  std::uint64_t gid = 0;
  std::uint64_t size = 0;
  // Unix seconds: access = stamp_a, modify = stamp_m, mft (change) =
  // stamp_c, create = stamp_b.
  TimelineStamps stamps;
};

// When `header_flag` is set, clears it and writes the header line. Then
// replaces every "|" in `record.name` by ";" and marks its line breaks (this
// changes the record), and writes one line; control characters in the text
// fields are written as "\xNN". The separator is always "|". Always true.
bool write_bodyfile_record(bool& header_flag, std::ostream& out, BodyfileRecord& record);

}  // namespace qv
