#include "base/location.h"

#include <string>

#include "gtest/gtest.h"

namespace base {
namespace {

class Fetcher {
 public:
  Location Start() { return FROM_HERE; }
};

TEST(LocationTest, CarriesTheMethodsOwnNameAndItsFile) {
  Location location = Fetcher().Start();
  EXPECT_STREQ("Start", location.function_name());
  EXPECT_EQ(
      "Start@location_unittest.cc:" + std::to_string(location.line_number()),
      location.ToString());
}

}  // namespace
}  // namespace base
