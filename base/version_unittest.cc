#include "base/version.h"

#include "gtest/gtest.h"

namespace base {
namespace {

TEST(VersionTest, Parsing) {
  const struct {
    const char* input;
    size_t components;
  } cases[] = {
      {"45.0.2531.0", 4}, {"4294967295.0", 2}, {"1.02", 2}, {"", 0},
      {"1.", 0},          {"1..2", 0},         {"01.2", 0}, {"+1.2", 0},
      {" 1.2", 0},        {"1.2\n", 0},        {"1.2a", 0}, {"4294967296.0", 0},
      {"1.*", 0}};
  for (const auto& c : cases) {
    Version version(c.input);
    EXPECT_EQ(c.components > 0, version.IsValid()) << c.input;
    EXPECT_EQ(c.components, version.components().size()) << c.input;
  }
  EXPECT_EQ("1.2", Version("1.02").GetString());
  EXPECT_EQ("invalid", Version("x").GetString());
}

TEST(VersionTest, Comparison) {
  const struct {
    const char* lhs;
    const char* rhs;
    int expected;
  } cases[] = {{"1.0", "1.0.0.0", 0},
               {"1.0.1", "1.0", 1},
               {"10.0", "9.99", 1},
               {"1.4294967295", "2.0", -1}};
  for (const auto& c : cases) {
    Version lhs(c.lhs), rhs(c.rhs);
    EXPECT_EQ(c.expected, lhs.CompareTo(rhs)) << c.lhs << " vs " << c.rhs;
    EXPECT_EQ(-c.expected, rhs.CompareTo(lhs)) << c.rhs << " vs " << c.lhs;
    EXPECT_EQ(c.expected == 0, lhs == rhs);
    EXPECT_EQ(c.expected < 0, lhs < rhs);
  }
}

}  // namespace
}  // namespace base
