// Grouping of the four stamps into timeline events with MACB marks (whole
// timelines of the program: test_cli_layouts.cpp).
#include "report/timeline_events.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr std::uint64_t kT1 = 132589439999990000;  // 2021-02-27 23:59:59.999
constexpr std::uint64_t kT2 = 132590592005000000;  // 2021-03-01 08:00:00.5
constexpr std::uint64_t kT3 = 132593262651234567;  // 2021-03-04 10:11:05.1234567
constexpr std::uint64_t kT4 = 132593262723456789;  // 2021-03-04 10:11:12.3456789

TEST(BuildEvents, GroupsEqualStampsAndOrdersByTime) {
  struct Case {
    std::uint64_t m, a, c, b;
    std::vector<std::string> events;  // time, marks and type of each
  };
  const Case cases[] = {
      {kT3, kT3, kT3, kT3, {"3 MACB Modified; Access; Run; Created"}},
      {kT4, kT1, kT3, kT3, {"1 .A.. Access", "3 ..CB Run; Created", "4 M... Modified"}},
      {kT2, kT4, kT1, kT3, {"1 ..C. Run", "2 M... Modified", "3 ...B Created", "4 .A.. Access"}},
      {kT4, kT2, kT2, kT3, {"2 .AC. Access; Run", "3 ...B Created", "4 M... Modified"}},
      {kT3, kT3, kT4, kT1, {"1 ...B Created", "3 MA.. Modified; Access", "4 ..C. Run"}},
      // Neither 0 nor a time with the top bit set is a time.
      {0, 0x8000000000000000ull, kT2, 0, {"2 ..C. Run"}},
      {0, 0, 0, 0, {}},
  };
  const std::uint64_t times[] = {0, kT1, kT2, kT3, kT4};
  for (const Case& c : cases) {
    kerf::MacbStamps stamps;
    stamps.times = {c.m, c.a, c.c, c.b};
    stamps.labels = {"Modified", "Access", "Run", "Created"};
    std::vector<std::string> events;
    for (const auto& event : kerf::build_events(stamps)) {
      const auto at = std::find(std::begin(times), std::end(times), event.time.filetime()) - times;
      events.push_back(std::to_string(at) + " " + event.macb + " " + event.type);
    }
    EXPECT_EQ(events, c.events);
  }
}

}  // namespace
