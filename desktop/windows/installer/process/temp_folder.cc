#include "desktop/windows/installer/process/temp_folder.h"

#include <windows.h>

#include <knownfolders.h>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/process/launch.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"
#include "base/synchronization/lock.h"
#include "base/time/time.h"
#include "base/win/known_folder.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/process/launch_lock.h"
#include "desktop/windows/installer/product/installer_switches.h"
#include "desktop/windows/installer/product/version_info.h"

namespace installer {

namespace {

// How long the probe copy of the installer may take to answer "--version".
constexpr base::TimeDelta kProbeTimeout = base::TimeDelta::FromSeconds(30);

// Shows that programs can be started from |folder|: a copy of |probe_exe|
// placed there must start and answer "--version".
bool ProbeFolder(const base::FilePath& folder,
                 const base::FilePath& probe_exe) {
  base::FilePath copy = folder.Append(probe_exe.BaseName());
  if (!base::CopyFile(probe_exe, copy)) {
    PLOG(WARNING) << "Cannot copy the probe to " << folder;
    return false;
  }
  base::Process process;
  {
    base::AutoLock hold(GetProcessLaunchLock());
    // The answer goes nowhere: that the probe starts is what counts, and
    // its text must not reach whoever reads this process's output.
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
    process = base::LaunchProcess(
        L"\"" + copy.value() + L"\" --" + base::ASCIIToWide(switches::kVersion),
        options);
  }
  const bool started = process.IsValid();
  if (started)
    process.WaitForExitWithTimeout(kProbeTimeout, nullptr);
  else
    PLOG(WARNING) << "Cannot start a program in " << folder;
  // A probe still running at the limit keeps its file; the folder stays
  // ours.
  process.Close();
  base::DeleteFile(copy, false);
  return started;
}

bool TryTempDirBase(const base::FilePath& base_dir,
                    const std::wstring& folder_name,
                    const base::FilePath& probe_exe,
                    base::FilePath* folder) {
  if (base_dir.empty())
    return false;
  base::FilePath candidate = base_dir.Append(folder_name);
  bool existed = base::DirectoryExists(candidate);
  if (!existed && !base::CreateDirectory(candidate))
    return false;
  if (!probe_exe.empty() && !ProbeFolder(candidate, probe_exe)) {
    if (!existed)
      base::DeleteFile(candidate, false);  // Only when empty.
    return false;
  }
  *folder = candidate;
  return true;
}

}  // namespace

bool FindUsableTempDir(const std::wstring& folder_name,
                       const base::FilePath& probe_exe,
                       base::FilePath* folder) {
  base::FilePath base_dir;
  if (base::PathService::Get(base::DIR_TEMP, &base_dir) &&
      TryTempDirBase(base_dir, folder_name, probe_exe, folder)) {
    return true;
  }
  base_dir.clear();
  if (base::win::GetKnownFolderPath(FOLDERID_Downloads,
                                    base::win::KnownFolderAccess::kCreate,
                                    &base_dir) &&
      TryTempDirBase(base_dir, folder_name, probe_exe, folder)) {
    return true;
  }
  for (int key : {base::DIR_HOME, base::DIR_EXE}) {
    base_dir.clear();
    if (base::PathService::Get(key, &base_dir) &&
        TryTempDirBase(base_dir, folder_name, probe_exe, folder)) {
      return true;
    }
  }
  return false;
}

std::wstring GetInstallerTempFolderName() {
  return base::UTF8ToWide(
      base::StringPrintf("%s Installer", GetProductName().c_str()));
}

}  // namespace installer
