#include "desktop/windows/installer/interruption_watcher.h"

#include <windows.h>

#include <thread>

#include "base/command_line.h"
#include "base/files/scoped_temp_dir.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "desktop/windows/installer/test/installer_process.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// A wait for a child ends by the child's end with its exit code, by a
// failure, or otherwise, which is told apart from both.
TEST(InterruptionWatcherTest, HowAWaitForAChildEnds) {
  InterruptionWatcher watcher;
  int exit_code = -1;
  base::ScopedTempDir dir;
  ASSERT_TRUE(dir.CreateUniqueTempDir());
  base::Process child = base::LaunchProcess(
      base::CommandLine(test::MakeStandIn(dir.GetPath(), L"child.exe", 3)),
      base::LaunchOptions());
  ASSERT_TRUE(child.IsValid());
  EXPECT_EQ(ChildWaitResult::kExited,
            watcher.WaitForChildProcess(child, "the child", &exit_code));
  EXPECT_EQ(3, exit_code);

  EXPECT_EQ(
      ChildWaitResult::kFailed,
      watcher.WaitForChildProcess(base::Process(), "nothing", &exit_code));

  // A mutex whose owner ended answers the wait as abandoned.
  HANDLE mutex = ::CreateMutexW(nullptr, FALSE, nullptr);
  ASSERT_TRUE(mutex);
  std::thread owner([mutex] { ::WaitForSingleObject(mutex, 0); });
  owner.join();
  EXPECT_EQ(
      ChildWaitResult::kUnexpected,
      watcher.WaitForChildProcess(base::Process(mutex), "a mutex", &exit_code));
}

}  // namespace
}  // namespace installer
