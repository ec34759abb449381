// Everything the renderers read of the run's options. Fixed once the
// command line has been parsed.
#pragma once

#include <string>

#include "report/layout.h"

namespace kerf {

struct ReportSettings {
  Layout layout = Layout::long_form;

  // Patterns of -dateformat and -timeformat (see lib/time/date_time_format.h).
  std::string date_pattern = "yyyy-mm-dd";
  std::string time_pattern = "hh:mm:ss.xxx";
  bool pair_datetime = false;  // date and time in one field of the delimited layouts

  // Delimited layouts: the separator, the one character that may not stand
  // inside a field (0: none) and what replaces it there.
  std::string separator = " | ";
  char forbidden_char = '|';
  char forbidden_substitute = ';';
  bool no_whitespace = false;  // no blank filling, no blank before a time
  bool pad_fields = true;      // a blank in front of a time field
  bool quoted_fields = false;  // text fields in double quotes

  // -verbose: the volume and module columns of the compact table, every
  // loaded file in a timeline's module list, separator lines between the
  // long-form reports of a bulk run.
  bool verbose = false;
  // -verbose or -v as typed (the long form counts as verbose without it):
  // the long form then tells what a disk image says of each loaded file.
  bool verbose_typed = false;
  // -vss: files read from disk images say which shadow-copy store held them
  // (none for the live volume).
  bool shadow_copies = false;
  bool bulk_run = false;
  bool show_prefetch_path = false;  // -pf_path: the table shows the whole path
  // -verify: the long form's "hash:" line and the table's four hash columns
  // (the stored hash, the name's hash, the verdict, the path it proves).
  bool verify = false;
  // -history: one record per Prefetch file across every copy read, written
  // once the last copy is in.
  bool history = false;

  // Whether each failed file is named on standard error (not under -quiet).
  bool failures_named = true;

  std::string hostname;
  std::string username;
  std::string program_name;  // the program's base name, for the timeline's format field
};

}  // namespace kerf
