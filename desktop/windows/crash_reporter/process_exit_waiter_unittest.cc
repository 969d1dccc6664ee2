#include "desktop/windows/crash_reporter/process_exit_waiter.h"

#include <windows.h>

#include <memory>
#include <string>

#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/strings/string_number_conversions.h"
#include "base/threading/simple_thread.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/crash_reporter/watched_process.h"
#include "gtest/gtest.h"

namespace crash_reporter {
namespace {

constexpr DWORD kTimeoutMs = 10000;

// Waits on a thread of its own and tells when the wait is over.
class Waiter : public base::SimpleThread {
 public:
  explicit Waiter(ProcessExitWaiter* waiter)
      : SimpleThread("Waiter"),
        waiter_(waiter),
        done_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  void Run() override {
    waiter_->Wait();
    ::SetEvent(done_.Get());
  }
  bool Done(DWORD timeout_ms) {
    return ::WaitForSingleObject(done_.Get(), timeout_ms) == WAIT_OBJECT_0;
  }

 private:
  ProcessExitWaiter* waiter_;
  base::win::ScopedHandle done_;
};

TEST(ProcessExitWaiterTest, WaitLastsWhileACountIsHeldEvenAfterZero) {
  ProcessExitWaiter waiter;
  waiter.Wait();  // Nothing held.
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    waiter.AddRef();
    waiter.AddRef();
    Waiter thread(&waiter);
    ASSERT_TRUE(thread.Start());
    waiter.Release();
    EXPECT_FALSE(thread.Done(100));
    waiter.Release();
    EXPECT_TRUE(thread.Done(kTimeoutMs));
    thread.Join();
  }
}

// A process that lives until the test sets its event.
class WaitingChild {
 public:
  WaitingChild() {
    static int counter = 0;
    std::wstring name = L"KelvoWatchedProcessTest" +
                        base::NumberToString16(::GetCurrentProcessId()) + L"_" +
                        base::NumberToString16(++counter);
    event_.Set(::CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
    wchar_t self[MAX_PATH];
    DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dir(self, length);
    dir.resize(dir.rfind(L'\\') + 1);
    process_ = base::LaunchProcess(
        L"\"" + dir +
            L"crash_reporter_test_host.exe\" --crash-reporter-pid=1 "
            L"--test-event=" +
            name,
        base::LaunchOptions());
  }
  DWORD pid() const { return process_.Pid(); }
  void End() {
    ::SetEvent(event_.Get());
    EXPECT_TRUE(process_.WaitForExitWithTimeout(
        base::TimeDelta::FromMilliseconds(kTimeoutMs), nullptr));
  }

 private:
  base::win::ScopedHandle event_;
  base::Process process_;
};

TEST(WatchedProcessTest, CountIsReleasedOnceWhicheverComesFirst) {
  ProcessExitWaiter waiter;
  {
    // The process ends first.
    WaitingChild child;
    WatchedProcess watch(&waiter);
    ASSERT_TRUE(watch.Watch(child.pid()));
    EXPECT_EQ(1, waiter.count_for_testing());
    Waiter thread(&waiter);
    ASSERT_TRUE(thread.Start());
    child.End();
    EXPECT_TRUE(thread.Done(kTimeoutMs));
    thread.Join();
  }
  EXPECT_EQ(0, waiter.count_for_testing());
  {
    // The watch ends first.
    WaitingChild child;
    {
      WatchedProcess watch(&waiter);
      ASSERT_TRUE(watch.Watch(child.pid()));
    }
    EXPECT_EQ(0, waiter.count_for_testing());
    child.End();
  }
  EXPECT_EQ(0, waiter.count_for_testing());

  WatchedProcess nobody(&waiter);
  EXPECT_FALSE(nobody.Watch(0));
  EXPECT_EQ(0, waiter.count_for_testing());
}

}  // namespace
}  // namespace crash_reporter
