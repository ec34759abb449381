#include "lib/bodyfile_record.h"

#include <string_view>

#include "lib/number_text.h"
#include "lib/string_ops.h"
#include "lib/text_escape.h"
#include "lib/text_markers.h"

namespace qv {

bool write_bodyfile_record(bool& header_flag, std::ostream& out, BodyfileRecord& record) {
  static constexpr std::string_view kHeader =
      "md5|name|inode|mode as string|uid|gid|size|access time|modify time|mft time|create time\n";
  if (header_flag) {
    header_flag = false;
    out.write(kHeader.data(), static_cast<std::streamsize>(kHeader.size()));
  }
  replace_char(record.name, '|', ';', false);
  // A line feed in a name would start a forged line of its own.
  mark_line_breaks(record.name);

  std::string line;
  line.reserve(160 + record.name.size());
  if (record.md5.empty()) {
    line.push_back('0');
  } else {
    append_escaped(line, record.md5);
  }
  line.push_back('|');
  append_escaped(line, record.name);
  line.push_back('|');
  append_decimal(line, record.inode);
  line.push_back('|');
  append_escaped(line, record.mode_text);
  for (const std::uint64_t value :
       {record.uid, record.gid, record.size, record.stamps.stamp_a, record.stamps.stamp_m,
        record.stamps.stamp_c, record.stamps.stamp_b}) {
    line.push_back('|');
    append_decimal(line, value);
  }
  line.push_back('\n');
  out.write(line.data(), static_cast<std::streamsize>(line.size()));
  return true;
}

}  // namespace qv
