#include "base/threading/worker_pool.h"

#include <atomic>

#include "base/at_exit.h"
#include "base/bind.h"
#include "base/message_loop/message_loop.h"
#include "base/run_loop.h"
#include "base/synchronization/waitable_event.h"
#include "base/threading/platform_thread.h"
#include "gtest/gtest.h"

namespace base {
namespace {

TEST(WorkerPoolTest, PostTaskAndReplyReturnsToThePostingThread) {
  MessageLoop loop;
  for (int iteration = 0; iteration < 50; ++iteration) {
    PlatformThreadId task_thread = kInvalidThreadId;
    bool task_saw_pool = false;
    PlatformThreadId reply_thread = kInvalidThreadId;
    RunLoop run_loop;
    ASSERT_TRUE(WorkerPool::PostTaskAndReply(
        FROM_HERE_WITH_EXPLICIT_FUNCTION("FetchStatus"),
        BindOnce(
            [](PlatformThreadId* id, bool* saw_pool) {
              *id = PlatformThread::CurrentId();
              *saw_pool = WorkerPool::RunsTasksOnCurrentThread();
            },
            &task_thread, &task_saw_pool),
        BindOnce(
            [](PlatformThreadId* id, RepeatingClosure quit) {
              *id = PlatformThread::CurrentId();
              quit.Run();
            },
            &reply_thread, run_loop.QuitClosure()),
        iteration % 2 == 0));
    run_loop.Run();
    ASSERT_NE(kInvalidThreadId, task_thread);
    ASSERT_NE(PlatformThread::CurrentId(), task_thread);
    ASSERT_TRUE(task_saw_pool);
    ASSERT_EQ(PlatformThread::CurrentId(), reply_thread);
  }
  EXPECT_FALSE(WorkerPool::RunsTasksOnCurrentThread());
}

TEST(WorkerPoolTest, TheAtExitManagerWaitsForRunningTasks) {
  std::atomic<bool> singleton_alive{false};
  std::atomic<bool> used_after_free{false};
  std::atomic<bool> task_done{false};
  WaitableEvent started(WaitableEvent::ResetPolicy::MANUAL,
                        WaitableEvent::InitialState::NOT_SIGNALED);
  {
    ShadowingAtExitManager at_exit;
    // A process-wide object, deleted by the at-exit manager.
    singleton_alive = true;
    AtExitManager::RegisterTask([&] { singleton_alive = false; });
    WorkerPool::PostTask(
        FROM_HERE,
        BindOnce(
            [](std::atomic<bool>* alive, std::atomic<bool>* misuse,
               std::atomic<bool>* done, WaitableEvent* started) {
              started->Signal();
              for (int i = 0; i < 20; ++i) {
                PlatformThread::Sleep(TimeDelta::FromMilliseconds(10));
                if (!*alive)
                  *misuse = true;
              }
              *done = true;
            },
            &singleton_alive, &used_after_free, &task_done, &started),
        true);
    ASSERT_TRUE(started.TimedWait(TimeDelta::FromSeconds(10)));
  }
  EXPECT_TRUE(task_done);
  EXPECT_FALSE(used_after_free);
  EXPECT_FALSE(singleton_alive);
}

}  // namespace
}  // namespace base
