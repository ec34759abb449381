#include "lib/io/message_sink.h"

#include <cstdio>

namespace kerf::io {

void MessageSink::write_message(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace kerf::io
