#include "base/synchronization/lock.h"

#include <thread>
#include <vector>

#include "gtest/gtest.h"

namespace base {
namespace {

TEST(LockTest, ExcludesOtherThreads) {
  Lock lock;
  int counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        AutoLock hold(lock);
        ++counter;
      }
    });
  }
  for (auto& thread : threads)
    thread.join();
  EXPECT_EQ(80000, counter);
}

TEST(LockDeathTest, RecursiveAcquireIsCaught) {
  EXPECT_DEATH(
      {
        Lock lock;
        lock.Acquire();
        lock.Acquire();
      },
      "");
}

}  // namespace
}  // namespace base
