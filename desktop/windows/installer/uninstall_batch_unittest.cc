#include "desktop/windows/installer/uninstall_batch.h"

#include <windows.h>

#include <string>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/process/launch.h"
#include "base/test/scoped_log_capture.h"
#include "base/threading/platform_thread.h"
#include "base/time/time.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// Each process keeps its number, also without a front-end pid (2).
TEST(UninstallBatchTest, WaitsForEachProcessGivenUnderItsOwnFlag) {
  UninstallBatch batch(base::FilePath(L"C:\\Kelvo"));
  batch.AddProcess(1, 11);
  batch.AddProcess(2, 0);
  batch.AddProcess(3, 33);
  const std::string text = batch.GetText();
  EXPECT_EQ(0u, text.find("SET PID1_RUNNING=TRUE\nSET PID3_RUNNING=TRUE\n"));
  EXPECT_EQ(std::string::npos, text.find("PID2"));
  EXPECT_NE(std::string::npos, text.find("TASKLIST /FI \"PID eq 33\""));
  EXPECT_NE(std::string::npos,
            text.find("IF %PID3_RUNNING%==TRUE GOTO :again"));
  EXPECT_EQ("del %0\n", text.substr(text.size() - 7));
}

// cmd.exe itself runs the batch: paths outside the OEM code page and with
// "%" must still reach the files, and subfolders go before their parents.
TEST(UninstallBatchTest, CmdDeletesNonAsciiPaths) {
  base::ScopedTempDir temp;
  ASSERT_TRUE(temp.CreateUniqueTempDir());
  const base::FilePath folder =
      temp.GetPath().Append(L"K\u00e9lvo \u65e5\u672c");
  const base::FilePath version = folder.Append(L"58.0");
  const base::FilePath nested = version.Append(L"\u0391\u03b8\u03ae");
  ASSERT_TRUE(base::CreateDirectory(nested));
  ASSERT_TRUE(base::CreateDirectory(folder.Append(L"100%")));
  const base::FilePath files[] = {
      nested.Append(L"\u00fcber.dll"), version.Append(L"\u4e2d.exe"),
      folder.Append(L"100%\\x.dll"), folder.Append(L"launcher.exe")};
  UninstallBatch batch(folder);
  batch.AddProcess(1, ::GetCurrentProcessId() + 1000000);
  for (const base::FilePath& file : files) {
    ASSERT_EQ(1, base::WriteFile(file, "x", 1));
    batch.AddFile(file);
  }
  ASSERT_TRUE(batch.Write());

  std::string output;
  int exit_code = -1;
  ASSERT_TRUE(base::GetAppOutputWithExitCode(
      L"cmd.exe /c \"" + batch.path().value() + L"\"", &output, &exit_code,
      base::TimeDelta::FromSeconds(30)));

  EXPECT_FALSE(base::PathExists(batch.path()));
  for (const base::FilePath& file : files)
    EXPECT_FALSE(base::PathExists(file)) << file;
  EXPECT_FALSE(base::PathExists(version));
  EXPECT_FALSE(base::PathExists(folder.Append(L"100%")));
  EXPECT_TRUE(base::DirectoryExists(folder));
}

TEST(RunUninstallBatchTest, StartsTheBatchWhenPresentWithoutWaiting) {
  base::ScopedTempDir temp_dir;
  ASSERT_TRUE(temp_dir.CreateUniqueTempDir());
  const base::FilePath folder = temp_dir.GetPath();
  const base::FilePath marker = folder.Append(L"marker.txt");
  {
    base::ScopedLogCapture log;
    RunUninstallBatch(folder);
    EXPECT_TRUE(log.Contains("No uninstall batch file"));
  }

  const std::string batch =
      "@echo off\r\necho cleaned> \"%~dp0marker.txt\"\r\n";
  ASSERT_TRUE(base::WriteFile(folder.Append(L"k.bat"), batch.data(),
                              static_cast<int>(batch.size())));
  RunUninstallBatch(folder);
  // Not waited for: the marker appears some time later.
  std::string text;
  for (int i = 0; i < 150 && !base::ReadFileToString(marker, &text); ++i)
    base::PlatformThread::Sleep(base::TimeDelta::FromMilliseconds(100));
  EXPECT_EQ("cleaned\r\n", text);
}

}  // namespace
}  // namespace installer
