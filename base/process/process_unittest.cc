#include "base/process/process.h"

#include <windows.h>

#include "base/process/launch.h"
#include "base/process/process_handle.h"
#include "base/test/test_child_process.h"
#include "base/time/time.h"
#include "gtest/gtest.h"

namespace base {
namespace {

constexpr TimeDelta kChildTimeout = TimeDelta::FromSeconds(30);

Process StartChild(const std::wstring& arguments) {
  Process child =
      LaunchProcess(TestChildCommandLine(arguments), LaunchOptions());
  EXPECT_TRUE(child.IsValid()) << arguments;
  return child;
}

TEST(ProcessTest, ExitCodesAndWaitLimits) {
  int exit_code = -1;
  Process child = StartChild(L"exit 7");
  ASSERT_TRUE(child.WaitForExitWithTimeout(kChildTimeout, &exit_code));
  EXPECT_EQ(7, exit_code);
  // Once ended, a zero limit is enough.
  EXPECT_TRUE(child.WaitForExitWithTimeout(TimeDelta(), nullptr));

  Process sleeper = StartChild(L"sleep 60000");
  TimeTicks start = TimeTicks::Now();
  exit_code = -1;
  EXPECT_FALSE(sleeper.WaitForExitWithTimeout(TimeDelta::FromMilliseconds(200),
                                              &exit_code));
  EXPECT_GE(TimeTicks::Now() - start, TimeDelta::FromMilliseconds(190));
  EXPECT_EQ(-1, exit_code);
  ASSERT_TRUE(sleeper.Terminate(1234, /*wait=*/true));
  EXPECT_TRUE(sleeper.WaitForExitWithTimeout(TimeDelta(), &exit_code));
  EXPECT_EQ(1234, exit_code);
  // Ending a process that has ended already counts as done.
  EXPECT_TRUE(sleeper.Terminate(5, /*wait=*/true));
}

TEST(ProcessTest, OpenDuplicateAndParent) {
  Process child = StartChild(L"sleep 60000");
  ASSERT_TRUE(child.IsValid());
  ProcessId pid = child.Pid();
  EXPECT_EQ(GetCurrentProcId(), GetParentProcessId(child.Handle()));

  Process opened = Process::OpenWithAccess(
      pid, PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION);
  ASSERT_TRUE(opened.IsValid());
  Process synchronize_only = Process::OpenWithAccess(pid, SYNCHRONIZE);
  ASSERT_TRUE(synchronize_only.IsValid());

  // A duplicate outlives the handle it came from.
  Process duplicate = opened.Duplicate();
  opened.Close();
  ASSERT_TRUE(duplicate.IsValid());
  EXPECT_EQ(pid, duplicate.Pid());

  ASSERT_TRUE(duplicate.Terminate(4, /*wait=*/true));
  int exit_code = 0;
  EXPECT_TRUE(child.WaitForExitWithTimeout(kChildTimeout, &exit_code));
  EXPECT_EQ(4, exit_code);
  // SYNCHRONIZE is enough to see the end, not to read the code.
  EXPECT_TRUE(synchronize_only.WaitForExitWithTimeout(TimeDelta(), nullptr));
  EXPECT_FALSE(
      synchronize_only.WaitForExitWithTimeout(TimeDelta(), &exit_code));
}

}  // namespace
}  // namespace base
