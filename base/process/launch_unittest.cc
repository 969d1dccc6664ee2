#include "base/process/launch.h"

#include <windows.h>

#include <string>

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

  // Without a list every inheritable handle goes.
  LaunchOptions all;
  all.inherit_handles = true;
  EXPECT_EQ(0, RunToEnd(reset, all));
  EXPECT_FALSE(IsSignaled(event));

  // A handle that cannot be inherited cannot be listed.
  win::ScopedHandle private_event = MakeEvent(/*inheritable=*/false);
  listed.handles_to_inherit = {private_event.Get()};
  EXPECT_FALSE(
      LaunchProcess(TestChildCommandLine(L"exit 0"), listed).IsValid());
}

TEST(LaunchProcessTest, StandardHandlesAndHiddenWindow) {
  OutputPipe errors;
  LaunchOptions options;
  options.inherit_handles = true;
  options.stderr_handle = errors.handle();
  // Standard handles join an explicit list by themselves.
  win::ScopedHandle unrelated = MakeEvent(/*inheritable=*/true);
  options.handles_to_inherit = {unrelated.Get()};
  EXPECT_EQ(0, RunToEnd(L"print-stderr oops", options));
  EXPECT_EQ("oops", errors.Read());

  // Standard handles must be inheritable, list or not.
  win::ScopedHandle private_file(::CreateFileW(
      L"NUL", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(private_file.IsValid());
  LaunchOptions private_std;
  private_std.inherit_handles = true;
  private_std.stdout_handle = private_file.Get();
  EXPECT_FALSE(
      LaunchProcess(TestChildCommandLine(L"exit 0"), private_std).IsValid());

  OutputPipe unused;
  LaunchOptions no_inheritance;
  no_inheritance.stdout_handle = unused.handle();
  EXPECT_FALSE(
      LaunchProcess(TestChildCommandLine(L"exit 0"), no_inheritance).IsValid());

  OutputPipe hidden;
  LaunchOptions hide;
  hide.inherit_handles = true;
  hide.stdout_handle = hidden.handle();
  hide.start_hidden = true;
  EXPECT_EQ(0, RunToEnd(L"show-window", hide));
  EXPECT_EQ("0", hidden.Read());  // SW_HIDE
}

TEST(GetAppOutputTest, CollectsStandardOutput) {
  std::string output;
  EXPECT_TRUE(
      GetAppOutput(TestChildCommandLine(L"print \"hello world\""), &output));
  EXPECT_EQ("hello world", output);

  // A failing child: GetAppOutput says no, the exit-code form tells why.
  EXPECT_FALSE(GetAppOutput(TestChildCommandLine(L"exit 5"), &output));
  int exit_code = 0;
  EXPECT_TRUE(GetAppOutputWithExitCode(TestChildCommandLine(L"exit 5"), &output,
                                       &exit_code, kChildTimeout));
  EXPECT_EQ(5, exit_code);
  EXPECT_EQ("", output);
}

TEST(GetAppOutputTest, AHangingChildIsKilledAtTheLimit) {
  std::string output;
  int exit_code = -1;
  TimeTicks start = TimeTicks::Now();
  EXPECT_FALSE(GetAppOutputWithExitCode(TestChildCommandLine(L"sleep 60000"),
                                        &output, &exit_code,
                                        TimeDelta::FromMilliseconds(300)));
  TimeDelta elapsed = TimeTicks::Now() - start;
  EXPECT_GE(elapsed, TimeDelta::FromMilliseconds(290));
  EXPECT_LT(elapsed, TimeDelta::FromSeconds(20));
  EXPECT_EQ(-1, exit_code);
}

}  // namespace
}  // namespace base
