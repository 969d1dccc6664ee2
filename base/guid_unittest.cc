#include "base/guid.h"

#include <set>

#include "gtest/gtest.h"

namespace base {
namespace {

TEST(GUIDTest, GeneratedGuidsAreRandomVersion4InLowerCase) {
  std::set<std::string> seen;
  for (int i = 0; i < 100; ++i) {
    std::string guid = GenerateGUID();
    ASSERT_TRUE(IsValidGUIDOutputString(guid)) << guid;
    EXPECT_EQ('4', guid[14]) << guid;
    EXPECT_NE(std::string::npos, std::string("89ab").find(guid[19])) << guid;
    EXPECT_TRUE(seen.insert(guid).second) << "repeated " << guid;
  }
  const uint64_t bits[2] = {0x0123456789abcdefULL, 0xfedcba9876543210ULL};
  EXPECT_EQ("01234567-89ab-cdef-fedc-ba9876543210",
            RandomDataToGUIDString(bits));
}

}  // namespace
}  // namespace base
