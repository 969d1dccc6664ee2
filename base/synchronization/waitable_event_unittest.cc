#include "base/synchronization/waitable_event.h"

#include "gtest/gtest.h"

namespace base {
namespace {

TEST(WaitableEventTest, ResetPolicies) {
  WaitableEvent manual(WaitableEvent::ResetPolicy::MANUAL,
                       WaitableEvent::InitialState::NOT_SIGNALED);
  EXPECT_FALSE(manual.TimedWait(TimeDelta()));
  manual.Signal();
  EXPECT_TRUE(manual.TimedWait(TimeDelta()));
  EXPECT_TRUE(manual.TimedWait(TimeDelta()));
  manual.Reset();
  EXPECT_FALSE(manual.TimedWait(TimeDelta()));

  WaitableEvent automatic(WaitableEvent::ResetPolicy::AUTOMATIC,
                          WaitableEvent::InitialState::SIGNALED);
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

}  // namespace
}  // namespace base
