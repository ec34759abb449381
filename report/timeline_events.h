// Grouping an object's four time stamps into timeline events.
//
// A timeline shows one line per distinct instant. Stamps of one object that
// hold exactly the same time share a line, whose MACB text marks every stamp
// that belongs to it ("MAC." for a file modified, accessed and changed at the
// same moment).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "lib/time/instant.h"

namespace kerf {

// Four FILETIMEs in the order M, A, C, B, each with a label.
struct MacbStamps {
  std::array<std::uint64_t, 4> times{};
  std::array<std::string_view, 4> labels{};
};

struct TimelineEvent {
  time::Instant time;
  std::string macb;  // "M", "A", "C", "B" or "." for each stamp position
  std::string type;  // labels of the stamps that belong to it, joined by "; "
};

// One event per distinct valid stamp, oldest first; events at the same
// instant keep the order M, A, C, B. A stamp that is no valid time (0 among
// them) forms no event.
std::vector<TimelineEvent> build_events(const MacbStamps& stamps);

}  // namespace kerf
