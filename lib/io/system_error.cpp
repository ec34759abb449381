#include "lib/io/system_error.h"

#include <cstring>

#include "lib/text/ascii.h"

namespace kerf::io {

std::string system_error_text(int error) {
  std::string text = std::strerror(error);
  if (!text.empty()) text[0] = text::lower_ascii(text[0]);
  return text;
}

}  // namespace kerf::io
