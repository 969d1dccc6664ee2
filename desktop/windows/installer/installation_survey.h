// What the install folder and the registry show of the product's
// installation at a folder whose install log cannot be read, as an install
// log that the uninstall removes. It holds only what is provably this
// installation's, so that nothing else goes:
// - the version folders: subfolders named like a version ("45.0.2531.0",
//   "45.0.2531.0_1") that hold the product executable, with every file in
//   them; no other file of the folder, which may be the user's;
// - the registry rows of the tables whose values the registry holds exactly
//   as the tables write them for this folder: the uninstall entries whose
//   install location is this folder, the values that name the folder, and
//   the stream's registration (its class, client and file types) only when
//   the class's or the client's commands start this folder's launcher;
// - the shortcuts of the fixed names in the desktop, Start menu and Quick
//   Launch folders whose target lies in the folder.
//
//   InstallLog log;
//   std::vector<base::FilePath> version_folders;
//   SurveyInstallation(folder, &log, &version_folders);

#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALLATION_SURVEY_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALLATION_SURVEY_H_

#include <vector>

#include "base/files/file_path.h"
#include "desktop/windows/installer/install_log.h"

namespace installer {

// Fills |log| with what |folder| and the registry show: the folder as its
// install path, no subfolder, the files of the version folders relative to
// the folder, the registry records and the shortcuts; copy-only and not
// for all users, which the records may later contradict. The version
// folders go to |version_folders|, relative to the folder. Blocks on disk
// and registry; COM must be initialised.
void SurveyInstallation(const base::FilePath& folder,
                        InstallLog* log,
                        std::vector<base::FilePath>* version_folders);

// Whether |name| is a version subfolder's: four numbers joined by dots,
// possibly followed by "_" and a number.
bool IsVersionFolderName(const std::wstring& name);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALLATION_SURVEY_H_
