#include "base/threading/thread.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/bind.h"
#include "base/run_loop.h"
#include "base/synchronization/lock.h"
#include "base/synchronization/waitable_event.h"
#include "base/task_runner_util.h"
#include "base/threading/platform_thread.h"
#include "base/threading/thread_task_runner_handle.h"
#include "gtest/gtest.h"

namespace base {
namespace {

void Append(std::vector<int>* order, int value) {
  order->push_back(value);
}

TEST(ThreadTest, StopRunsThePostedTasksFirst) {
  for (int iteration = 0; iteration < 200; ++iteration) {
    Thread thread("StopTest");
    ASSERT_TRUE(thread.Start());
    std::vector<int> order;  // Only the thread writes until Stop returns.
    scoped_refptr<SingleThreadTaskRunner> runner = thread.task_runner();
    for (int i = 0; i < 20; ++i)
      runner->PostTask(FROM_HERE, BindOnce(&Append, &order, i));
    // A task posted by a task before the stop still runs.
    runner->PostTask(FROM_HERE, BindOnce(
                                    [](std::vector<int>* order) {
                                      ThreadTaskRunnerHandle::Get()->PostTask(
                                          FROM_HERE,
                                          BindOnce(&Append, order, 21));
                                      order->push_back(20);
                                    },
                                    &order));
    thread.Stop();
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_EQ(nullptr, thread.task_runner());
    ASSERT_EQ(22u, order.size()) << "iteration " << iteration;
    for (int i = 0; i < 22; ++i)
      ASSERT_EQ(i, order[i]) << "iteration " << iteration;
    // The loop is gone: posting through a kept runner fails.
    EXPECT_FALSE(runner->PostTask(FROM_HERE, BindOnce([] {})));
  }
}

TEST(ThreadTest, RunsItsLoopOnANamedThreadOfItsOwn) {
  Thread thread("Installer IPC thread");
  EXPECT_FALSE(thread.IsRunning());
  ASSERT_TRUE(
      thread.StartWithOptions(Thread::Options(MessageLoop::TYPE_IO, 0)));
  EXPECT_TRUE(thread.IsRunning());
  ASSERT_TRUE(thread.WaitUntilThreadStarted());
  EXPECT_NE(kInvalidThreadId, thread.GetThreadId());
  EXPECT_NE(PlatformThread::CurrentId(), thread.GetThreadId());

  std::string name;
  PlatformThreadId id = kInvalidThreadId;
  MessageLoop::Type type = MessageLoop::TYPE_DEFAULT;
  bool belongs = false;
  WaitableEvent done(WaitableEvent::ResetPolicy::MANUAL,
                     WaitableEvent::InitialState::NOT_SIGNALED);
  thread.task_runner()->PostTask(
      FROM_HERE,
      BindOnce(
          [](std::string* name, PlatformThreadId* id, MessageLoop::Type* type,
             bool* belongs, Thread* thread, WaitableEvent* done) {
            *name = PlatformThread::GetName();
            *id = PlatformThread::CurrentId();
            *type = MessageLoop::current()->type();
            *belongs = thread->task_runner()->BelongsToCurrentThread() &&
                       thread->message_loop() == MessageLoop::current();
            done->Signal();
          },
          &name, &id, &type, &belongs, &thread, &done));
  ASSERT_TRUE(done.TimedWait(TimeDelta::FromSeconds(10)));
  EXPECT_EQ("Installer IPC thread", name);
  EXPECT_EQ(thread.GetThreadId(), id);
  EXPECT_EQ(MessageLoop::TYPE_IO, type);
  EXPECT_TRUE(belongs);
  EXPECT_FALSE(thread.task_runner()->BelongsToCurrentThread());
  thread.Stop();
  thread.Stop();  // A second Stop does nothing.
}

TEST(ThreadTest, TheThreadsNameReachesWindows) {
  using GetThreadDescriptionFunction = HRESULT(WINAPI*)(HANDLE, PWSTR*);
  auto get_description = reinterpret_cast<GetThreadDescriptionFunction>(
      reinterpret_cast<void*>(::GetProcAddress(
          ::GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription")));
  if (!get_description)
    GTEST_SKIP() << "no thread descriptions on this system";
  Thread thread("Package fetcher worker");
  ASSERT_TRUE(thread.Start());
  std::wstring description;
  WaitableEvent done(WaitableEvent::ResetPolicy::MANUAL,
                     WaitableEvent::InitialState::NOT_SIGNALED);
  thread.task_runner()->PostTask(
      FROM_HERE, BindOnce(
                     [](GetThreadDescriptionFunction get,
                        std::wstring* description, WaitableEvent* done) {
                       PWSTR text = nullptr;
                       if (SUCCEEDED(get(::GetCurrentThread(), &text))) {
                         *description = text;
                         ::LocalFree(text);
                       }
                       done->Signal();
                     },
                     get_description, &description, &done));
  ASSERT_TRUE(done.TimedWait(TimeDelta::FromSeconds(10)));
  EXPECT_EQ(L"Package fetcher worker", description);
}

class InitRecordingThread : public Thread {
 public:
  explicit InitRecordingThread(std::vector<std::string>* log)
      : Thread("InitTest"), log_(log) {}
  ~InitRecordingThread() override { Stop(); }

 protected:
  void Init() override {
    // The loop exists already and is this thread's.
    log_->push_back(MessageLoop::current() ? "init" : "init without loop");
  }
  void CleanUp() override { log_->push_back("cleanup"); }

 private:
  std::vector<std::string>* log_;
};

TEST(ThreadTest, InitAndCleanUpFrameTheTasks) {
  std::vector<std::string> log;
  {
    InitRecordingThread thread(&log);
    ASSERT_TRUE(thread.Start());
    thread.task_runner()->PostTask(
        FROM_HERE,
        BindOnce([](std::vector<std::string>* log) { log->push_back("task"); },
                 &log));
  }
  EXPECT_EQ((std::vector<std::string>{"init", "task", "cleanup"}), log);
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

TEST(ThreadTest, PostTaskAndReplyComesBackToThePostingThread) {
  MessageLoop loop;
  Thread worker("ReplyTest");
  ASSERT_TRUE(worker.Start());
  for (int iteration = 0; iteration < 200; ++iteration) {
    PlatformThreadId task_thread = kInvalidThreadId;
    PlatformThreadId reply_thread = kInvalidThreadId;
    RunLoop run_loop;
    ASSERT_TRUE(worker.task_runner()->PostTaskAndReply(
        FROM_HERE,
        BindOnce(
            [](PlatformThreadId* id) { *id = PlatformThread::CurrentId(); },
            &task_thread),
        BindOnce(
            [](PlatformThreadId* id, PlatformThreadId* task_id,
               RepeatingClosure quit) {
              // The task's write is visible here: the reply came after it.
              EXPECT_NE(kInvalidThreadId, *task_id);
              *id = PlatformThread::CurrentId();
              quit.Run();
            },
            &reply_thread, &task_thread, run_loop.QuitClosure())));
    run_loop.Run();
    ASSERT_EQ(worker.GetThreadId(), task_thread);
    ASSERT_EQ(PlatformThread::CurrentId(), reply_thread);
  }
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

TEST(ThreadTest, PostTaskAndReplyWithResultHandsTheResultBack) {
  MessageLoop loop;
  Thread worker("ResultTest");
  ASSERT_TRUE(worker.Start());
  RunLoop run_loop;
  std::unique_ptr<std::string> result;
  ASSERT_TRUE(PostTaskAndReplyWithResult(
      worker.task_runner().get(), FROM_HERE, BindOnce([] {
        return std::make_unique<std::string>(PlatformThread::GetName());
      }),
      BindOnce(
          [](std::unique_ptr<std::string>* out, RepeatingClosure quit,
             std::unique_ptr<std::string> value) {
            *out = std::move(value);
            quit.Run();
          },
          &result, run_loop.QuitClosure())));
  run_loop.Run();
  ASSERT_TRUE(result);
  EXPECT_EQ("ResultTest", *result);
}

}  // namespace
}  // namespace base
