#include "lib/message_sink.h"

#include <cstdio>
#include <string>

#include "lib/text_escape.h"

namespace qv {

message_sink::~message_sink() = default;

void message_sink::write_message(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

void report_unreadable_file(message_sink& messages, std::string_view name) {
  std::string text = "prob reading file ";
  append_escaped(text, name);
  text += '\n';
  messages.write_message(text);
}

}  // namespace qv
