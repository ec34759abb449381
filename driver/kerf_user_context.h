// The run options of kerf: the common settings, this program's own, and the
// record of the file being decoded. One object lives for the whole run and is
// handed to every part of the program.
#pragma once

#include <string>
#include <vector>

#include "lib/arg_list.h"
#include "lib/cmd_params.h"
#include "lib/csv_table.h"
#include "lib/message_sink.h"
#include "prefetch/loader.h"
#include "prefetch/prefetch_entry.h"

namespace kerf {

class kerf_user_context : public qv::cmd_params {
 public:
  kerf_user_context();
  ~kerf_user_context() override;

  std::string m_input_path;           // current input file, %NAME% references expanded
  std::string m_input_name;           // its file-name part
  bool m_prevtimes = true;            // previous run times are always reported
  bool m_show_prefetch_path = false;  // -pf_path
  bool m_app_path_column = true;

  PrefetchEntry m_entry;                 // the current file's record
  std::vector<qv::CsvColumn> m_columns;  // fixed by the first CSV row of the run
  LoadBuffers m_load_buffers;            // reused from file to file

  // Problem messages of the run: standard error, or whatever a bulk run puts
  // on the terminal in front of it (the progress line takes itself away).
  qv::message_sink m_stderr_messages;
  qv::message_sink* m_messages = &m_stderr_messages;
};

// Every default back, the record cleared.
void reset_run_options(kerf_user_context& options);

// Parses the whole argument list into `options`, removing what it takes;
// false when the run must not go on (the message, if any, is on standard
// error). The long-form report is the default unless a delimited layout is
// named, or piped names and a directory are both given without -verbose/-v.
bool parse_program_options(kerf_user_context& options, qv::arg_list& args,
                           std::string_view version);

}  // namespace kerf
