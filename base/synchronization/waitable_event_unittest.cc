#include "base/synchronization/waitable_event.h"

#include <thread>

#include "base/threading/platform_thread.h"
#include "gtest/gtest.h"

namespace base {
namespace {

TEST(WaitableEventTest, ResetPolicies) {
  WaitableEvent manual(WaitableEvent::ResetPolicy::MANUAL,
                       WaitableEvent::InitialState::NOT_SIGNALED);
  EXPECT_FALSE(manual.IsSignaled());
  manual.Signal();
  EXPECT_TRUE(manual.IsSignaled());
  EXPECT_TRUE(manual.TimedWait(TimeDelta()));
  manual.Reset();
  EXPECT_FALSE(manual.IsSignaled());

  WaitableEvent automatic(WaitableEvent::ResetPolicy::AUTOMATIC,
                          WaitableEvent::InitialState::SIGNALED);
  EXPECT_TRUE(automatic.IsSignaled());
  EXPECT_FALSE(automatic.IsSignaled());  // Consumed by the check above.
  automatic.Signal();
  automatic.Wait();
  EXPECT_FALSE(automatic.TimedWait(TimeDelta::FromMilliseconds(1)));
}

TEST(WaitableEventTest, TimedWaitWaitsAtLeastItsTime) {
  WaitableEvent event(WaitableEvent::ResetPolicy::MANUAL,
                      WaitableEvent::InitialState::NOT_SIGNALED);
  TimeTicks start = TimeTicks::Now();
  EXPECT_FALSE(event.TimedWait(TimeDelta::FromMilliseconds(30)));
  // Windows waits may end up to a tick early on the monotonic clock.
  EXPECT_GE(TimeTicks::Now() - start, TimeDelta::FromMilliseconds(25));
}

TEST(WaitableEventTest, SignalFromAnotherThreadEndsTheWait) {
  for (int iteration = 0; iteration < 100; ++iteration) {
    WaitableEvent event(WaitableEvent::ResetPolicy::AUTOMATIC,
                        WaitableEvent::InitialState::NOT_SIGNALED);
    std::thread signaller([&] { event.Signal(); });
    ASSERT_TRUE(event.TimedWait(TimeDelta::FromSeconds(10)));
    signaller.join();
  }
}

TEST(WaitableEventTest, WaitManyReturnsTheSignalledIndex) {
  WaitableEvent a(WaitableEvent::ResetPolicy::MANUAL,
                  WaitableEvent::InitialState::NOT_SIGNALED);
  WaitableEvent b(WaitableEvent::ResetPolicy::MANUAL,
                  WaitableEvent::InitialState::NOT_SIGNALED);
  WaitableEvent c(WaitableEvent::ResetPolicy::MANUAL,
                  WaitableEvent::InitialState::NOT_SIGNALED);
  WaitableEvent* events[] = {&a, &b, &c};
  std::thread signaller([&] {
    PlatformThread::Sleep(TimeDelta::FromMilliseconds(10));
    c.Signal();
  });
  EXPECT_EQ(2u, WaitableEvent::WaitMany(events, 3));
  signaller.join();
  // Several signalled: the lowest index.
  b.Signal();
  EXPECT_EQ(1u, WaitableEvent::WaitMany(events, 3));
}

}  // namespace
}  // namespace base
