// Installer: waiting for the package that the front end still downloads,
// handing the operation to the package's own installer, and the waits for
// child processes, which all end too when the run is interrupted or its
// front end ends.

#include <windows.h>

#include <string>
#include <vector>

#include "base/command_line.h"
#include "base/logging.h"
#include "base/process/launch.h"
#include "base/strings/string_number_conversions.h"
#include "desktop/windows/installer/installer.h"
#include "desktop/windows/installer/installer_object_names.h"
#include "desktop/windows/installer/package_files.h"
#include "desktop/windows/installer/process/crash_reporter_pid.h"
#include "desktop/windows/installer/product/installer_switches.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/rc_l10n_handler/installer_string_ids.h"

namespace installer {

void Installer::WaitForPackage(bool post_elevation) {
  LOG(INFO) << "Need to wait for actual package";
  post_elevation_ = post_elevation;
  const std::wstring name =
      InstallerObjectNames::ForFolder(install_folder()).package_ready_event;
  LOG(INFO) << "Event name for package_ready: " << name;
  package_ready_watcher_.StopWatching();
  package_ready_event_.Set(::OpenEventW(SYNCHRONIZE, FALSE, name.c_str()));
  if (!package_ready_event_.IsValid()) {
    PLOG(ERROR) << "OpenEvent failed";
    NotifyError(IDS_ERROR_INSTALL, std::wstring(),
                "Failed to open a handle to the package ready "
                "event");
    return;
  }
  if (::WaitForSingleObject(package_ready_event_.Get(), 0) == WAIT_OBJECT_0) {
    OnObjectSignaled(package_ready_event_.Get());
    return;
  }
  if (!package_ready_watcher_.StartWatchingOnce(package_ready_event_.Get(),
                                                this)) {
    NotifyError(IDS_ERROR_INSTALL, std::wstring(),
                "Failed to watch the package ready event");
  }
}

void Installer::OnObjectSignaled(HANDLE object) {
  if (object == interrupted_event_.Get()) {
    LOG(INFO) << "Installation was interrupted";
    Cancel();
    return;
  }
  if (front_end_process_.IsValid() && object == front_end_process_.Handle()) {
    LOG(WARNING) << "The front end's process ended; cancelling the "
                 << "installation";
    Cancel();
    return;
  }
  if (!running_) {
    LOG(WARNING) << "The package is ready after the installation ended";
    return;
  }
  LOG(INFO) << "Package is ready";
  HandOverToPackageInstaller();
}

void Installer::HandOverToPackageInstaller() {
  const base::CommandLine& own = *base::CommandLine::ForCurrentProcess();
  const base::FilePath package =
      own.GetSwitchValuePath(switches::kWaitForPackage);
  base::CommandLine command_line = settings_->ToCommandLine(false);
  command_line.SetProgram(package.Append(kPackageInstallerExeName));
  if (post_elevation_)
    command_line.AppendSwitch(switches::kPostElevatedInstallTasks);
  command_line.AppendSwitchASCII(switches::kCrashReporterPid,
                                 GetCrashReporterPidText(own));

  // The run is not finished here: the package's installer works under the
  // folder rights this run holds, which Finish would take back.
  NotifyStartingNewMainProcess();
  LOG(INFO) << "Running installer from the package with command line: "
            << command_line.GetCommandLineString();
  base::Process process;
  if (package.IsAbsolute())
    process = base::LaunchProcess(command_line, base::LaunchOptions());
  else
    LOG(ERROR) << "The package folder \"" << package << "\" is not absolute";
  int exit_code = -1;
  ChildWaitResult wait = ChildWaitResult::kFailed;
  if (process.IsValid()) {
    wait = WaitForChildProcess(process, "the package's installer", &exit_code);
  }
  NotifyReturnedToPreviousMainProcess();

  if (!process.IsValid()) {
    NotifyError(IDS_ERROR_INSTALL, std::wstring(),
                "Failed to start installer process from the package folder.");
    return;
  }
  if (wait == ChildWaitResult::kAbandoned) {
    Cancel();
    return;
  }
  if (wait == ChildWaitResult::kExited && exit_code == 0) {
    OnSuccess();
    return;
  }
  LOG(ERROR) << "The package's installer ended with exit code " << exit_code;
  NotifyError(IDS_ERROR_INSTALL, std::wstring(),
              "Installer process did not complete "
              "successfully.");
}

Installer::ChildWaitResult Installer::WaitForChildProcess(
    const base::Process& child,
    const std::string& what,
    int* exit_code) {
  std::vector<HANDLE> handles = {child.Handle()};
  const std::vector<HANDLE> way_out = GetWayOutHandles();
  handles.insert(handles.end(), way_out.begin(), way_out.end());
  const DWORD result = ::WaitForMultipleObjects(
      static_cast<DWORD>(handles.size()), handles.data(), FALSE, INFINITE);
  if (result == WAIT_OBJECT_0) {
    if (child.WaitForExitWithTimeout(base::TimeDelta(), exit_code))
      return ChildWaitResult::kExited;
    LOG(ERROR) << "Cannot read the exit code of " << what;
    return ChildWaitResult::kFailed;
  }
  if (result > WAIT_OBJECT_0 && result < WAIT_OBJECT_0 + handles.size()) {
    LOG(WARNING) << DescribeWayOut(handles[result - WAIT_OBJECT_0])
                 << " while waiting for " << what;
    // The child watches the same event and process and ends by itself.
    if (!child.WaitForExitWithTimeout(kChildExitGrace, nullptr)) {
      LOG(ERROR) << what << " (process " << child.Pid()
                 << ") still runs; not waiting for it any longer";
      abandoned_child_ = child.Duplicate();
    }
    return ChildWaitResult::kAbandoned;
  }
  PLOG(ERROR) << "Failed waiting for " << what << " (result " << result << ")";
  return ChildWaitResult::kFailed;
}

std::vector<HANDLE> Installer::GetWayOutHandles() const {
  std::vector<HANDLE> handles;
  if (interrupted_event_.IsValid())
    handles.push_back(interrupted_event_.Get());
  if (front_end_process_.IsValid())
    handles.push_back(front_end_process_.Handle());
  return handles;
}

std::string Installer::DescribeWayOut(HANDLE handle) const {
  if (handle == interrupted_event_.Get())
    return "The installation was interrupted";
  return "The front end's process ended";
}

}  // namespace installer
