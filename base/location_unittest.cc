#include "base/location.h"

#include <string>

#include "gtest/gtest.h"

namespace base {
namespace {

class Fetcher {
 public:
  Location Start() { return FROM_HERE; }
  Location FromLambda() {
    return [] { return FROM_HERE_WITH_EXPLICIT_FUNCTION("Retry"); }();
  }
};

TEST(LocationTest, CarriesTheMethodsOwnName) {
  Fetcher fetcher;
  Location location = fetcher.Start();
  EXPECT_STREQ("Start", location.function_name());
  EXPECT_GT(location.line_number(), 0);
  EXPECT_NE(std::string::npos,
            std::string(location.file_name()).find("location_unittest.cc"));
  EXPECT_EQ(
      "Start@location_unittest.cc:" + std::to_string(location.line_number()),
      location.ToString());
  EXPECT_STREQ("Retry", fetcher.FromLambda().function_name());
  tracked_objects::Location same = location;
  EXPECT_STREQ("Start", same.function_name());
}

}  // namespace
}  // namespace base
