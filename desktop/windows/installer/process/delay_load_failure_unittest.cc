#include "desktop/windows/installer/process/delay_load_failure.h"

#include <string>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "desktop/windows/installer/test/installer_process.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// delay_load_test_host.exe is linked as installer.dll is, with its system
// DLLs delay-loaded; it also imports a function of a DLL that does not exist
// and one that kernel32.dll lacks.
class DelayLoadTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(temp_.CreateUniqueTempDir()); }

  // Runs the host with |call|; its log in |*log|.
  test::InstallerRunResult Run(const std::wstring& call, std::string* log) {
    const base::FilePath log_path = temp_.GetPath().Append(call + L".log");
    test::InstallerRunResult result = test::RunProgram(
        test::GetBuildBinDir().Append(L"delay_load_test_host.exe"),
        L"\"" + log_path.value() + L"\" " + call, temp_.GetPath());
    base::ReadFileToString(log_path, log);
    return result;
  }

  base::ScopedTempDir temp_;
};

TEST_F(DelayLoadTest, SystemFunctionLoadsAtItsFirstCall) {
  std::string log;
  test::InstallerRunResult result = Run(L"present", &log);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(0, result.exit_code);
  EXPECT_EQ("1", result.output);
  EXPECT_EQ(std::string::npos, log.find("ERROR")) << log;
}

TEST_F(DelayLoadTest, MissingLibraryOrFunctionEndsTheProcessWithALogLine) {
  struct {
    const wchar_t* call;
    const char* line;
  } cases[] = {
      {L"library",
       "Cannot load the system library kelvo_absent_library.dll: "},
      {L"function",
       "Cannot find KelvoAbsentKernelFunction in the system library "
       "kernel32.dll: "},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.call);
    std::string log;
    test::InstallerRunResult result = Run(test.call, &log);
    ASSERT_TRUE(result.finished);
    // The failure code of every installer process, not a crash's, and not
    // the code the host gives a call that returned.
    EXPECT_EQ(static_cast<int>(kDelayLoadFailureExitCode), result.exit_code);
    EXPECT_NE(std::string::npos, log.find(std::string("ERROR:") +
                                          "delay_load_failure.cc"))
        << log;
    EXPECT_NE(std::string::npos, log.find(test.line)) << log;
  }
}

}  // namespace
}  // namespace installer
