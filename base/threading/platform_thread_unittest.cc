#include "base/threading/platform_thread.h"

#include <string>

#include "base/threading/simple_thread.h"
#include "gtest/gtest.h"

namespace base {
namespace {

class NamedRun : public SimpleThread {
 public:
  explicit NamedRun(const std::string& name) : SimpleThread(name) {}
  void Run() override {
    seen_name = PlatformThread::GetName();
    seen_id = PlatformThread::CurrentId();
  }
  std::string seen_name;
  PlatformThreadId seen_id = kInvalidThreadId;
};

TEST(PlatformThreadTest, SimpleThreadRunsNamedAndIsJoined) {
  NamedRun thread("Wininet Termination");
  EXPECT_FALSE(thread.HasBeenStarted());
  ASSERT_TRUE(thread.Start());
  EXPECT_TRUE(thread.HasBeenStarted());
  thread.Join();
  EXPECT_TRUE(thread.HasBeenJoined());
  EXPECT_EQ("Wininet Termination", thread.seen_name);
  EXPECT_NE(kInvalidThreadId, thread.seen_id);
  EXPECT_NE(PlatformThread::CurrentId(), thread.seen_id);
}

TEST(PlatformThreadTest, LongNamesAreCutNotOverrun) {
  std::string long_name(200, 'x');
  NamedRun thread(long_name);
  ASSERT_TRUE(thread.Start());
  thread.Join();
  EXPECT_EQ(long_name.substr(0, thread.seen_name.size()), thread.seen_name);
  EXPECT_GE(thread.seen_name.size(), 32u);
  EXPECT_LT(thread.seen_name.size(), long_name.size());
}

}  // namespace
}  // namespace base
