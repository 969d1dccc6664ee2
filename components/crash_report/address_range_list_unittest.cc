#include "components/crash_report/address_range_list.h"

#include <vector>

#include "gtest/gtest.h"

namespace crash_report {
namespace {

using Ranges = std::vector<std::pair<uint64_t, uint64_t>>;

Ranges Contents(const AddressRangeList& list) {
  Ranges ranges;
  for (const auto& range : list.ranges())
    ranges.emplace_back(range.start, range.end);
  return ranges;
}

// Each case adds its ranges in order to an empty list.
TEST(AddressRangeListTest, MergesEveryOverlapAndCountsEachByteOnce) {
  struct Case {
    const char* name;
    Ranges added;
    Ranges expected;
    uint64_t total;
  } cases[] = {
      {"disjoint, out of order",
       {{300, 400}, {100, 200}},
       {{100, 200}, {300, 400}},
       200},
      {"inside another", {{100, 400}, {200, 300}}, {{100, 400}}, 300},
      {"grows down", {{200, 300}, {100, 250}}, {{100, 300}}, 200},
      {"grows down and up", {{200, 300}, {100, 400}}, {{100, 400}}, 300},
      {"touching ends join", {{100, 200}, {200, 300}}, {{100, 300}}, 200},
      {"touching starts join", {{200, 300}, {100, 200}}, {{100, 300}}, 200},
      {"spans three",
       {{100, 200}, {300, 400}, {500, 600}, {150, 550}},
       {{100, 600}},
       500},
      {"reaches into the third of three",
       {{100, 200}, {300, 400}, {500, 600}, {700, 800}, {50, 510}},
       {{50, 600}, {700, 800}},
       650},
      {"two pointers 100 bytes apart",
       {{0x1000 - 1024, 0x1000 + 1024}, {0x1064 - 1024, 0x1064 + 1024}},
       {{0x1000 - 1024, 0x1064 + 1024}},
       2148},
      {"empty", {{500, 500}}, {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AddressRangeList list;
    for (const auto& [start, end] : c.added)
      list.Add(start, end);
    EXPECT_EQ(c.expected, Contents(list));
    EXPECT_EQ(c.total, list.total());
    list.Clear();
    EXPECT_TRUE(list.ranges().empty());
    EXPECT_EQ(0u, list.total());
  }
}

}  // namespace
}  // namespace crash_report
