// Grouping of the four stamps into timeline events with MACB marks.
#include "lib/timeline_event.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr std::uint64_t kT1 = 132589439999990000;  // 2021-02-27 23:59:59.999
constexpr std::uint64_t kT2 = 132590592005000000;  // 2021-03-01 08:00:00.5
constexpr std::uint64_t kT3 = 132593262651234567;  // 2021-03-04 10:11:05.1234567
constexpr std::uint64_t kT4 = 132593262723456789;  // 2021-03-04 10:11:12.3456789

struct Expected {
  std::uint64_t filetime;
  std::string macb;
  std::string type;
};

struct Case {
  const char* name;
  std::uint64_t m, a, c, b;
  std::vector<Expected> events;
};

TEST(BuildEvents, GroupsEqualStampsAndOrdersByTime) {
  const Case cases[] = {
      {"all four equal", kT3, kT3, kT3, kT3, {{kT3, "MACB", "Modified; Access; Run; Created"}}},
      {"B missing", kT3, kT3, kT3, 0, {{kT3, "MAC.", "Modified; Access; Run"}}},
      {"C and B together", kT4, kT1, kT3, kT3,
       {{kT1, ".A..", "Access"}, {kT3, "..CB", "Run; Created"}, {kT4, "M...", "Modified"}}},
      {"four distinct", kT2, kT4, kT1, kT3,
       {{kT1, "..C.", "Run"}, {kT2, "M...", "Modified"}, {kT3, "...B", "Created"},
        {kT4, ".A..", "Access"}}},
      {"A and C equal", kT4, kT2, kT2, kT3,
       {{kT2, ".AC.", "Access; Run"}, {kT3, "...B", "Created"}, {kT4, "M...", "Modified"}}},
      {"earliest is B", kT3, kT3, kT4, kT1,
       {{kT1, "...B", "Created"}, {kT3, "MA..", "Modified; Access"}, {kT4, "..C.", "Run"}}},
      // Neither 0 nor a time with the top bit set is a time.
      {"invalid stamps", 0, 0x8000000000000000ull, kT2, 0, {{kT2, "..C.", "Run"}}},
      {"nothing", 0, 0, 0, 0, {}},
  };
  for (const Case& c : cases) {
    qv::TimelineStamps stamps;
    stamps.set_stamps(c.m, c.a, c.c, c.b, qv::TimelineStamps::kFiletime);
    stamps.set_labels("Modified", "Access", "Run", "Created");
    const auto events = qv::build_events(stamps);
    ASSERT_EQ(events.size(), c.events.size()) << c.name;
    for (std::size_t i = 0; i < events.size(); ++i) {
      EXPECT_EQ(events[i].time.filetime(), c.events[i].filetime) << c.name << " #" << i;
      EXPECT_EQ(events[i].macb, c.events[i].macb) << c.name << " #" << i;
      EXPECT_EQ(events[i].type, c.events[i].type) << c.name << " #" << i;
    }
  }
}

TEST(BuildEvents, EmptyLabelsAddNoSeparator) {
  qv::TimelineStamps stamps;
  stamps.set_stamps(kT2, kT2, kT2, kT2, qv::TimelineStamps::kFiletime);
  stamps.set_labels("", "Access", "", "Created");
  const auto events = qv::build_events(stamps);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].type, "Access; Created");
}

TEST(BuildEvents, AClearedBlockGivesNoEvent) {
  qv::TimelineStamps stamps;
  stamps.set_stamps(kT1, kT2, kT3, kT4, qv::TimelineStamps::kFiletime);
  stamps.clear_stamps();
  EXPECT_TRUE(qv::build_events(stamps).empty());
}

}  // namespace
