#include "base/win/object_watcher.h"

#include <windows.h>

#include <memory>
#include <thread>

#include "base/bind.h"
#include "base/message_loop/message_loop.h"
#include "base/process/launch.h"
#include "base/run_loop.h"
#include "base/synchronization/waitable_event.h"
#include "base/test/test_child_process.h"
#include "base/threading/platform_thread.h"
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

TEST(ObjectWatcherTest, FiresOnTheWatchingThreadWhenAChildExits) {
  MessageLoop loop;
  Process process =
      LaunchProcess(TestChildCommandLine(L"sleep 50"), LaunchOptions());
  ASSERT_TRUE(process.IsValid());
  ObjectWatcher watcher;
  RecordingDelegate delegate;
  RunLoop run_loop;
  delegate.on_signal = run_loop.QuitClosure();
  ASSERT_TRUE(watcher.StartWatchingOnce(process.Handle(), &delegate));
  EXPECT_TRUE(watcher.IsWatching());
  // Bounded: a watcher that never fires ends the run after 10 s.
  loop.task_runner()->PostDelayedTask(FROM_HERE, run_loop.QuitClosure(),
                                      TimeDelta::FromSeconds(10));
  run_loop.Run();
  EXPECT_EQ(1, delegate.calls);
  EXPECT_EQ(process.Handle(), delegate.signaled);
  EXPECT_EQ(PlatformThread::CurrentId(), delegate.thread);
  EXPECT_FALSE(watcher.IsWatching());
  EXPECT_TRUE(process.WaitForExitWithTimeout(TimeDelta(), nullptr));
}

TEST(ObjectWatcherTest, StopWatchingRacesTheSignalSafely) {
  MessageLoop loop;
  for (int iteration = 0; iteration < 120; ++iteration) {
    WaitableEvent event(WaitableEvent::ResetPolicy::MANUAL,
                        WaitableEvent::InitialState::NOT_SIGNALED);
    RecordingDelegate delegate;
    RunLoop signalled;
    delegate.on_signal = signalled.QuitClosure();
    // Every fourth run does not stop: its signal arrives exactly once.
    const bool stop = iteration % 4 != 3;
    {
      ObjectWatcher watcher;
      ASSERT_TRUE(watcher.StartWatchingOnce(event.handle(), &delegate));
      std::thread signaller([&] { event.Signal(); });
      // Stopped sometimes before the wait ends, sometimes while its callback
      // runs, sometimes after it posted the call.
      if (iteration % 4 == 1)
        PlatformThread::YieldCurrentThread();
      if (iteration % 4 == 2)
        PlatformThread::Sleep(TimeDelta::FromMilliseconds(1));
      if (stop) {
        watcher.StopWatching();
      } else {
        loop.task_runner()->PostDelayedTask(FROM_HERE, signalled.QuitClosure(),
                                            TimeDelta::FromSeconds(10));
        signalled.Run();
      }
      signaller.join();
    }
    RunLoop().RunUntilIdle();
    ASSERT_EQ(stop ? 0 : 1, delegate.calls) << "iteration " << iteration;
  }
}

// Deletes the watcher from inside its own call: the pattern of a delegate
// that owns its watcher.
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
  MessageLoop loop;
  EXPECT_FALSE(watcher.StartWatchingOnce(nullptr, &delegate));
}

}  // namespace
}  // namespace win
}  // namespace base
