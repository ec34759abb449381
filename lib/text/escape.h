// Control characters in names taken from Prefetch files and file names.
//
// Every name inside a Prefetch file is written by whoever wrote the file, and
// no legitimate Windows name holds a control character. Written raw, a line
// feed would split one report line into two (a forged timeline record) and an
// escape sequence would re-program the examiner's terminal. So each byte
// below 0x20, and 0x7F, is shown as "\x" and two lower-case hex digits.
// Bytes from 0x80 up are UTF-8 and stay as they are.
#pragma once

#include <string>
#include <string_view>

namespace kerf::text {

// True for the bytes that are shown escaped: 0x00-0x1F and 0x7F.
constexpr bool is_control_char(char c) noexcept {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

// Appends `text` to `out` with each control byte written as "\xNN".
void append_escaped(std::string& out, std::string_view text);

}  // namespace kerf::text
