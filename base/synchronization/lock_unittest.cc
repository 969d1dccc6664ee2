#include "base/synchronization/lock.h"

#include "gtest/gtest.h"

namespace base {
namespace {

// Mutual exclusion itself is what ConditionVariableTest's hand-over needs.
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
