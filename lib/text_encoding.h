// Conversions between UTF-8 byte strings and wide strings.
//
// All text the program keeps is UTF-8; wide strings (one code point per
// element) appear only while names are collected from the UTF-16LE units of a
// Prefetch image and inside path handling.
#pragma once

#include <string>
#include <string_view>

namespace qv {

static_assert(sizeof(wchar_t) == 4, "wide strings hold one 32-bit code point per element");

// Strict decoder: the whole result is empty on the first malformed sequence
// (bad lead byte, missing or wrong continuation byte, sequence cut off by the
// end). Overlong forms and surrogate code points are taken as they decode.
std::wstring utf8_to_wide(std::string_view text);

// Encodes each code point (1 to 4 bytes). A code point above U+10FFFF ends the
// conversion; what was converted before it is the result. Surrogates are
// encoded like any other code point (three bytes each, no pairing).
std::string wide_to_utf8(std::wstring_view text);

// Appends the UTF-8 form of one code point; false (nothing appended) for a
// code point above U+10FFFF.
bool append_utf8(std::string& out, char32_t code_point);

}  // namespace qv
