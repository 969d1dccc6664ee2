// Runs the built installer.exe (or copies of it) as a child process for
// end-to-end tests, with its own temporary folder, and reads what it wrote.

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_INSTALLER_PROCESS_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_INSTALLER_PROCESS_H_

#include <functional>
#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "base/process/process.h"
#include "base/time/time.h"

namespace installer {
namespace test {

// bin/ of the build: installer.exe, installer.dll, stand_in.exe and the
// test executables lie there together.
base::FilePath GetBuildBinDir();

// Switches that keep a front end from calling the update server (the
// statistics upload, the pref default overrides fetch and the package
// fetch, which fails at once): tests and tools reach nothing beyond their
// loopback servers.
extern const wchar_t kNoUpdateServerSwitches[];

struct InstallerRunResult {
  bool finished = false;  // Ended within the time limit.
  int exit_code = -1;
  std::string output;  // Standard output.
};

// Runs |exe| with |arguments| (already quoted as needed) and the temporary
// folder |temp_dir| (TMP and TEMP), waiting at most |timeout|.
InstallerRunResult RunProgram(
    const base::FilePath& exe,
    const std::wstring& arguments,
    const base::FilePath& temp_dir,
    base::TimeDelta timeout = base::TimeDelta::FromSeconds(60));

// Starts |exe| as RunProgram does, without waiting for it.
base::Process StartProgram(const base::FilePath& exe,
                           const std::wstring& arguments,
                           const base::FilePath& temp_dir);

// Asked, with the process that wrote it stopped, for each text that a
// process of a debugged run wrote to its debugger (OutputDebugString):
// true ends that process there, as a kill from outside would.
using DebugTextCallback = std::function<bool(const std::string& text)>;

// Runs |exe| with the temporary folder |temp_dir| as the debugger of it and
// of every process it starts, so that |on_text| can hold them at each text
// they tell a debugger. What is left of them when |exe| ends goes on
// undebugged; after |timeout| all of them are ended.
InstallerRunResult RunUnderDebugger(const base::FilePath& exe,
                                    const std::wstring& arguments,
                                    const base::FilePath& temp_dir,
                                    base::TimeDelta timeout,
                                    const DebugTextCallback& on_text);

// Copies installer.exe and installer.dll into |dir|; the path of the copy of
// installer.exe, or empty on failure.
base::FilePath CopyInstallerTo(const base::FilePath& dir);

// The installer logs that runs with |temp_dir| wrote, oldest name first.
std::vector<base::FilePath> FindInstallerLogs(const base::FilePath& temp_dir);

// Every log of |temp_dir| joined.
std::string ReadInstallerLogs(const base::FilePath& temp_dir);

// Copies stand_in.exe to |dir|\|name|, to exit with |exit_code| after
// |wait_ms|.
base::FilePath MakeStandIn(const base::FilePath& dir,
                           const std::wstring& name,
                           int exit_code,
                           int wait_ms = 0);
// Copies ipc_test_sender.exe to |dir|\|name| to play a backend that reports
// success over the mailslot when |exit_code| is 0, after |wait_ms|, and
// exits with |exit_code|; its runs are recorded as a stand-in's.
base::FilePath MakeScriptedBackend(const base::FilePath& dir,
                                   const std::wstring& name,
                                   int exit_code,
                                   int wait_ms = 0);

// The command lines a stand-in recorded, one per run.
std::vector<std::string> StandInRuns(const base::FilePath& program);

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_INSTALLER_PROCESS_H_
