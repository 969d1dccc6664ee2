#include "base/win/object_watcher.h"

#include <windows.h>

#include <memory>
#include <string>
#include <thread>

#include "base/bind.h"
#include "base/message_loop/message_loop.h"
#include "base/run_loop.h"
#include "base/synchronization/waitable_event.h"
#include "base/threading/platform_thread.h"
#include "base/win/scoped_handle.h"
#include "gtest/gtest.h"

namespace base {
namespace win {
namespace {

class RecordingDelegate : public ObjectWatcher::Delegate {
 public:
  void OnObjectSignaled(HANDLE object) override {
    ++calls;
    signaled = object;
    thread = PlatformThread::CurrentId();
    if (on_signal)
      std::move(on_signal).Run();
  }
  int calls = 0;
  HANDLE signaled = nullptr;
  PlatformThreadId thread = kInvalidThreadId;
  OnceClosure on_signal;
};

// Starts the test child next to this executable: it sleeps, then exits.
ScopedHandle LaunchSleeper(int sleep_ms, int exit_code) {
  wchar_t path[MAX_PATH];
  DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring exe(path, length);
  exe = exe.substr(0, exe.find_last_of(L'\\') + 1) + L"base_test_child.exe";
  std::wstring command_line = L"\"" + exe + L"\" sleep " +
                              std::to_wstring(sleep_ms) +
                              L" " + std::to_wstring(exit_code);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(exe.c_str(), &command_line[0], nullptr, nullptr, FALSE,
                        0, nullptr, nullptr, &startup, &info)) {
    ADD_FAILURE() << "CreateProcess failed: " << ::GetLastError();
    return ScopedHandle();
  }
  ::CloseHandle(info.hThread);
  return ScopedHandle(info.hProcess);
}

TEST(ObjectWatcherTest, FiresOnTheWatchingThreadWhenAChildExits) {
  MessageLoop loop;
  ScopedHandle process = LaunchSleeper(50, 3);
  ASSERT_TRUE(process.IsValid());
  ObjectWatcher watcher;
  RecordingDelegate delegate;
  RunLoop run_loop;
  delegate.on_signal = run_loop.QuitClosure();
  ASSERT_TRUE(watcher.StartWatchingOnce(process.Get(), &delegate));
  EXPECT_TRUE(watcher.IsWatching());
  EXPECT_EQ(process.Get(), watcher.GetWatchedObject());
  // Bounded: a watcher that never fires ends the run after 10 s.
  loop.task_runner()->PostDelayedTask(FROM_HERE, run_loop.QuitClosure(),
                                      TimeDelta::FromSeconds(10));
  run_loop.Run();
  EXPECT_EQ(1, delegate.calls);
  EXPECT_EQ(process.Get(), delegate.signaled);
  EXPECT_EQ(PlatformThread::CurrentId(), delegate.thread);
  EXPECT_FALSE(watcher.IsWatching());
  DWORD exit_code = 0;
  ASSERT_TRUE(::GetExitCodeProcess(process.Get(), &exit_code));
  EXPECT_EQ(3u, exit_code);
}

TEST(ObjectWatcherTest, StopWatchingSilencesAChildsExit) {
  MessageLoop loop;
  ScopedHandle process = LaunchSleeper(30, 0);
  ASSERT_TRUE(process.IsValid());
  ObjectWatcher watcher;
  RecordingDelegate delegate;
  ASSERT_TRUE(watcher.StartWatchingOnce(process.Get(), &delegate));
  EXPECT_TRUE(watcher.StopWatching());
  EXPECT_FALSE(watcher.IsWatching());
  EXPECT_FALSE(watcher.StopWatching());
  ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(process.Get(), 10000));
  RunLoop run_loop;
  loop.task_runner()->PostDelayedTask(FROM_HERE, run_loop.QuitClosure(),
                                      TimeDelta::FromMilliseconds(50));
  run_loop.Run();
  EXPECT_EQ(0, delegate.calls);
}

TEST(ObjectWatcherTest, StopWatchingRacesTheSignalSafely) {
  MessageLoop loop;
  int fired_total = 0;
  for (int iteration = 0; iteration < 200; ++iteration) {
    WaitableEvent event(WaitableEvent::ResetPolicy::MANUAL,
                        WaitableEvent::InitialState::NOT_SIGNALED);
    RecordingDelegate delegate;
    {
      ObjectWatcher watcher;
      ASSERT_TRUE(watcher.StartWatchingOnce(event.handle(), &delegate));
      std::thread signaller([&] { event.Signal(); });
      // Sometimes before the wait ends, sometimes while its callback runs,
      // sometimes after it posted the call.
      if (iteration % 3 == 1)
        PlatformThread::YieldCurrentThread();
      if (iteration % 3 == 2) {
        // Let the call be posted, then drop it.
        PlatformThread::Sleep(TimeDelta::FromMilliseconds(1));
      }
      watcher.StopWatching();
      signaller.join();
    }
    RunLoop().RunUntilIdle();
    ASSERT_EQ(0, delegate.calls) << "iteration " << iteration;
  }
  // And with no stop, each signal arrives exactly once.
  for (int iteration = 0; iteration < 200; ++iteration) {
    WaitableEvent event(WaitableEvent::ResetPolicy::MANUAL,
                        WaitableEvent::InitialState::NOT_SIGNALED);
    RecordingDelegate delegate;
    ObjectWatcher watcher;
    RunLoop run_loop;
    delegate.on_signal = run_loop.QuitClosure();
    ASSERT_TRUE(watcher.StartWatchingOnce(event.handle(), &delegate));
    std::thread signaller([&] { event.Signal(); });
    loop.task_runner()->PostDelayedTask(FROM_HERE, run_loop.QuitClosure(),
                                        TimeDelta::FromSeconds(10));
    run_loop.Run();
    signaller.join();
    RunLoop().RunUntilIdle();
    ASSERT_EQ(1, delegate.calls) << "iteration " << iteration;
    fired_total += delegate.calls;
  }
  EXPECT_EQ(200, fired_total);
}

// Deletes the watcher from inside its own call, then watches again with a
// fresh one: the pattern of a delegate that owns its watcher.
class SelfResettingDelegate : public ObjectWatcher::Delegate {
 public:
  void OnObjectSignaled(HANDLE object) override {
    watcher.reset();
    ++calls;
  }
  std::unique_ptr<ObjectWatcher> watcher = std::make_unique<ObjectWatcher>();
  int calls = 0;
};

TEST(ObjectWatcherTest, TheDelegateMayDeleteTheWatcher) {
  MessageLoop loop;
  WaitableEvent event(WaitableEvent::ResetPolicy::MANUAL,
                      WaitableEvent::InitialState::SIGNALED);
  SelfResettingDelegate delegate;
  ASSERT_TRUE(delegate.watcher->StartWatchingOnce(event.handle(), &delegate));
  RunLoop run_loop;
  loop.task_runner()->PostDelayedTask(FROM_HERE, run_loop.QuitClosure(),
                                      TimeDelta::FromMilliseconds(50));
  run_loop.Run();
  EXPECT_EQ(1, delegate.calls);
  EXPECT_EQ(nullptr, delegate.watcher);
}

TEST(ObjectWatcherTest, TheEndOfTheLoopEndsTheWatch) {
  WaitableEvent event(WaitableEvent::ResetPolicy::MANUAL,
                      WaitableEvent::InitialState::NOT_SIGNALED);
  RecordingDelegate delegate;
  ObjectWatcher watcher;
  {
    MessageLoop loop;
    ASSERT_TRUE(watcher.StartWatchingOnce(event.handle(), &delegate));
  }
  EXPECT_FALSE(watcher.IsWatching());
  event.Signal();
  EXPECT_EQ(0, delegate.calls);
}

TEST(ObjectWatcherTest, AnInvalidHandleIsRefused) {
  MessageLoop loop;
  RecordingDelegate delegate;
  ObjectWatcher watcher;
  EXPECT_FALSE(watcher.StartWatchingOnce(nullptr, &delegate));
  EXPECT_FALSE(watcher.IsWatching());
}

}  // namespace
}  // namespace win
}  // namespace base
