// The output layouts, decided once from the options.
#pragma once

namespace kerf {

enum class Layout {
  long_form,     // the readable report (the default)
  csv_table,     // -csv: one comma-separated line per file
  padded_table,  // the blank-filled " | " table of a -pipe -enumdir run
  log2timeline,  // -csvl2t
  body_file,     // -bodyfile: The Sleuth Kit's body file
  json_record,   // -json: one JSON object per file, one per line
  timesketch,    // -timesketch: one JSON object per event, for a Timesketch import
  html_page,     // -html: one self-contained HTML page for the whole run
};

}  // namespace kerf
