#include "desktop/windows/installer/test/installer_process.h"

#include <windows.h>

#include <algorithm>
#include <memory>

#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/process/launch.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_split.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/scoped_environment_variable_override.h"
#include "desktop/windows/installer/test/test_util.h"
#include "gtest/gtest.h"

namespace installer {
namespace test {

const wchar_t kNoUpdateServerSwitches[] =
    L"--enable-installer-stats=0 "
    L"--with-feature:installer-pref-default-overrides-support=off "
    // An address the downloader refuses: a run outside a package fails its
    // fetch at once, without sending anything.
    L"--internal-package-server=no-server:";

base::FilePath GetBuildBinDir() {
  // From the module itself: tests override the executable's path service
  // keys.
  wchar_t path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return base::FilePath(std::wstring(path, length)).DirName();
}

base::Process StartProgram(const base::FilePath& exe,
                           const std::wstring& arguments,
                           const base::FilePath& temp_dir) {
  std::string temp = temp_dir.AsUTF8Unsafe();
  base::ScopedEnvironmentVariableOverride tmp("TMP", temp);
  base::ScopedEnvironmentVariableOverride temp_var("TEMP", temp);
  return base::LaunchProcess(L"\"" + exe.value() + L"\" " + arguments,
                             base::LaunchOptions());
}

InstallerRunResult RunProgram(const base::FilePath& exe,
                              const std::wstring& arguments,
                              const base::FilePath& temp_dir,
                              base::TimeDelta timeout) {
  std::string temp = temp_dir.AsUTF8Unsafe();
  base::ScopedEnvironmentVariableOverride tmp("TMP", temp);
  base::ScopedEnvironmentVariableOverride temp_var("TEMP", temp);
  InstallerRunResult result;
  std::wstring command = L"\"" + exe.value() + L"\"";
  if (!arguments.empty())
    command += L" " + arguments;
  result.finished = base::GetAppOutputWithExitCode(command, &result.output,
                                                   &result.exit_code, timeout);
  return result;
}

base::FilePath CopyInstallerTo(const base::FilePath& dir) {
  base::FilePath bin = GetBuildBinDir();
  if (!base::CopyFile(bin.AppendASCII("installer.exe"),
                      dir.AppendASCII("installer.exe")) ||
      !base::CopyFile(bin.AppendASCII("installer.dll"),
                      dir.AppendASCII("installer.dll"))) {
    return base::FilePath();
  }
  return dir.AppendASCII("installer.exe");
}

std::vector<base::FilePath> FindInstallerLogs(const base::FilePath& temp_dir) {
  std::vector<base::FilePath> logs;
  base::FileEnumerator files(temp_dir.AppendASCII("Kelvo Installer"), false,
                             base::FileEnumerator::FILES,
                             L"kelvo_installer_*.log");
  for (base::FilePath path = files.Next(); !path.empty(); path = files.Next())
    logs.push_back(path);
  std::sort(logs.begin(), logs.end());
  return logs;
}

std::string ReadInstallerLogs(const base::FilePath& temp_dir) {
  std::string all;
  for (const base::FilePath& log : FindInstallerLogs(temp_dir)) {
    std::string text;
    base::ReadFileToString(log, &text);
    all += text;
  }
  return all;
}

base::FilePath MakeStandIn(const base::FilePath& dir,
                           const std::wstring& name,
                           int exit_code,
                           int wait_ms) {
  const base::FilePath program = dir.Append(name);
  WriteTextFile(dir.Append(name + L".exit_code"), base::IntToString(exit_code));
  WriteTextFile(dir.Append(name + L".wait_ms"), base::IntToString(wait_ms));
  EXPECT_TRUE(
      base::CopyFile(GetBuildBinDir().Append(L"stand_in.exe"), program));
  return program;
}

base::FilePath MakeScriptedBackend(const base::FilePath& dir,
                                   const std::wstring& name,
                                   int exit_code,
                                   int wait_ms) {
  const base::FilePath program = dir.Append(name);
  EXPECT_TRUE(base::CreateDirectory(dir));
  EXPECT_TRUE(
      base::CopyFile(GetBuildBinDir().Append(L"ipc_test_sender.exe"), program));
  WriteTextFile(base::FilePath(program.value() + L".script"),
                "connect\nsleep " + base::IntToString(wait_ms) + "\n" +
                    (exit_code == 0 ? "success\n" : "") + "close\nexit " +
                    base::IntToString(exit_code) + "\n");
  return program;
}

std::vector<std::string> StandInRuns(const base::FilePath& program) {
  std::string text;
  base::ReadFileToString(base::FilePath(program.value() + L".log"), &text);
  return base::SplitString(text, "\n", base::TRIM_WHITESPACE,
                           base::SPLIT_WANT_NONEMPTY);
}

}  // namespace test
}  // namespace installer
