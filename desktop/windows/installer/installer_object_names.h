// The names of the kernel objects through which the installer processes of
// one install folder meet: the mutex that lets one installer at a time work
// on the folder, the mailslot from the backend to the front end, the front
// end's events, and the events of the folder-permission process. Each name
// holds the folder as the file system spells it, as installers of other
// versions and the browser name it: every spelling of an existing folder
// (case, short names, a trailing separator, another drive letter, a
// substituted drive, a junction) gives the same names.
//
//   const InstallerObjectNames names = InstallerObjectNames::ForFolder(folder);
//   ::OpenEventW(SYNCHRONIZE, FALSE, names.package_ready_event.c_str());

#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALLER_OBJECT_NAMES_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALLER_OBJECT_NAMES_H_

#include <string>

namespace base {
class FilePath;
}  // namespace base

namespace installer {

struct InstallerObjectNames {
  static InstallerObjectNames ForFolder(const base::FilePath& install_folder);

  // "Global\Kelvo/Installer/<folder>".
  std::wstring mutex;
  // Taken together with the mutex by this version's front ends: one name
  // for every spelling of the folder also before the folder exists, when
  // the part still to be made keeps the case it was typed in.
  std::wstring folder_lock;
  // The endpoint name that both ends of the mailslot connect to; its full
  // name stays within MAX_PATH characters.
  std::wstring mailslot_endpoint;
  // Made by the front end, global.
  std::wstring package_ready_event;
  std::wstring interrupted_event;
  // Made by the backend for the folder-permission process, local.
  std::wstring give_permission_event;
  std::wstring give_permission_undo_event;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALLER_OBJECT_NAMES_H_
