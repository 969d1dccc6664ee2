#include "base/threading/thread.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "base/bind.h"
#include "base/run_loop.h"
#include "base/synchronization/waitable_event.h"
#include "base/threading/platform_thread.h"
#include "base/threading/thread_task_runner_handle.h"
#include "gtest/gtest.h"

namespace base {
namespace {

void Append(std::vector<int>* order, int value) {
  order->push_back(value);
}

TEST(ThreadTest, StopRunsThePostedTasksFirst) {
  for (int iteration = 0; iteration < 50; ++iteration) {
    Thread thread("StopTest");
    ASSERT_TRUE(thread.Start());
    std::vector<int> order;  // Only the thread writes until Stop returns.
    scoped_refptr<SingleThreadTaskRunner> runner = thread.task_runner();
    for (int i = 0; i < 3; ++i)
      runner->PostTask(FROM_HERE, BindOnce(&Append, &order, i));
    // A task posted by a task before the stop still runs.
    runner->PostTask(FROM_HERE, BindOnce(
                                    [](std::vector<int>* order) {
                                      ThreadTaskRunnerHandle::Get()->PostTask(
                                          FROM_HERE,
                                          BindOnce(&Append, order, 4));
                                      order->push_back(3);
                                    },
                                    &order));
    thread.Stop();
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_EQ(nullptr, thread.task_runner());
    ASSERT_EQ((std::vector<int>{0, 1, 2, 3, 4}), order)
        << "iteration " << iteration;
    // The loop is gone: posting through a kept runner fails.
    EXPECT_FALSE(runner->PostTask(FROM_HERE, BindOnce([] {})));
  }
}

TEST(ThreadTest, RunsItsLoopOnANamedThreadOfItsOwn) {
  Thread thread("Installer IPC thread");
  ASSERT_TRUE(
      thread.StartWithOptions(Thread::Options(MessageLoop::TYPE_IO, 0)));
  std::string name;
  MessageLoop::Type type = MessageLoop::TYPE_DEFAULT;
  WaitableEvent done(WaitableEvent::ResetPolicy::MANUAL,
                     WaitableEvent::InitialState::NOT_SIGNALED);
  thread.task_runner()->PostTask(
      FROM_HERE,
      BindOnce(
          [](std::string* name, MessageLoop::Type* type, WaitableEvent* done) {
            *name = PlatformThread::GetName();
            *type = MessageLoop::current()->type();
            done->Signal();
          },
          &name, &type, &done));
  ASSERT_TRUE(done.TimedWait(TimeDelta::FromSeconds(10)));
  EXPECT_EQ("Installer IPC thread", name);
  EXPECT_EQ(MessageLoop::TYPE_IO, type);
  EXPECT_FALSE(thread.task_runner()->BelongsToCurrentThread());
  thread.Stop();
  thread.Stop();  // A second Stop does nothing.
}

TEST(ThreadTest, DelayedTasksNotYetDueAreDroppedAtStop) {
  Thread thread("DelayTest");
  ASSERT_TRUE(thread.Start());
  std::atomic<int> ran{0};
  thread.task_runner()->PostDelayedTask(
      FROM_HERE, BindOnce([](std::atomic<int>* ran) { ++*ran; }, &ran),
      TimeDelta::FromSeconds(30));
  thread.task_runner()->PostTask(
      FROM_HERE, BindOnce([](std::atomic<int>* ran) { *ran += 10; }, &ran));
  TimeTicks start = TimeTicks::Now();
  thread.Stop();
  EXPECT_LT(TimeTicks::Now() - start, TimeDelta::FromSeconds(10));
  EXPECT_EQ(10, ran);
}

// Records on which thread it is destroyed.
class ThreadRecorder {
 public:
  explicit ThreadRecorder(PlatformThreadId* destroyed_on)
      : destroyed_on_(destroyed_on) {}
  ~ThreadRecorder() { *destroyed_on_ = PlatformThread::CurrentId(); }

 private:
  PlatformThreadId* destroyed_on_;
};

// The task and reply round trip itself is covered by WorkerPool's test,
// which shares the relay.
TEST(ThreadTest, AReplyThatCannotRunIsDestroyedOnThePostingThread) {
  MessageLoop loop;
  scoped_refptr<SingleThreadTaskRunner> target;
  WaitableEvent target_ready(WaitableEvent::ResetPolicy::MANUAL,
                             WaitableEvent::InitialState::NOT_SIGNALED);
  WaitableEvent posted(WaitableEvent::ResetPolicy::MANUAL,
                       WaitableEvent::InitialState::NOT_SIGNALED);
  // A loop that accepts the task and then goes away without running it.
  std::thread other([&] {
    MessageLoop other_loop;
    target = other_loop.task_runner();
    target_ready.Signal();
    posted.Wait();
  });
  ASSERT_TRUE(target_ready.TimedWait(TimeDelta::FromSeconds(10)));

  bool task_ran = false;
  bool reply_ran = false;
  PlatformThreadId destroyed_on = kInvalidThreadId;
  ASSERT_TRUE(target->PostTaskAndReply(
      FROM_HERE, BindOnce([](bool* ran) { *ran = true; }, &task_ran),
      BindOnce([](ThreadRecorder*, bool* ran) { *ran = true; },
               Owned(new ThreadRecorder(&destroyed_on)), &reply_ran)));
  posted.Signal();
  other.join();
  RunLoop().RunUntilIdle();
  EXPECT_FALSE(task_ran);
  EXPECT_FALSE(reply_ran);
  EXPECT_EQ(PlatformThread::CurrentId(), destroyed_on);
}

}  // namespace
}  // namespace base
