#include "report/timeline_events.h"

#include <algorithm>

namespace kerf {

std::vector<TimelineEvent> build_events(const MacbStamps& stamps) {
  static constexpr char kLetters[4] = {'M', 'A', 'C', 'B'};
  std::array<time::Instant, 4> times;
  for (std::size_t p = 0; p < 4; ++p) times[p] = time::Instant::from_filetime(stamps.times[p]);

  std::vector<TimelineEvent> events;
  std::array<std::uint64_t, 4> event_values{};  // raw stamp of each event, for ordering
  std::array<bool, 4> used{};
  for (std::size_t p = 0; p < 4; ++p) {
    if (!times[p].is_valid() || used[p]) continue;
    TimelineEvent event;
    event.time = times[p];
    event.macb.assign(p, '.');
    event.macb.push_back(kLetters[p]);
    event.type = stamps.labels[p];
    for (std::size_t q = p + 1; q < 4; ++q) {
      if (times[q].is_valid() && !used[q] && stamps.times[q] == stamps.times[p]) {
        used[q] = true;
        event.macb.push_back(kLetters[q]);
        if (!stamps.labels[q].empty()) {
          if (!event.type.empty()) event.type += "; ";
          event.type += stamps.labels[q];
        }
      } else {
        event.macb.push_back('.');
      }
    }
    event_values[events.size()] = stamps.times[p];
    events.push_back(std::move(event));
  }

  // Oldest first; a stable order keeps M, A, C, B among equal values.
  std::array<std::size_t, 4> order = {0, 1, 2, 3};
  std::stable_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(events.size()),
                   [&](std::size_t a, std::size_t b) { return event_values[a] < event_values[b]; });
  std::vector<TimelineEvent> sorted;
  sorted.reserve(events.size());
  for (std::size_t k = 0; k < events.size(); ++k) sorted.push_back(std::move(events[order[k]]));
  return sorted;
}

}  // namespace kerf
