// The installer's folder for downloads and other temporary files, found in
// the first place from which programs can be started.

#ifndef DESKTOP_WINDOWS_INSTALLER_PROCESS_TEMP_FOLDER_H_
#define DESKTOP_WINDOWS_INSTALLER_PROCESS_TEMP_FOLDER_H_

#include <string>

#include "base/files/file_path.h"
#include "base/win/scoped_handle.h"

namespace installer {

// Finds, and creates when missing, the folder |folder_name| under the first
// usable base folder (temporary folder, Downloads, home, own folder). With a
// |probe_exe|, a base is usable only when a copy of the probe can be started
// from the candidate folder; the copy is waited for and deleted before the
// return. A candidate that is a link to somewhere else is not usable (see
// OpenInstallerFolder); with |held|, the folder found stays held. False
// when no base works.
bool FindUsableTempDir(const std::wstring& folder_name,
                       const base::FilePath& probe_exe,
                       base::FilePath* folder,
                       base::win::ScopedHandle* held = nullptr);

// Creates |folder| when missing and opens it when it is a folder at that
// very place: another program may have put a link or junction there that
// leads the installer's files elsewhere. The handle shares no deletion, so
// that nobody can rename or replace the folder while it is held. Invalid
// (logged) when the folder cannot be had or is a link.
base::win::ScopedHandle OpenInstallerFolder(const base::FilePath& folder);

// "<product name> Installer".
std::wstring GetInstallerTempFolderName();

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PROCESS_TEMP_FOLDER_H_
