// The page's table of files: one row group (<tbody>) per reported Prefetch
// file: a row of its name, the executable, run count, last run, path, hash
// check, format and volumes, and under it a row across the table that opens
// (<details>) to the earlier run times, the loaded files and the directories
// of each volume. Sorting moves whole row groups. Cells that sort by value
// (numbers, times) carry their key in a data-k attribute, zero-padded so
// that keys sort as text.
#pragma once

#include <string>

#include "lib/time/date_time_format.h"
#include "prefetch/record.h"
#include "report/input_file.h"

namespace kerf {

// From the section's heading to the table's head.
void append_files_table_start(std::string& out);
// One <tbody>, ending in a line end.
void append_file_row(std::string& out, const InputFile& input, const PrefetchRecord& record,
                     const time::DateTimeFormat& format);
// The close of the table and the section; a note in it
// when no file was reported.
void append_files_table_end(std::string& out, bool no_file_reported);

}  // namespace kerf
