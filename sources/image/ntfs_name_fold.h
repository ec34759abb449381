// NTFS matches names without regard to case, by the upper-case table the
// volume keeps in $UpCase (one 16-bit unit for each UTF-16 unit), so a
// folder typed "\windows\prefetch" is the one the volume lists as
// "\Windows\Prefetch", accented and Cyrillic letters included.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kerf {

class NtfsNameFold {
 public:
  // Folds only A-Z: for a volume whose table can't be read.
  NtfsNameFold() = default;
  // The bytes of a volume's $UpCase; a table that is short, or does not
  // upper-case a-z, is not trusted and only A-Z are folded.
  explicit NtfsNameFold(std::span<const std::uint8_t> upcase);

  // `name` (UTF-8, as The Sleuth Kit gives names) with every character of
  // the Basic Multilingual Plane upper-cased by the table; other characters
  // and bytes that are not UTF-8 stay as they are.
  std::string folded(std::string_view name) const;

 private:
  std::vector<char16_t> m_upper;  // 65536 units, or empty
};

}  // namespace kerf
