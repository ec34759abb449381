#include "sources/image/ntfs_name_fold.h"

#include "lib/io/byte_reader.h"
#include "lib/text/utf8.h"

namespace kerf {

namespace {

constexpr std::size_t kUnits = 0x10000;

}  // namespace

NtfsNameFold::NtfsNameFold(std::span<const std::uint8_t> upcase) {
  const io::ByteReader bytes(upcase);
  if (!bytes.fits(0, kUnits * 2)) return;
  std::vector<char16_t> table(kUnits);
  for (std::size_t unit = 0; unit < kUnits; ++unit) table[unit] = static_cast<char16_t>(bytes.u16_or(unit * 2, 0));
  for (char16_t c = u'a'; c <= u'z'; ++c) {
    if (table[c] != c - u'a' + u'A' || table[c - u'a' + u'A'] != c - u'a' + u'A') return;
  }
  m_upper = std::move(table);
}

std::string NtfsNameFold::folded(std::string_view name) const {
  std::string out;
  out.reserve(name.size());
  while (!name.empty()) {
    const text::Utf8Char c = text::decode_utf8_char(name);
    if (!c.valid) {
      out.push_back(name.front());
    } else if (c.code_point < 0x80) {
      const char ascii = static_cast<char>(c.code_point);
      out.push_back(ascii >= 'a' && ascii <= 'z' ? static_cast<char>(ascii - 'a' + 'A') : ascii);
    } else if (c.code_point < kUnits && !m_upper.empty()) {
      text::append_utf8(out, m_upper[c.code_point]);
    } else {
      out.append(name.substr(0, c.length));
    }
    name.remove_prefix(c.length);
  }
  return out;
}

}  // namespace kerf
