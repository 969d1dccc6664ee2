#include "base/message_loop/message_loop.h"

#include <atomic>
#include <thread>
#include <vector>

#include "base/bind.h"
#include "base/memory/ref_counted.h"
#include "base/run_loop.h"
#include "base/threading/thread_task_runner_handle.h"
#include "gtest/gtest.h"

namespace base {
namespace {

void Append(std::vector<int>* order, int value) {
  order->push_back(value);
}

// Counts its destructions, to see when a task's bound state goes.
class Counted : public RefCountedThreadSafe<Counted> {
 public:
  explicit Counted(std::atomic<int>* deletions) : deletions_(deletions) {}

 private:
  friend class RefCountedThreadSafe<Counted>;
  ~Counted() { ++*deletions_; }
  std::atomic<int>* deletions_;
};

void Keep(scoped_refptr<Counted>) {}

TEST(MessageLoopTest, TasksRunInPostingOrderOnTheLoopThread) {
  MessageLoop loop;
  EXPECT_EQ(&loop, MessageLoop::current());
  scoped_refptr<SingleThreadTaskRunner> runner = loop.task_runner();
  EXPECT_EQ(runner, ThreadTaskRunnerHandle::Get());
  EXPECT_TRUE(runner->BelongsToCurrentThread());
  std::vector<int> order;
  runner->PostTask(FROM_HERE, BindOnce(&Append, &order, 0));
  // A task posted by a task runs after those already queued.
  runner->PostTask(
      FROM_HERE,
      BindOnce(
          [](std::vector<int>* order, SingleThreadTaskRunner* runner) {
            runner->PostTask(FROM_HERE, BindOnce(&Append, order, 99));
            order->push_back(1);
          },
          &order, Unretained(runner.get())));
  runner->PostTask(FROM_HERE, BindOnce(&Append, &order, 2));
  RunLoop().RunUntilIdle();
  EXPECT_EQ((std::vector<int>{0, 1, 2, 99}), order);
  std::thread([&] { EXPECT_FALSE(runner->BelongsToCurrentThread()); }).join();
}

TEST(MessageLoopTest, TasksFromManyThreadsKeepEachThreadsOrder) {
  constexpr int kThreads = 4;
  constexpr int kTasksPerThread = 50;
  MessageLoop loop;
  scoped_refptr<SingleThreadTaskRunner> runner = loop.task_runner();
  for (int iteration = 0; iteration < 20; ++iteration) {
    std::vector<std::vector<int>> seen(kThreads);
    std::atomic<int> finished_posters{0};
    RunLoop run_loop;
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
      posters.emplace_back([&, t] {
        for (int i = 0; i < kTasksPerThread; ++i)
          runner->PostTask(FROM_HERE, BindOnce(&Append, &seen[t], i));
        // The last poster's final task ends the run: it comes after every
        // other task in the queue.
        if (++finished_posters == kThreads)
          runner->PostTask(FROM_HERE, run_loop.QuitClosure());
      });
    }
    run_loop.Run();
    for (auto& poster : posters)
      poster.join();
    for (int t = 0; t < kThreads; ++t) {
      ASSERT_EQ(static_cast<size_t>(kTasksPerThread), seen[t].size())
          << "iteration " << iteration;
      for (int i = 0; i < kTasksPerThread; ++i)
        ASSERT_EQ(i, seen[t][i]) << "iteration " << iteration;
    }
  }
}

TEST(MessageLoopTest, DelayedTasksRunInTimeOrderAndNotEarly) {
  MessageLoop loop;
  scoped_refptr<SingleThreadTaskRunner> runner = loop.task_runner();
  std::vector<int> order;
  RunLoop run_loop;
  runner->PostDelayedTask(
      FROM_HERE,
      BindOnce(
          [](std::vector<int>* order, TimeTicks posted, RepeatingClosure quit) {
            EXPECT_GE(TimeTicks::Now() - posted,
                      TimeDelta::FromMilliseconds(60));
            order->push_back(60);
            quit.Run();
          },
          &order, TimeTicks::Now(), run_loop.QuitClosure()),
      TimeDelta::FromMilliseconds(60));
  runner->PostDelayedTask(FROM_HERE, BindOnce(&Append, &order, 20),
                          TimeDelta::FromMilliseconds(20));
  // Equal delays posted back to back: posting order.
  for (int i = 0; i < 3; ++i) {
    runner->PostDelayedTask(FROM_HERE, BindOnce(&Append, &order, 100 + i),
                            TimeDelta::FromMilliseconds(40));
  }
  runner->PostTask(FROM_HERE, BindOnce(&Append, &order, 0));
  run_loop.Run();
  EXPECT_EQ((std::vector<int>{0, 20, 100, 101, 102, 60}), order);
}

TEST(MessageLoopTest, QuitBeforeRunRunsNothing) {
  MessageLoop loop;
  std::vector<int> order;
  loop.task_runner()->PostTask(FROM_HERE, BindOnce(&Append, &order, 1));
  RunLoop run_loop;
  run_loop.Quit();
  run_loop.Run();
  EXPECT_TRUE(order.empty());
  RunLoop().RunUntilIdle();
  EXPECT_EQ(std::vector<int>{1}, order);
}

TEST(MessageLoopTest, QuitClosureWorksFromAnotherThread) {
  MessageLoop loop;
  for (int iteration = 0; iteration < 100; ++iteration) {
    RunLoop run_loop;
    RepeatingClosure quit = run_loop.QuitClosure();
    std::thread other([quit] { quit.Run(); });
    run_loop.Run();
    other.join();
  }
  // A quit closure that outlives its run loop does nothing.
  RepeatingClosure stale;
  {
    RunLoop run_loop;
    stale = run_loop.QuitClosure();
  }
  stale.Run();
  RunLoop().RunUntilIdle();
}

TEST(MessageLoopTest, TasksLeftAtDestructionAreDestroyedAndLaterPostsFail) {
  std::atomic<int> deletions{0};
  scoped_refptr<SingleThreadTaskRunner> runner;
  {
    MessageLoop loop;
    runner = loop.task_runner();
    runner->PostTask(FROM_HERE,
                     BindOnce(&Keep, MakeRefCounted<Counted>(&deletions)));
    runner->PostDelayedTask(
        FROM_HERE, BindOnce(&Keep, MakeRefCounted<Counted>(&deletions)),
        TimeDelta::FromSeconds(10));
    EXPECT_EQ(0, deletions);
  }
  EXPECT_EQ(2, deletions);
  EXPECT_EQ(nullptr, MessageLoop::current());
  EXPECT_FALSE(ThreadTaskRunnerHandle::IsSet());
  EXPECT_FALSE(runner->PostTask(
      FROM_HERE, BindOnce(&Keep, MakeRefCounted<Counted>(&deletions))));
  EXPECT_EQ(3, deletions);
}

TEST(MessageLoopTest, OneLoopPerThread) {
  MessageLoop loop;
  EXPECT_DEATH(MessageLoop second, "only one message loop");
}

// UI loop ------------------------------------------------------------------

constexpr UINT kTestMessage = WM_APP + 7;
int g_procedure_calls = 0;

LRESULT CALLBACK CountingWindowProc(HWND hwnd,
                                    UINT message,
                                    WPARAM wparam,
                                    LPARAM lparam) {
  if (message != kTestMessage)
    return ::DefWindowProcW(hwnd, message, wparam, lparam);
  ++g_procedure_calls;
  return 0;
}

// A message-only window whose procedure counts the test messages.
HWND CreateCountingWindow() {
  WNDCLASSEXW wc = {sizeof(wc)};
  wc.lpfnWndProc = &CountingWindowProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"base_unittests_CountingWindow";
  ::RegisterClassExW(&wc);
  return ::CreateWindowExW(0, wc.lpszClassName, nullptr, 0, 0, 0, 0, 0,
                           HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

TEST(MessageLoopUITest, WindowMessagesAreDispatchedBesideTasks) {
  MessageLoop loop(MessageLoop::TYPE_UI);
  g_procedure_calls = 0;
  HWND window = CreateCountingWindow();
  ASSERT_TRUE(window);
  RunLoop run_loop;
  bool task_ran = false;
  ::PostMessageW(window, kTestMessage, 1, 0);
  loop.task_runner()->PostDelayedTask(FROM_HERE, run_loop.QuitClosure(),
                                      TimeDelta::FromMilliseconds(100));
  std::thread([&] {
    loop.task_runner()->PostTask(
        FROM_HERE, BindOnce([](bool* ran) { *ran = true; }, &task_ran));
  }).join();
  run_loop.Run();
  EXPECT_TRUE(task_ran);
  EXPECT_EQ(1, g_procedure_calls);
  ::DestroyWindow(window);
}

// Pumps messages the way a native modal loop (a message box) does, until
// |done| or the time is up.
void RunNativeModalLoop(const bool* done, TimeDelta max_time) {
  TimeTicks end = TimeTicks::Now() + max_time;
  while (!*done && TimeTicks::Now() < end) {
    MSG msg;
    if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    } else {
      ::MsgWaitForMultipleObjectsEx(0, nullptr, 5, QS_ALLINPUT, 0);
    }
  }
}

TEST(MessageLoopUITest, ANativeModalLoopInATaskRunsNoOtherTask) {
  MessageLoop loop(MessageLoop::TYPE_UI);
  scoped_refptr<SingleThreadTaskRunner> runner = loop.task_runner();
  bool other_ran = false;
  bool ran_inside = true;
  runner->PostTask(
      FROM_HERE,
      BindOnce(
          [](scoped_refptr<SingleThreadTaskRunner> runner, bool* other_ran,
             bool* ran_inside) {
            runner->PostTask(
                FROM_HERE, BindOnce([](bool* ran) { *ran = true; }, other_ran));
            RunNativeModalLoop(other_ran, TimeDelta::FromMilliseconds(50));
            *ran_inside = *other_ran;
          },
          runner, &other_ran, &ran_inside));
  RunLoop().RunUntilIdle();
  EXPECT_FALSE(ran_inside);
  EXPECT_TRUE(other_ran);
}

}  // namespace
}  // namespace base
