// Where a run's messages go: standard error by default. Something else that
// writes to the same terminal, such as the progress line of a bulk run,
// derives from this to take its own text away before a message is written.
#pragma once

#include <string_view>

namespace kerf::io {

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // Writes `text` (one or more whole lines) to standard error.
  virtual void write_message(std::string_view text);
};

}  // namespace kerf::io
