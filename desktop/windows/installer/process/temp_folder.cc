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
  base::win::ScopedHandle held(::CreateFileW(
      folder.value().c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!held.IsValid()) {
    PLOG(WARNING) << "Cannot open the folder " << folder;
    return held;
  }
  // Asked once the folder is held: the name can no longer be moved away.
  // Wine tells a Unix link to a folder by its attributes only, Windows
  // also through the handle.
  const DWORD attributes = ::GetFileAttributesW(folder.value().c_str());
  BY_HANDLE_FILE_INFORMATION info = {};
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
      !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      !::GetFileInformationByHandle(held.Get(), &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
      !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      !base::IsOpenedAtItsPlace(folder, held.Get())) {
    LOG(ERROR) << folder << " is a link to another place: not used";
    held.Close();
  }
  return held;
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
