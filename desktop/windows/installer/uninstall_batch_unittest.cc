#include "desktop/windows/installer/uninstall_batch.h"

#include <windows.h>

#include <string>
#include <vector>

#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/process/launch.h"
#include "base/test/scoped_log_capture.h"
#include "base/threading/platform_thread.h"
#include "base/time/time.h"
#include "desktop/windows/installer/test/installer_process.h"
#include "desktop/windows/installer/test/scoped_batch_tools.h"
#include "desktop/windows/installer/test/test_util.h"
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

// Started under cmd.exe with working tasklist and find programs, the batch
// deletes nothing while any process it waits for runs, stops asking about
// each one once it has ended, and then deletes the files, their folders
// and itself.
TEST(UninstallBatchTest, WaitsUntilEveryProcessHasEnded) {
  test::ScopedBatchTools tools;
  ASSERT_TRUE(tools.ready());
  base::ScopedTempDir temp;
  ASSERT_TRUE(temp.CreateUniqueTempDir());
  // Each stays until it is ended.
  const base::FilePath program = test::MakeStandIn(
      temp.GetPath().Append(L"programs"), L"waiting.exe", 0, 600000);
  base::LaunchOptions hidden;
  hidden.start_hidden = true;
  base::Process first = base::LaunchProcess(base::CommandLine(program), hidden);
  base::Process second =
      base::LaunchProcess(base::CommandLine(program), hidden);
  ASSERT_TRUE(first.IsValid() && second.IsValid());
  const uint32_t first_pid = first.Pid();
  const uint32_t second_pid = second.Pid();

  const base::FilePath folder = temp.GetPath().Append(L"Kelvo");
  const base::FilePath file = folder.Append(L"58.0\\sub\\in use.dll");
  ASSERT_TRUE(base::CreateDirectory(file.DirName()));
  test::WriteTextFile(file, "x");
  UninstallBatch batch(folder);
  batch.AddProcess(1, first_pid);
  batch.AddProcess(3, second_pid);
  batch.AddFile(file);
  ASSERT_TRUE(batch.Write());
  base::Process cmd = base::LaunchProcess(
      L"cmd.exe /c \"" + batch.path().value() + L"\"", hidden);
  ASSERT_TRUE(cmd.IsValid());

  EXPECT_TRUE(tools.WaitForAnswers(first_pid, 2));
  EXPECT_TRUE(tools.WaitForAnswers(second_pid, 2));
  EXPECT_TRUE(base::PathExists(file));
  EXPECT_TRUE(base::PathExists(batch.path()));

  EXPECT_TRUE(first.Terminate(0, true));
  // Two more rounds, the first of which learns that the first one ended.
  const size_t asked = tools.Answers(second_pid).size();
  EXPECT_TRUE(tools.WaitForAnswers(second_pid, asked + 2));
  EXPECT_TRUE(base::PathExists(file));

  EXPECT_TRUE(second.Terminate(0, true));
  int exit_code = -1;
  const bool batch_ended =
      cmd.WaitForExitWithTimeout(base::TimeDelta::FromSeconds(60), &exit_code);
  EXPECT_TRUE(batch_ended);
  EXPECT_FALSE(base::PathExists(file));
  EXPECT_FALSE(base::PathExists(folder.Append(L"58.0")));
  EXPECT_FALSE(base::PathExists(batch.path()));
  EXPECT_TRUE(base::DirectoryExists(folder));
  for (uint32_t pid : {first_pid, second_pid}) {
    // Asked while it ran, and once after.
    std::vector<bool> answers = tools.Answers(pid);
    ASSERT_LE(3u, answers.size());
    EXPECT_FALSE(answers.back());
    answers.pop_back();
    EXPECT_EQ(std::vector<bool>(answers.size(), true), answers);
  }
  if (!batch_ended)
    cmd.Terminate(1, true);
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
