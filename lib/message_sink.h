// Where a run's problem messages ("prob reading file ...") go: standard error
// by default. Something else that writes to the same terminal, such as the
// progress line of a bulk run, derives from this to take its own text away
// before a message is written.
#pragma once

#include <string_view>

namespace qv {

class message_sink {
 public:
  virtual ~message_sink();
  // Writes `text` (one or more whole lines) to standard error.
  virtual void write_message(std::string_view text);
};

// "prob reading file NAME\n", the name's control characters written as
// "\xNN": a hostile file name must not steer the examiner's terminal.
void report_unreadable_file(message_sink& messages, std::string_view name);

}  // namespace qv
