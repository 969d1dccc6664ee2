#include "base/message_loop/message_loop.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "base/bind.h"
#include "base/memory/ref_counted.h"
#include "base/run_loop.h"
#include "base/threading/platform_thread.h"
#include "base/threading/thread_task_runner_handle.h"
#include "base/win/wrapped_window_proc.h"
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
  for (int iteration = 0; iteration < 50; ++iteration) {
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

TEST(MessageLoopTest, QuitVariants) {
  MessageLoop loop;
  scoped_refptr<SingleThreadTaskRunner> runner = loop.task_runner();
  // A quit closure run from another thread.
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
  std::vector<int> order;
  // Quit before Run: Run returns at once and runs nothing.
  runner->PostTask(FROM_HERE, BindOnce(&Append, &order, 1));
  RunLoop quit_first;
  quit_first.Quit();
  quit_first.Run();
  EXPECT_TRUE(order.empty());
  RunLoop().RunUntilIdle();
  EXPECT_EQ(std::vector<int>{1}, order);
  // QuitWhenIdle runs everything ready and leaves delayed tasks not due.
  RunLoop run_loop;
  runner->PostTask(FROM_HERE, run_loop.QuitWhenIdleClosure());
  runner->PostTask(FROM_HERE, BindOnce(&Append, &order, 2));
  runner->PostDelayedTask(FROM_HERE, BindOnce(&Append, &order, 3),
                          TimeDelta::FromSeconds(10));
  run_loop.Run();
  EXPECT_EQ((std::vector<int>{1, 2}), order);
}

TEST(MessageLoopTest, NestedRunLoops) {
  MessageLoop loop;
  scoped_refptr<SingleThreadTaskRunner> runner = loop.task_runner();
  std::vector<int> order;
  RunLoop outer;
  runner->PostTask(
      FROM_HERE, BindOnce(
                     [](std::vector<int>* order, RunLoop* outer,
                        scoped_refptr<SingleThreadTaskRunner> runner) {
                       RunLoop inner;
                       // Quitting the outer loop from inside waits for the
                       // inner one.
                       runner->PostTask(FROM_HERE, BindOnce(&RunLoop::Quit,
                                                            Unretained(outer)));
                       runner->PostTask(FROM_HERE, BindOnce(&Append, order, 1));
                       runner->PostTask(FROM_HERE, BindOnce(&Append, order, 2));
                       runner->PostTask(FROM_HERE, inner.QuitClosure());
                       runner->PostTask(FROM_HERE, BindOnce(&Append, order, 4));
                       inner.Run();
                       order->push_back(3);
                     },
                     &order, &outer, runner));
  outer.Run();
  // The outer loop stopped right after the inner one returned.
  EXPECT_EQ((std::vector<int>{1, 2, 3}), order);
  RunLoop().RunUntilIdle();
  EXPECT_EQ((std::vector<int>{1, 2, 3, 4}), order);
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

class TestDispatcher : public MessagePumpDispatcher {
 public:
  TestDispatcher(HWND hwnd, uint32_t action) : hwnd_(hwnd), action_(action) {}
  uint32_t Dispatch(const MSG& msg) override {
    if (msg.hwnd != hwnd_ || msg.message != kTestMessage)
      return POST_DISPATCH_PERFORM_DEFAULT;
    seen_.push_back(static_cast<int>(msg.wParam));
    return action_;
  }
  const std::vector<int>& seen() const { return seen_; }

 private:
  HWND hwnd_;
  uint32_t action_;
  std::vector<int> seen_;
};

TEST(MessageLoopUITest, DispatcherSeesWindowMessagesBesideTasks) {
  MessageLoopForUI loop;
  EXPECT_EQ(&loop, MessageLoopForUI::current());
  g_procedure_calls = 0;
  HWND window = CreateCountingWindow();
  ASSERT_TRUE(window);
  // Default: the dispatcher sees the message, the window gets it too and
  // tasks still run, also when posted from another thread.
  {
    TestDispatcher dispatcher(
        window, MessagePumpDispatcher::POST_DISPATCH_PERFORM_DEFAULT);
    RunLoop run_loop(&dispatcher);
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
    EXPECT_EQ(std::vector<int>{1}, dispatcher.seen());
    EXPECT_EQ(1, g_procedure_calls);
  }
  // Quit alone: the run ends with the message and the window does not get
  // it; with default as well it does.
  const struct {
    uint32_t action;
    int procedure_calls;
  } cases[] = {{MessagePumpDispatcher::POST_DISPATCH_QUIT_LOOP, 1},
               {MessagePumpDispatcher::POST_DISPATCH_QUIT_LOOP |
                    MessagePumpDispatcher::POST_DISPATCH_PERFORM_DEFAULT,
                2}};
  for (const auto& c : cases) {
    TestDispatcher dispatcher(window, c.action);
    RunLoop run_loop(&dispatcher);
    ::PostMessageW(window, kTestMessage, 2, 0);
    run_loop.Run();  // Ends only through the dispatcher.
    EXPECT_EQ(std::vector<int>{2}, dispatcher.seen());
    EXPECT_EQ(c.procedure_calls, g_procedure_calls);
  }
  // Without a dispatcher messages are dispatched as usual.
  ::PostMessageW(window, kTestMessage, 3, 0);
  RunLoop().RunUntilIdle();
  EXPECT_EQ(3, g_procedure_calls);
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
  MessageLoopForUI loop;
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

bool g_task_fault_filtered = false;

int FilterTaskFault(EXCEPTION_POINTERS* info) {
  g_task_fault_filtered =
      info->ExceptionRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION;
  return EXCEPTION_EXECUTE_HANDLER;
}

int* volatile g_null_pointer = nullptr;

// A task that opens a native modal loop, as a message box that a window
// message opened lets tasks run, with a faulting task waiting.
void RunFaultInsideANativeModalLoop(
    scoped_refptr<SingleThreadTaskRunner> runner) {
  MessageLoop::ScopedNestableTaskAllower allow(MessageLoop::current());
  runner->PostTask(FROM_HERE, BindOnce([] { *g_null_pointer = 1; }));
  RunNativeModalLoop(&g_task_fault_filtered, TimeDelta::FromSeconds(20));
}

// Tasks that a native modal loop runs run inside the loop's window
// procedure, which the system calls: a fault there goes to the process's
// window-procedure filter (the crash reporter's in the installer).
TEST(MessageLoopUITest, TaskFaultInsideANativeModalLoopGoesToTheFilter) {
  MessageLoopForUI loop;
  scoped_refptr<SingleThreadTaskRunner> runner = loop.task_runner();
  g_task_fault_filtered = false;
  win::WinProcExceptionFilter previous =
      win::SetWinProcExceptionFilter(&FilterTaskFault);
  runner->PostTask(FROM_HERE,
                   BindOnce(&RunFaultInsideANativeModalLoop, runner));
  RunLoop().RunUntilIdle();
  win::SetWinProcExceptionFilter(previous);
  EXPECT_TRUE(g_task_fault_filtered);
  // The loop goes on.
  bool ran = false;
  runner->PostTask(FROM_HERE, BindOnce([](bool* ran) { *ran = true; }, &ran));
  RunLoop().RunUntilIdle();
  EXPECT_TRUE(ran);
}

// A native modal loop that stays up until a window's polls, queued as
// delayed tasks before the loop started, are done, as a window polls for
// something while its message box is up.
struct ModalRun {
  static constexpr int kPolls = 5;
  static constexpr TimeDelta kLimit = TimeDelta::FromSeconds(10);

  RepeatingClosure quit;
  bool open = false;
  bool done = false;
  int polls = 0;
  int polls_inside = 0;
  TimeTicks first_poll;
  TimeDelta open_time;
};

void RunModalLoop(ModalRun* run) {
  const TimeTicks opened = TimeTicks::Now();
  run->open = true;
  RunNativeModalLoop(&run->done, ModalRun::kLimit);
  run->open = false;
  run->open_time = TimeTicks::Now() - opened;
  run->quit.Run();
}

void RunModalLoopFromATask(ModalRun* run) {
  MessageLoop::ScopedNestableTaskAllower allow(MessageLoop::current());
  RunModalLoop(run);
}

void Poll(ModalRun* run, scoped_refptr<SingleThreadTaskRunner> runner) {
  if (!run->polls)
    run->first_poll = TimeTicks::Now();
  ++run->polls;
  if (run->open)
    ++run->polls_inside;
  if (run->polls == ModalRun::kPolls) {
    run->done = true;
    return;
  }
  runner->PostDelayedTask(FROM_HERE, BindOnce(&Poll, run, runner),
                          TimeDelta::FromMilliseconds(20));
}

constexpr UINT kOpenModalMessage = WM_APP + 8;
ModalRun* g_modal_run = nullptr;

LRESULT CALLBACK ModalWindowProc(HWND hwnd,
                                 UINT message,
                                 WPARAM wparam,
                                 LPARAM lparam) {
  if (message != kOpenModalMessage || !g_modal_run)
    return ::DefWindowProcW(hwnd, message, wparam, lparam);
  RunModalLoop(g_modal_run);
  return 0;
}

// Opens the modal loop from the dispatcher, before the window sees the
// message.
class ModalDispatcher : public MessagePumpDispatcher {
 public:
  explicit ModalDispatcher(ModalRun* run) : run_(run) {}
  uint32_t Dispatch(const MSG& msg) override {
    if (msg.message != kOpenModalMessage)
      return POST_DISPATCH_PERFORM_DEFAULT;
    RunModalLoop(run_);
    return POST_DISPATCH_NONE;
  }

 private:
  ModalRun* run_;
};

TEST(MessageLoopUITest, DelayedTasksQueuedEarlierRunInsideANativeModalLoop) {
  MessageLoopForUI loop;
  scoped_refptr<SingleThreadTaskRunner> runner = loop.task_runner();
  WNDCLASSEXW wc = {sizeof(wc)};
  wc.lpfnWndProc = &ModalWindowProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"base_unittests_ModalWindow";
  ::RegisterClassExW(&wc);
  HWND window = ::CreateWindowExW(0, wc.lpszClassName, nullptr, 0, 0, 0, 0, 0,
                                  HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  ASSERT_TRUE(window);
  // Where a message box comes from: a task that allows nestable tasks; a
  // window procedure or a dialog's dispatcher, which run outside any task.
  enum Entry { kTask, kWindowProcedure, kDispatcher };
  // Each its own: polls left over when a case fails still run later.
  ModalRun runs[3];
  for (Entry entry : {kTask, kWindowProcedure, kDispatcher}) {
    SCOPED_TRACE(testing::Message() << "entry " << entry);
    ModalRun& run = runs[entry];
    g_modal_run = entry == kWindowProcedure ? &run : nullptr;
    ModalDispatcher dispatcher(&run);
    RunLoop run_loop(entry == kDispatcher ? &dispatcher : nullptr);
    run.quit = run_loop.QuitClosure();
    // An earlier delayed task: the loop's own wait takes its timer, as it
    // takes those of a window's earlier polls.
    runner->PostDelayedTask(FROM_HERE, BindOnce([] {}),
                            TimeDelta::FromMilliseconds(10));
    if (entry == kTask) {
      runner->PostDelayedTask(FROM_HERE, BindOnce(&RunModalLoopFromATask, &run),
                              TimeDelta::FromMilliseconds(150));
    } else {
      runner->PostDelayedTask(FROM_HERE,
                              BindOnce(
                                  [](HWND window) {
                                    ::PostMessageW(window, kOpenModalMessage, 0,
                                                   0);
                                  },
                                  window),
                              TimeDelta::FromMilliseconds(150));
    }
    const TimeTicks queued = TimeTicks::Now();
    runner->PostDelayedTask(FROM_HERE, BindOnce(&Poll, &run, runner),
                            TimeDelta::FromMilliseconds(300));
    run_loop.Run();
    EXPECT_EQ(ModalRun::kPolls, run.polls_inside);
    EXPECT_TRUE(run.done);
    EXPECT_LT(run.open_time, ModalRun::kLimit);
    EXPECT_GE(run.first_poll - queued, TimeDelta::FromMilliseconds(300));
  }
  g_modal_run = nullptr;
  ::DestroyWindow(window);
}

// I/O loop -----------------------------------------------------------------

class PipeReader : public MessageLoopForIO::IOHandler {
 public:
  explicit PipeReader(HANDLE pipe) : pipe_(pipe) { context_.handler = this; }

  bool StartRead() {
    if (::ReadFile(pipe_, buffer_, sizeof(buffer_), nullptr,
                   &context_.overlapped)) {
      return true;  // The completion still comes through the port.
    }
    return ::GetLastError() == ERROR_IO_PENDING;
  }

  void OnIOCompleted(MessageLoopForIO::IOContext* context,
                     DWORD bytes_transferred,
                     DWORD error) override {
    EXPECT_EQ(&context_, context);
    completed_on_ = PlatformThread::CurrentId();
    error_ = error;
    data_.assign(buffer_, bytes_transferred);
    if (on_complete_)
      std::move(on_complete_).Run();
  }

  OnceClosure on_complete_;
  PlatformThreadId completed_on_ = kInvalidThreadId;
  DWORD error_ = 0xffffffff;
  std::string data_;

 private:
  HANDLE pipe_;
  MessageLoopForIO::IOContext context_;
  char buffer_[256];
};

TEST(MessageLoopIOTest, OverlappedPipeReadCompletesOnTheLoopThread) {
  MessageLoopForIO loop;
  EXPECT_EQ(&loop, MessageLoopForIO::current());
  // An overlapped server end to read, a plain client end to write.
  const std::wstring name = L"\\\\.\\pipe\\base_unittests_" +
                            std::to_wstring(::GetCurrentProcessId());
  win::ScopedHandle server(::CreateNamedPipeW(
      name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED,
      PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096, 4096, 0,
      nullptr));
  win::ScopedHandle client(::CreateFileW(name.c_str(), GENERIC_WRITE, 0,
                                         nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(server.IsValid() && client.IsValid());
  PipeReader reader(server.Get());
  ASSERT_TRUE(loop.RegisterIOHandler(server.Get(), &reader));

  RunLoop run_loop;
  reader.on_complete_ = run_loop.QuitClosure();
  ASSERT_TRUE(reader.StartRead());
  // Written later from another thread, while the loop waits on the port.
  std::thread writer([&] {
    PlatformThread::Sleep(TimeDelta::FromMilliseconds(20));
    DWORD written = 0;
    EXPECT_TRUE(::WriteFile(client.Get(), "hello", 5, &written, nullptr));
  });
  run_loop.Run();
  writer.join();
  EXPECT_EQ("hello", reader.data_);
  EXPECT_EQ(0u, reader.error_);
  EXPECT_EQ(PlatformThread::CurrentId(), reader.completed_on_);

  // A cancelled read completes too, with its error.
  RunLoop cancelled_run;
  reader.on_complete_ = cancelled_run.QuitClosure();
  ASSERT_TRUE(reader.StartRead());
  ASSERT_TRUE(::CancelIo(server.Get()));
  cancelled_run.Run();
  EXPECT_EQ(static_cast<DWORD>(ERROR_OPERATION_ABORTED), reader.error_);
  EXPECT_TRUE(reader.data_.empty());
}

}  // namespace
}  // namespace base
