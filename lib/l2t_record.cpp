#include "lib/l2t_record.h"

#include <initializer_list>

#include "lib/cmd_params.h"
#include "lib/number_text.h"
#include "lib/string_ops.h"
#include "lib/text_escape.h"
#include "lib/text_markers.h"
#include "lib/timeline_event.h"

namespace qv {

namespace {

void write_header(std::ostream& out, const L2tRecord& record) {
  static constexpr std::string_view kNames[] = {
      "timezone", "MACB", "source",   "sourcetype", "type",  "user",   "host",  "short",
      "desc",     "version", "filename", "inode",   "notes", "format", "extra"};
  std::string line;
  line.reserve(160);
  if (record.pair_datetime) {
    line += "date/time";
  } else {
    line.append("date").append(record.separator).append("time");
  }
  for (const std::string_view name : kNames) line.append(record.separator).append(name);
  line.push_back('\n');
  out.write(line.data(), static_cast<std::streamsize>(line.size()));
}

void clean_free_text(L2tRecord& record) {
  const bool replace = record.sep_char != 0 && record.sep_subst != 0;
  // Names in the short text and the file name come from the examined files,
  // so they are marked like the other free-text fields.
  for (std::string* field : {&record.short_text, &record.desc, &record.filename, &record.notes,
                             &record.extra}) {
    if (replace && field->find(record.sep_char) != std::string::npos) {
      replace_char(*field, record.sep_char, record.sep_subst, false);
    }
    mark_line_breaks(*field);
  }
}

}  // namespace

L2tRecord::L2tRecord() { compile_date_time_format(descriptor, date_format, time_format, false); }

void load_settings(L2tRecord& record, const cmd_params& settings, std::string_view sourcetype) {
  record.sourcetype.assign(sourcetype);
  record.format = settings.m_progname + " (quorvex)";
  record.date_format = settings.m_date_format;
  record.time_format = settings.m_time_format;
  record.descriptor = settings.m_date_time_desc;
  record.no_whitespace = settings.m_no_whitespace;
  record.blank_before_time = !settings.m_no_whitespace;
  record.user = settings.m_username;
  record.host = settings.m_hostname;
  record.separator = settings.m_csv_separator;
  record.sep_char = settings.m_sep_char;
  record.sep_subst = settings.m_sep_subst;
  record.pair_datetime = settings.m_pair_datetime;
}

bool write_l2t_record(bool& header_flag, std::ostream& out, L2tRecord& record) {
  if (header_flag) {
    header_flag = false;
    write_header(out, record);
  }
  clean_free_text(record);

  const std::vector<TimelineEvent> events = build_events(record.stamps);
  if (events.empty()) return true;

  const std::string& sep = record.separator;
  std::string date;
  std::string time_text;
  std::string line;
  line.reserve(512 + record.desc.size() + record.notes.size() + record.extra.size());
  for (const TimelineEvent& event : events) {
    line.clear();
    format_with_descriptor(date, time_text, event.time, record.descriptor);
    if (record.pair_datetime) {
      if (record.blank_before_time) line.push_back(' ');
      line.append(date).append(1, ' ').append(time_text);
    } else {
      line.append(date).append(sep);
      if (record.blank_before_time) line.push_back(' ');
      line.append(time_text);
    }
    const auto field = [&](std::string_view text) {
      line.append(sep);
      append_escaped(line, text);
    };
    field(record.timezone);
    field(event.macb);
    field(record.source);
    field(record.sourcetype);
    field(record.type.empty() ? event.type : record.type);
    field(record.user);
    field(record.host);
    field(record.short_text);
    field(record.desc);
    line.append(sep);
    append_decimal(line, record.version);
    field(record.filename);
    field(record.inode);
    field(record.notes);
    field(record.format);
    field(record.extra);
    line.push_back('\n');
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
  }
  return true;
}

}  // namespace qv
