#include "lib/timeline_stamps.h"

#include <utility>

namespace qv {

void TimelineStamps::clear_stamps() {
  stamp_m = stamp_a = stamp_c = stamp_b = 0;
  for (auto& label : labels) label.clear();
  subject.clear();
  kind = kFiletime;
}

void TimelineStamps::set_stamps(std::uint64_t m, std::uint64_t a, std::uint64_t c, std::uint64_t b,
                                std::uint32_t stamp_kind) {
  stamp_m = m;
  stamp_a = a;
  stamp_c = c;
  stamp_b = b;
  kind = stamp_kind;
}

void TimelineStamps::set_labels(std::string m, std::string a, std::string c, std::string b) {
  labels[0] = std::move(m);
  labels[1] = std::move(a);
  labels[2] = std::move(c);
  labels[3] = std::move(b);
}

}  // namespace qv
