// Grouping an object's four time stamps into timeline events.
//
// A timeline shows one line per distinct instant. Stamps of one object that
// hold exactly the same time share a line, whose MACB text marks every stamp
// that belongs to it ("MAC." for a file modified, accessed and changed at the
// same moment).
#pragma once

#include <string>
#include <vector>

#include "lib/qv_time.h"
#include "lib/timeline_stamps.h"

namespace qv {

struct TimelineEvent {
  ::qv::time time;    // the instant of the event
  std::string macb;   // "M", "A", "C", "B" or "." for each stamp position
  std::string type;   // labels of the stamps that belong to it, joined by "; "
};

// One event per distinct valid stamp, oldest first; events at the same
// instant keep the order M, A, C, B. A stamp that is not a valid time of the
// block's kind (0 among them) forms no event.
std::vector<TimelineEvent> build_events(const TimelineStamps& stamps);

}  // namespace qv
