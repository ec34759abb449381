#include "report/body_file.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "lib/text/escape.h"
#include "lib/text/line_breaks.h"
#include "lib/text/numbers.h"
#include "lib/time/instant.h"
#include "report/file_facts.h"

namespace kerf {

namespace {

// The body file's time columns hold whole Unix seconds with 0 for "not
// known": a FILETIME of 0, one negative as a signed number, or one before
// 1970 (which the body file cannot show) is written as 0.
std::uint64_t unix_seconds(std::uint64_t filetime) {
  if (static_cast<std::int64_t>(filetime) <= 0 || filetime < time::kUnixEpochFiletime) return 0;
  return (filetime - time::kUnixEpochFiletime) / time::kTicksPerSecond;
}

// One line: md5 "0", the name (its "|" turned into ";" and its line breaks
// marked, so that it stays one field of one line), inode 0, no mode text,
// uid and gid 0, the size, and the access, modify, change and create times.
void append_line(std::string& out, std::string name, std::uint64_t size, std::uint64_t accessed,
                 std::uint64_t modified, std::uint64_t changed, std::uint64_t created) {
  std::replace(name.begin(), name.end(), '|', ';');
  text::mark_line_breaks(name);
  out += "0|";
  text::append_escaped(out, name);
  out += "|0||0|0";
  for (const std::uint64_t value : {size, unix_seconds(accessed), unix_seconds(modified), unix_seconds(changed),
                                    unix_seconds(created)}) {
    out.push_back('|');
    text::append_decimal(out, value);
  }
  out.push_back('\n');
}

}  // namespace

void BodyFileRenderer::render(const InputFile& input, const PrefetchRecord& record, RenderedFile& file) const {
  file.clear();
  // The Sleuth Kit's body files mark a deleted file's name so.
  std::string name_head = input.name;
  if (record.source.in_volume && record.source.deleted) name_head += " (deleted)";
  name_head += " (";
  name_head += record.format_label();
  name_head += ")";

  std::string name = name_head + "; run count: ";
  text::append_decimal(name, record.run_count);
  name += "; app run: ";
  name += record.app_path;
  append_line(file.text, std::move(name), record.source.size, record.source.accessed, record.source.modified,
              record.last_run_time, birth_stamp(record));

  for (const std::uint64_t time : record.previous_run_times) {
    append_line(file.text, name_head + "; not last time run - but prevtime; app run: " + record.app_path,
                record.source.size, time, time, time, record.source.changed);
  }
}

void BodyFileRenderer::emit(const RenderedFile& file, std::string& out) {
  if (m_header_pending) {
    m_header_pending = false;
    out += "md5|name|inode|mode as string|uid|gid|size|access time|modify time|mft time|create time\n";
  }
  out += file.text;
}

}  // namespace kerf
