#include "base/synchronization/condition_variable.h"

#include <deque>
#include <thread>
#include <vector>

#include "base/synchronization/lock.h"
#include "gtest/gtest.h"

namespace base {
namespace {

// Consumers wait without a limit, or in waits of a millisecond that mostly
// end by their limit, often just as a producer signals them.
class ConditionVariableTest : public testing::TestWithParam<bool> {
 protected:
  void WaitOn(ConditionVariable* cv) {
    if (GetParam())
      cv->TimedWait(TimeDelta::FromMilliseconds(1));
    else
      cv->Wait();
  }
};

TEST_P(ConditionVariableTest, ProducersAndConsumersHandEveryItemOnce) {
  constexpr int kItemsPerProducer = 500;
  constexpr int kProducers = 3;
  constexpr int kConsumers = 3;
  for (int iteration = 0; iteration < 20; ++iteration) {
    Lock lock;
    ConditionVariable not_empty(&lock);
    std::deque<int> queue;
    int producers_left = kProducers;
    std::vector<int> taken(kItemsPerProducer * kProducers, 0);

    std::vector<std::thread> threads;
    for (int p = 0; p < kProducers; ++p) {
      threads.emplace_back([&, p] {
        for (int i = 0; i < kItemsPerProducer; ++i) {
          AutoLock auto_lock(lock);
          queue.push_back(p * kItemsPerProducer + i);
          not_empty.Signal();
        }
        AutoLock auto_lock(lock);
        --producers_left;
        not_empty.Broadcast();
      });
    }
    for (int c = 0; c < kConsumers; ++c) {
      threads.emplace_back([&] {
        AutoLock auto_lock(lock);
        for (;;) {
          while (queue.empty() && producers_left > 0)
            WaitOn(&not_empty);
          // The lock is ours again after the wait.
          lock.AssertAcquired();
          if (queue.empty())
            return;
          ++taken[queue.front()];
          queue.pop_front();
        }
      });
    }
    for (auto& thread : threads)
      thread.join();
    for (int count : taken)
      ASSERT_EQ(1, count) << "iteration " << iteration;
  }
}

INSTANTIATE_TEST_SUITE_P(WaitsWithAndWithoutLimit,
                         ConditionVariableTest,
                         testing::Bool());

}  // namespace
}  // namespace base
