#include "base/threading/platform_thread.h"

#include <string>
#include <thread>

#include "gtest/gtest.h"

namespace base {
namespace {

TEST(PlatformThreadTest, LongNamesAreCutNotOverrun) {
  const std::string long_name(200, 'x');
  std::string seen;
  std::thread([&] {
    PlatformThread::SetName(long_name);
    seen = PlatformThread::GetName();
  }).join();
  EXPECT_EQ(long_name.substr(0, seen.size()), seen);
  EXPECT_GE(seen.size(), 32u);
  EXPECT_LT(seen.size(), long_name.size());
}

}  // namespace
}  // namespace base
