#include "base/timer/timer.h"

#include "base/bind.h"
#include "base/message_loop/message_loop.h"
#include "base/run_loop.h"
#include "gtest/gtest.h"

namespace base {
namespace {

void RunFor(TimeDelta time) {
  RunLoop run_loop;
  MessageLoop::current()->task_runner()->PostDelayedTask(
      FROM_HERE, run_loop.QuitClosure(), time);
  run_loop.Run();
}

TEST(TimerTest, OneShotFiresOnceItsDelayAfterTheLastReset) {
  MessageLoop loop;
  OneShotTimer timer;
  int fired = 0;
  TimeTicks fired_at;
  timer.Start(FROM_HERE, TimeDelta::FromMilliseconds(40),
              BindOnce(
                  [](int* fired, TimeTicks* at) {
                    ++*fired;
                    *at = TimeTicks::Now();
                  },
                  &fired, &fired_at));
  // Reset after 20 ms: the task runs 40 ms after that, not at 40 ms.
  RunFor(TimeDelta::FromMilliseconds(20));
  EXPECT_EQ(0, fired);
  TimeTicks reset_at = TimeTicks::Now();
  timer.Reset();
  RunFor(TimeDelta::FromMilliseconds(100));
  EXPECT_EQ(1, fired);
  EXPECT_GE(fired_at - reset_at, TimeDelta::FromMilliseconds(40));
  EXPECT_FALSE(timer.IsRunning());
}

TEST(TimerTest, StopAndDestructionCancel) {
  MessageLoop loop;
  int fired = 0;
  auto count = [](int* fired) { ++*fired; };
  OneShotTimer stopped;
  stopped.Start(FROM_HERE, TimeDelta::FromMilliseconds(5),
                BindOnce(count, &fired));
  stopped.Stop();
  EXPECT_FALSE(stopped.IsRunning());
  {
    OneShotTimer destroyed;
    destroyed.Start(FROM_HERE, TimeDelta::FromMilliseconds(5),
                    BindOnce(count, &fired));
  }
  RunFor(TimeDelta::FromMilliseconds(40));
  EXPECT_EQ(0, fired);
}

TEST(TimerTest, RepeatingFiresUntilStoppedFromItsTask) {
  MessageLoop loop;
  RepeatingTimer timer;
  int fired = 0;
  RunLoop run_loop;
  timer.Start(FROM_HERE, TimeDelta::FromMilliseconds(2),
              BindRepeating(
                  [](int* fired, RepeatingTimer* timer, RepeatingClosure quit) {
                    if (++*fired == 5) {
                      timer->Stop();
                      quit.Run();
                    }
                  },
                  &fired, Unretained(&timer), run_loop.QuitClosure()));
  run_loop.Run();
  EXPECT_FALSE(timer.IsRunning());
  RunFor(TimeDelta::FromMilliseconds(10));
  EXPECT_EQ(5, fired);
  // Reset starts the same task again.
  timer.Reset();
  RunFor(TimeDelta::FromMilliseconds(30));
  EXPECT_GT(fired, 5);
}

}  // namespace
}  // namespace base
