// The four time stamps of one object, marked M, A, C and B, with a label each.
//
// The Prefetch record keeps the file's own file-system times in one of these;
// the timeline writers turn a block into events with MACB marks. Positions are
// fixed: whatever is stored in `stamp_c` is marked C.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace qv {

struct TimelineStamps {
  // Raw encodings of the stamps (values of qv::type_time).
  static constexpr std::uint32_t kFiletime = 1;
  static constexpr std::uint32_t kUnixTime = 8;

  std::uint64_t stamp_m = 0;
  std::uint64_t stamp_a = 0;
  std::uint64_t stamp_c = 0;
  std::uint64_t stamp_b = 0;
  std::array<std::string, 4> labels;  // in the order M, A, C, B
  std::string subject;
  std::uint32_t kind = kFiletime;

  // All four stamps 0, all strings empty, kind FILETIME.
  void clear_stamps();
  void set_stamps(std::uint64_t m, std::uint64_t a, std::uint64_t c, std::uint64_t b,
                  std::uint32_t stamp_kind);
  void set_labels(std::string m, std::string a, std::string c, std::string b);

  bool operator==(const TimelineStamps&) const = default;
};

}  // namespace qv
