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
  ASSERT_TRUE(thread.Start());
  thread.Join();
  EXPECT_TRUE(thread.HasBeenJoined());
  EXPECT_EQ("Wininet Termination", thread.seen_name);
  EXPECT_NE(kInvalidThreadId, thread.seen_id);
  EXPECT_NE(PlatformThread::CurrentId(), thread.seen_id);

  // Long names are cut, not overrun.
  const std::string long_name(200, 'x');
  NamedRun long_thread(long_name);
  ASSERT_TRUE(long_thread.Start());
  long_thread.Join();
  EXPECT_EQ(long_name.substr(0, long_thread.seen_name.size()),
            long_thread.seen_name);
  EXPECT_GE(long_thread.seen_name.size(), 32u);
  EXPECT_LT(long_thread.seen_name.size(), long_name.size());
}

}  // namespace
}  // namespace base
