// One object's data for the log2timeline CSV layout: 17 fields per line,
// one line per distinct time stamp, under a header line written once per run.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "lib/date_time_format_desc.h"
#include "lib/timeline_stamps.h"

namespace qv {

class cmd_params;

struct L2tRecord {
  L2tRecord();

  TimelineStamps stamps;
  std::string timezone = "UTC";
  std::string source;
  std::string sourcetype;
  std::string type;  // when not empty, written instead of each event's labels
  std::string user;
  std::string host;
  std::string short_text;
  std::string desc;
  std::uint32_t version = 2;
  std::string filename;
  std::string inode;
  std::string notes;
  std::string format = "-csvl2t";
  std::string extra;

  std::string date_format = "yyyy-mm-dd";
  std::string time_format = "hh:mm:ss.xxx";
  date_time_format_desc descriptor;  // compiled from the two patterns, pairing off
  std::string separator = ",";
  char sep_char = ',';   // may not appear in the free-text fields
  char sep_subst = ' ';  // what replaces it there
  bool no_whitespace = false;
  bool blank_before_time = false;
  bool pair_datetime = false;
};

// Copies the run's settings into `record`: `sourcetype` as given, `format`
// = program name + " (quorvex)", the date/time patterns and descriptor,
// separator and its forbidden character, blanks, user and host.
void load_settings(L2tRecord& record, const cmd_params& settings, std::string_view sourcetype);

// When `header_flag` is set, clears it and writes the header line. Then
// cleans the free-text fields of `record` in place (the forbidden separator
// character replaced; line breaks marked in short, desc, filename, notes and
// extra) and writes one line per event of its stamps, oldest first. Control
// characters in any field are written as "\xNN". Always true.
bool write_l2t_record(bool& header_flag, std::ostream& out, L2tRecord& record);

}  // namespace qv
