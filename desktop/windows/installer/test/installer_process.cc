#include "desktop/windows/installer/test/installer_process.h"

#include <windows.h>

#include <algorithm>
#include <map>
#include <memory>

#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/process/launch.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_split.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/scoped_environment_variable_override.h"
#include "base/win/scoped_handle.h"
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

namespace {

std::string ReadDebugText(HANDLE process,
                          const OUTPUT_DEBUG_STRING_INFO& info) {
  std::string text(std::min<size_t>(info.nDebugStringLength, 4096), '\0');
  SIZE_T read = 0;
  if (info.fUnicode || !::ReadProcessMemory(process, info.lpDebugStringData,
                                            &text[0], text.size(), &read)) {
    return std::string();
  }
  text.resize(std::min<size_t>(read, text.find('\0')));
  return text;
}

}  // namespace

InstallerRunResult RunUnderDebugger(const base::FilePath& exe,
                                    const std::wstring& arguments,
                                    const base::FilePath& temp_dir,
                                    base::TimeDelta timeout,
                                    const DebugTextCallback& on_text) {
  std::string temp = temp_dir.AsUTF8Unsafe();
  base::ScopedEnvironmentVariableOverride tmp("TMP", temp);
  base::ScopedEnvironmentVariableOverride temp_var("TEMP", temp);
  std::wstring command = L"\"" + exe.value() + L"\" " + arguments;
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION info = {};
  InstallerRunResult result;
  if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE,
                        DEBUG_PROCESS, nullptr, nullptr, &startup, &info)) {
    ADD_FAILURE() << "Cannot start " << exe.value() << ": " << ::GetLastError();
    return result;
  }
  base::win::ScopedHandle(info.hThread).Close();
  base::win::ScopedHandle program(info.hProcess);
  // The handles of the debug events, which the system closes.
  std::map<DWORD, HANDLE> processes;
  const base::TimeTicks deadline = base::TimeTicks::Now() + timeout;
  while (!result.finished && base::TimeTicks::Now() < deadline) {
    DEBUG_EVENT event = {};
    if (!::WaitForDebugEvent(&event, 100))
      continue;
    DWORD status = DBG_CONTINUE;
    switch (event.dwDebugEventCode) {
      case CREATE_PROCESS_DEBUG_EVENT:
        processes[event.dwProcessId] = event.u.CreateProcessInfo.hProcess;
        base::win::ScopedHandle(event.u.CreateProcessInfo.hFile).Close();
        break;
      case LOAD_DLL_DEBUG_EVENT:
        base::win::ScopedHandle(event.u.LoadDll.hFile).Close();
        break;
      case EXCEPTION_DEBUG_EVENT:
        // Each process's first breakpoint is the debugger's; every other
        // exception is the program's own to handle.
        if (event.u.Exception.ExceptionRecord.ExceptionCode !=
            EXCEPTION_BREAKPOINT) {
          status = DBG_EXCEPTION_NOT_HANDLED;
        }
        break;
      case OUTPUT_DEBUG_STRING_EVENT: {
        const HANDLE process = processes[event.dwProcessId];
        if (on_text(ReadDebugText(process, event.u.DebugString)))
          ::TerminateProcess(process, 0);
        break;
      }
      case EXIT_PROCESS_DEBUG_EVENT:
        processes.erase(event.dwProcessId);
        if (event.dwProcessId == info.dwProcessId) {
          result.finished = true;
          result.exit_code = static_cast<int>(event.u.ExitProcess.dwExitCode);
        }
        break;
    }
    ::ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
  }
  for (const auto& [pid, process] : processes) {
    if (!result.finished)
      ::TerminateProcess(process, 1);
    ::DebugActiveProcessStop(pid);
  }
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
