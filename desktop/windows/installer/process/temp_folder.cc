#include "desktop/windows/installer/process/temp_folder.h"

#include <windows.h>

#include <knownfolders.h>

#include <utility>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/known_folder.h"
#include "desktop/windows/installer/process/temp_folder_probe.h"
#include "desktop/windows/installer/product/version_info.h"

namespace installer {

namespace {

bool TryTempDirBase(const base::FilePath& base_dir,
                    const std::wstring& folder_name,
                    const base::FilePath& probe_exe,
                    base::FilePath* folder,
                    base::win::ScopedHandle* held) {
  if (base_dir.empty())
    return false;
  base::FilePath candidate = base_dir.Append(folder_name);
  bool existed = base::DirectoryExists(candidate);
  base::win::ScopedHandle own = OpenInstallerFolder(candidate);
  if (!own.IsValid())
    return false;
  if (!probe_exe.empty()) {
    std::unique_ptr<TempFolderProbe> probe =
        TempFolderProbe::Start(candidate, probe_exe);
    if (!probe) {
      own.Close();
      if (!existed)
        base::DeleteFile(candidate, false);  // Only when empty.
      return false;
    }
    probe->Finish();
  }
  *folder = candidate;
  if (held)
    *held = std::move(own);
  return true;
}

}  // namespace

base::win::ScopedHandle OpenInstallerFolder(const base::FilePath& folder) {
  if (!::CreateDirectoryW(folder.value().c_str(), nullptr) &&
      ::GetLastError() != ERROR_ALREADY_EXISTS) {
    // A missing parent is made too, as for any folder of the installer.
    if (!base::CreateDirectory(folder)) {
      PLOG(WARNING) << "Cannot create the folder " << folder;
      return base::win::ScopedHandle();
    }
  }
  return base::OpenFolderAtItsPlace(folder);
}

bool FindUsableTempDir(const std::wstring& folder_name,
                       const base::FilePath& probe_exe,
                       base::FilePath* folder,
                       base::win::ScopedHandle* held) {
  base::FilePath base_dir;
  if (base::PathService::Get(base::DIR_TEMP, &base_dir) &&
      TryTempDirBase(base_dir, folder_name, probe_exe, folder, held)) {
    return true;
  }
  base_dir.clear();
  if (base::win::GetKnownFolderPath(FOLDERID_Downloads,
                                    base::win::KnownFolderAccess::kCreate,
                                    &base_dir) &&
      TryTempDirBase(base_dir, folder_name, probe_exe, folder, held)) {
    return true;
  }
  for (int key : {base::DIR_HOME, base::DIR_EXE}) {
    base_dir.clear();
    if (base::PathService::Get(key, &base_dir) &&
        TryTempDirBase(base_dir, folder_name, probe_exe, folder, held)) {
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
