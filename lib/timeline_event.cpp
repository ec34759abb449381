#include "lib/timeline_event.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace qv {

std::vector<TimelineEvent> build_events(const TimelineStamps& stamps) {
  static constexpr char kLetters[4] = {'M', 'A', 'C', 'B'};
  const std::array<std::uint64_t, 4> values = {stamps.stamp_m, stamps.stamp_a, stamps.stamp_c,
                                               stamps.stamp_b};
  const auto kind = static_cast<type_time>(stamps.kind);

  std::array<time, 4> times;
  std::array<bool, 4> counts{};
  for (std::size_t p = 0; p < 4; ++p) {
    times[p] = time(static_cast<std::int64_t>(values[p]), kind);
    counts[p] = times[p].is_valid();
  }

  std::vector<TimelineEvent> events;
  std::array<std::uint64_t, 4> event_values{};  // raw stamp of each event, for ordering
  std::array<bool, 4> used{};
  for (std::size_t p = 0; p < 4; ++p) {
    if (!counts[p] || used[p]) continue;
    TimelineEvent event;
    event.time = times[p];
    event.macb.assign(p, '.');
    event.macb.push_back(kLetters[p]);
    event.type = stamps.labels[p];
    for (std::size_t q = p + 1; q < 4; ++q) {
      if (counts[q] && !used[q] && values[q] == values[p]) {
        used[q] = true;
        event.macb.push_back(kLetters[q]);
        const std::string& label = stamps.labels[q];
        if (!label.empty()) {
          if (!event.type.empty()) event.type += "; ";
          event.type += label;
        }
      } else {
        event.macb.push_back('.');
      }
    }
    event_values[events.size()] = values[p];
    events.push_back(std::move(event));
  }

  // Oldest first; a stable order keeps M, A, C, B among equal values.
  std::array<std::size_t, 4> order = {0, 1, 2, 3};
  const auto by_value = [&](std::size_t a, std::size_t b) {
    return event_values[a] < event_values[b];
  };
  std::stable_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(events.size()),
                   by_value);
  std::vector<TimelineEvent> sorted;
  sorted.reserve(events.size());
  for (std::size_t k = 0; k < events.size(); ++k) sorted.push_back(std::move(events[order[k]]));
  return sorted;
}

}  // namespace qv
