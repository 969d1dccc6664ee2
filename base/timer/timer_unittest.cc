#include "base/timer/timer.h"

#include <memory>
#include <vector>

#include "base/bind.h"
#include "base/message_loop/message_loop.h"
#include "base/run_loop.h"
#include "gtest/gtest.h"

namespace base {
namespace {

void QuitAfter(RunLoop* run_loop, TimeDelta delay) {
  MessageLoop::current()->task_runner()->PostDelayedTask(
      FROM_HERE, run_loop->QuitClosure(), delay);
}

TEST(TimerTest, OneShotFiresOnceAfterItsDelay) {
  MessageLoop loop;
  OneShotTimer timer;
  int fired = 0;
  TimeTicks start = TimeTicks::Now();
  TimeTicks fired_at;
  timer.Start(FROM_HERE, TimeDelta::FromMilliseconds(20),
              BindOnce(
                  [](int* fired, TimeTicks* at) {
                    ++*fired;
                    *at = TimeTicks::Now();
                  },
                  &fired, &fired_at));
  EXPECT_TRUE(timer.IsRunning());
  EXPECT_EQ(TimeDelta::FromMilliseconds(20), timer.GetCurrentDelay());
  RunLoop run_loop;
  QuitAfter(&run_loop, TimeDelta::FromMilliseconds(60));
  run_loop.Run();
  EXPECT_EQ(1, fired);
  EXPECT_FALSE(timer.IsRunning());
  EXPECT_GE(fired_at - start, TimeDelta::FromMilliseconds(20));
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
    auto destroyed = std::make_unique<OneShotTimer>();
    destroyed->Start(FROM_HERE, TimeDelta::FromMilliseconds(5),
                     BindOnce(count, &fired));
  }
  RunLoop run_loop;
  QuitAfter(&run_loop, TimeDelta::FromMilliseconds(40));
  run_loop.Run();
  EXPECT_EQ(0, fired);
}

TEST(TimerTest, ResetStartsTheWaitOver) {
  MessageLoop loop;
  OneShotTimer timer;
  TimeTicks start = TimeTicks::Now();
  TimeTicks fired_at;
  timer.Start(
      FROM_HERE, TimeDelta::FromMilliseconds(40),
      BindOnce([](TimeTicks* at) { *at = TimeTicks::Now(); }, &fired_at));
  // Reset after 20 ms: the task runs 40 ms after that, not at 40 ms.
  RunLoop first;
  QuitAfter(&first, TimeDelta::FromMilliseconds(20));
  first.Run();
  TimeTicks reset_at = TimeTicks::Now();
  timer.Reset();
  RunLoop second;
  QuitAfter(&second, TimeDelta::FromMilliseconds(100));
  second.Run();
  ASSERT_FALSE(fired_at.is_null());
  EXPECT_GE(fired_at - reset_at, TimeDelta::FromMilliseconds(40));
  EXPECT_GE(fired_at - start, TimeDelta::FromMilliseconds(60));
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
  EXPECT_EQ(5, fired);
  EXPECT_FALSE(timer.IsRunning());
  // Stopped timers stay stopped; Reset starts the same task again.
  timer.Reset();
  EXPECT_TRUE(timer.IsRunning());
  RunLoop again;
  QuitAfter(&again, TimeDelta::FromMilliseconds(30));
  again.Run();
  EXPECT_GT(fired, 5);
}

class Owner {
 public:
  void Tick() { ++ticks; }
  int ticks = 0;
};

TEST(TimerTest, RepeatingTimerWithAMethodAndDeletionInItsTask) {
  MessageLoop loop;
  Owner owner;
  auto timer = std::make_unique<RepeatingTimer>();
  timer->Start(FROM_HERE, TimeDelta::FromMilliseconds(1), &owner, &Owner::Tick);
  RunLoop run_loop;
  // A one-shot timer that deletes the repeating one from its task.
  OneShotTimer killer;
  killer.Start(
      FROM_HERE, TimeDelta::FromMilliseconds(20),
      BindOnce([](std::unique_ptr<RepeatingTimer>* t) { t->reset(); }, &timer));
  QuitAfter(&run_loop, TimeDelta::FromMilliseconds(50));
  run_loop.Run();
  EXPECT_EQ(nullptr, timer);
  EXPECT_GT(owner.ticks, 0);
  int ticks_at_end = owner.ticks;
  RunLoop().RunUntilIdle();
  EXPECT_EQ(ticks_at_end, owner.ticks);
}

}  // namespace
}  // namespace base
