#include "base/process/launch.h"

#include <windows.h>

#include <string>
#include <thread>

#include "base/synchronization/lock.h"
#include "base/test/test_child_process.h"
#include "base/time/time.h"
#include "base/win/scoped_handle.h"
#include "gtest/gtest.h"

namespace base {
namespace {

constexpr TimeDelta kChildTimeout = TimeDelta::FromSeconds(30);

int RunToEnd(const std::wstring& arguments, const LaunchOptions& options) {
  Process child = LaunchProcess(TestChildCommandLine(arguments), options);
  EXPECT_TRUE(child.IsValid()) << arguments;
  if (!child.IsValid())
    return -1;
  int exit_code = -1;
  EXPECT_TRUE(child.WaitForExitWithTimeout(kChildTimeout, &exit_code));
  return exit_code;
}

// A signalled manual-reset event; the child proves it holds it by resetting.
win::ScopedHandle MakeEvent(bool inheritable) {
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), nullptr, inheritable};
  return win::ScopedHandle(::CreateEventW(&attributes, TRUE, TRUE, nullptr));
}

bool IsSignaled(const win::ScopedHandle& event) {
  return ::WaitForSingleObject(event.Get(), 0) == WAIT_OBJECT_0;
}

std::wstring HexOf(HANDLE handle) {
  wchar_t text[32];
  swprintf(
      text, 32, L"%llx",
      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(handle)));
  return text;
}

// A pipe whose write end children may inherit as a standard handle; read
// once the child has ended.
class OutputPipe {
 public:
  OutputPipe() {
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    EXPECT_TRUE(::CreatePipe(&read, &write, &inheritable, 0));
    ::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    read_.Set(read);
    write_.Set(write);
  }
  HANDLE handle() const { return write_.Get(); }
  std::string Read() {
    write_.Close();
    char buffer[256];
    DWORD read = 0;
    ::ReadFile(read_.Get(), buffer, sizeof(buffer), &read, nullptr);
    return std::string(buffer, read);
  }

 private:
  win::ScopedHandle read_;
  win::ScopedHandle write_;
};

TEST(LaunchProcessTest, WaitOptionNeedsALimitAndReturnsARunningChild) {
  LaunchOptions options;
  options.wait = true;
  EXPECT_FALSE(
      LaunchProcess(TestChildCommandLine(L"exit 0"), options).IsValid());

  options.wait_timeout = kChildTimeout;
  Process ended = LaunchProcess(TestChildCommandLine(L"exit 3"), options);
  ASSERT_TRUE(ended.IsValid());
  int exit_code = -1;
  EXPECT_TRUE(ended.WaitForExitWithTimeout(TimeDelta(), &exit_code));
  EXPECT_EQ(3, exit_code);

  options.wait_timeout = TimeDelta::FromMilliseconds(100);
  Process running =
      LaunchProcess(TestChildCommandLine(L"sleep 60000"), options);
  ASSERT_TRUE(running.IsValid());
  EXPECT_FALSE(running.WaitForExitWithTimeout(TimeDelta(), nullptr));
  EXPECT_TRUE(running.Terminate(1, true));

  EXPECT_FALSE(LaunchProcess(L"\"C:\\no\\such\\program.exe\"", LaunchOptions())
                   .IsValid());
}

TEST(LaunchProcessTest, InheritanceFollowsTheOptions) {
  win::ScopedHandle event = MakeEvent(/*inheritable=*/true);
  win::ScopedHandle other = MakeEvent(/*inheritable=*/true);
  ASSERT_TRUE(event.IsValid() && other.IsValid());
  const std::wstring reset = L"reset-event " + HexOf(event.Get());

  // No inheritance at all.
  EXPECT_EQ(3, RunToEnd(reset, LaunchOptions()));
  EXPECT_TRUE(IsSignaled(event));

  // A list without the event keeps it from the child.
  LaunchOptions listed;
  listed.inherit_handles = true;
  listed.handles_to_inherit = {other.Get()};
  EXPECT_EQ(3, RunToEnd(reset, listed));
  EXPECT_TRUE(IsSignaled(event));

  // A list with it passes it on.
  listed.handles_to_inherit = {other.Get(), event.Get(), event.Get()};
  EXPECT_EQ(0, RunToEnd(reset, listed));
  EXPECT_FALSE(IsSignaled(event));
  ::SetEvent(event.Get());

  // A handle that cannot be inherited cannot be listed.
  win::ScopedHandle private_event = MakeEvent(/*inheritable=*/false);
  listed.handles_to_inherit = {private_event.Get()};
  EXPECT_FALSE(
      LaunchProcess(TestChildCommandLine(L"exit 0"), listed).IsValid());
}

TEST(LaunchProcessTest, StartHiddenAsksTheChildToHideItsWindow) {
  OutputPipe hidden;
  LaunchOptions hide;
  hide.inherit_handles = true;
  hide.stdout_handle = hidden.handle();
  hide.start_hidden = true;
  EXPECT_EQ(0, RunToEnd(L"show-window", hide));
  EXPECT_EQ("0", hidden.Read());  // SW_HIDE
}

// The test helpers run children through this: output, exit code, and a kill
// at the limit.
TEST(GetAppOutputTest, CollectsOutputAndKillsAHangingChildAtTheLimit) {
  std::string output;
  int exit_code = -1;
  EXPECT_TRUE(
      GetAppOutputWithExitCode(TestChildCommandLine(L"print \"hello world\""),
                               &output, &exit_code, kChildTimeout));
  EXPECT_EQ("hello world", output);
  EXPECT_EQ(0, exit_code);

  exit_code = -1;
  TimeTicks start = TimeTicks::Now();
  EXPECT_FALSE(GetAppOutputWithExitCode(TestChildCommandLine(L"sleep 60000"),
                                        &output, &exit_code,
                                        TimeDelta::FromMilliseconds(300)));
  TimeDelta elapsed = TimeTicks::Now() - start;
  EXPECT_GE(elapsed, TimeDelta::FromMilliseconds(290));
  EXPECT_LT(elapsed, TimeDelta::FromSeconds(20));
  EXPECT_EQ(-1, exit_code);
}

// The launch lock keeps other children from inheriting the output pipe: it
// is waited for before the child is created, and free again while the
// child runs.
TEST(GetAppOutputTest, HoldsTheLaunchLockOnlyAroundTheChildsCreation) {
  const std::wstring suffix = std::to_wstring(::GetCurrentProcessId());
  const std::wstring started_name = L"launch_test_started_" + suffix;
  const std::wstring go_name = L"launch_test_go_" + suffix;
  win::ScopedHandle started(
      ::CreateEventW(nullptr, TRUE, FALSE, started_name.c_str()));
  win::ScopedHandle go(::CreateEventW(nullptr, TRUE, FALSE, go_name.c_str()));
  ASSERT_TRUE(started.IsValid() && go.IsValid());
  Lock launch_lock;
  std::string output;
  int exit_code = -1;
  bool finished = false;
  launch_lock.Acquire();
  std::thread runner([&] {
    finished = GetAppOutputWithExitCode(
        TestChildCommandLine(L"signal-and-wait " + started_name + L" " +
                             go_name),
        &output, &exit_code, kChildTimeout, &launch_lock);
  });
  // No child while the lock is held.
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT),
            ::WaitForSingleObject(started.Get(), 300));
  launch_lock.Release();
  // The child runs, and waits for this thread: the call is still under way.
  const bool child_started =
      ::WaitForSingleObject(
          started.Get(), static_cast<DWORD>(kChildTimeout.InMilliseconds())) ==
      WAIT_OBJECT_0;
  EXPECT_TRUE(child_started);
  const bool free_while_running = child_started && launch_lock.Try();
  if (free_while_running)
    launch_lock.Release();
  ::SetEvent(go.Get());
  runner.join();
  EXPECT_TRUE(free_while_running);
  EXPECT_TRUE(finished);
  EXPECT_EQ(0, exit_code);
}

}  // namespace
}  // namespace base
