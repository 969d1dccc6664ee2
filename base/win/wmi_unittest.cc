#include "base/win/wmi.h"

#include <windows.h>

#include "base/test/test_child_process.h"
#include "base/win/scoped_com_initializer.h"
#include "base/win/scoped_handle.h"
#include "gtest/gtest.h"

namespace base {
namespace win {
namespace {

TEST(WmiTest, LaunchedProcessRunsWithItsArguments) {
  ScopedCOMInitializer com;
  ASSERT_TRUE(com.Succeeded());
  int pid = 0;
  ASSERT_TRUE(WmiLaunchProcess(TestChildCommandLine(L"exit 9"), &pid));
  ScopedHandle process(::OpenProcess(
      SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  ASSERT_TRUE(process.IsValid());
  ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(process.Get(), 10000));
  DWORD exit_code = 0;
  ASSERT_TRUE(::GetExitCodeProcess(process.Get(), &exit_code));
  EXPECT_EQ(9u, exit_code);
}

}  // namespace
}  // namespace win
}  // namespace base
