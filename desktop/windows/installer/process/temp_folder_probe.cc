#include "desktop/windows/installer/process/temp_folder_probe.h"

#include <windows.h>

#include <utility>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/process/launch.h"
#include "base/strings/utf_string_conversions.h"
#include "base/synchronization/lock.h"
#include "base/time/time.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/process/launch_lock.h"
#include "desktop/windows/installer/product/installer_switches.h"

namespace installer {

namespace {

// How long the probe copy of the installer may take to answer "--version".
constexpr base::TimeDelta kProbeTimeout = base::TimeDelta::FromSeconds(30);

base::Process LaunchProbe(const base::FilePath& copy) {
  base::AutoLock hold(GetProcessLaunchLock());
  // The answer goes nowhere: that the probe starts is what counts, and its
  // text must not reach whoever reads this process's output.
  SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
  base::win::ScopedHandle no_output(
      ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inheritable, OPEN_EXISTING, 0, nullptr));
  base::LaunchOptions options;
  options.start_hidden = true;
  if (no_output.IsValid()) {
    options.inherit_handles = true;
    options.handles_to_inherit = {no_output.Get()};
    options.stdout_handle = no_output.Get();
  }
  return base::LaunchProcess(
      L"\"" + copy.value() + L"\" --" + base::ASCIIToWide(switches::kVersion),
      options);
}

}  // namespace

// static
std::unique_ptr<TempFolderProbe> TempFolderProbe::Start(
    const base::FilePath& folder,
    const base::FilePath& probe_exe) {
  base::FilePath copy = folder.Append(probe_exe.BaseName());
  if (!base::CopyFile(probe_exe, copy)) {
    PLOG(WARNING) << "Cannot copy the probe to " << folder;
    return nullptr;
  }
  base::Process process = LaunchProbe(copy);
  if (!process.IsValid()) {
    PLOG(WARNING) << "Cannot start a program in " << folder;
    base::DeleteFile(copy, false);
    return nullptr;
  }
  return std::unique_ptr<TempFolderProbe>(
      new TempFolderProbe(std::move(copy), std::move(process)));
}

TempFolderProbe::TempFolderProbe(base::FilePath copy, base::Process process)
    : copy_(std::move(copy)), process_(std::move(process)) {}

TempFolderProbe::~TempFolderProbe() {
  Finish();
}

void TempFolderProbe::Finish() {
  if (!process_.IsValid())
    return;
  process_.WaitForExitWithTimeout(kProbeTimeout, nullptr);
  process_.Close();
  base::DeleteFile(copy_, false);
}

}  // namespace installer
