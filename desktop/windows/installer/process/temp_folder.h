// The installer's folder for downloads and other temporary files, found in
// the first place from which programs can be started.

#ifndef DESKTOP_WINDOWS_INSTALLER_PROCESS_TEMP_FOLDER_H_
#define DESKTOP_WINDOWS_INSTALLER_PROCESS_TEMP_FOLDER_H_

#include <string>

#include "base/files/file_path.h"

namespace installer {

// Finds, and creates when missing, the folder |folder_name| under the first
// usable base folder (temporary folder, Downloads, home, own folder). With a
// |probe_exe|, a base is usable only when a copy of the probe can be started
// from the candidate folder; the copy is waited for and deleted before the
// return. False when no base works.
bool FindUsableTempDir(const std::wstring& folder_name,
                       const base::FilePath& probe_exe,
                       base::FilePath* folder);

// "<product name> Installer".
std::wstring GetInstallerTempFolderName();

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PROCESS_TEMP_FOLDER_H_
