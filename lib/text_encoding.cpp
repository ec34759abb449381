#include "lib/text_encoding.h"

namespace qv {

std::wstring utf8_to_wide(std::string_view text) {
  std::wstring result;
  result.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    char32_t code_point = 0;
    std::size_t continuation = 0;
    if (lead < 0x80) {
      code_point = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      code_point = lead & 0x1F;
      continuation = 1;
    } else if ((lead & 0xF0) == 0xE0) {
      code_point = lead & 0x0F;
      continuation = 2;
    } else if ((lead & 0xF8) == 0xF0) {
      code_point = lead & 0x07;
      continuation = 3;
    } else {
      return {};
    }
    if (continuation > text.size() - i - 1) return {};
    for (std::size_t k = 1; k <= continuation; ++k) {
      const auto byte = static_cast<unsigned char>(text[i + k]);
      if ((byte & 0xC0) != 0x80) return {};
      code_point = (code_point << 6) | (byte & 0x3F);
    }
    result.push_back(static_cast<wchar_t>(code_point));
    i += continuation + 1;
  }
  return result;
}

bool append_utf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp <= 0x10FFFF) {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    return false;
  }
  return true;
}

std::string wide_to_utf8(std::wstring_view text) {
  std::string result;
  result.reserve(text.size());
  for (const wchar_t unit : text) {
    if (!append_utf8(result, static_cast<char32_t>(unit))) break;
  }
  return result;
}

}  // namespace qv
