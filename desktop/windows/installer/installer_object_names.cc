#include "desktop/windows/installer/installer_object_names.h"

#include <windows.h>

#include "base/files/file_path.h"
#include "desktop/windows/installer/ipc/installer_message.h"
#include "desktop/windows/installer/ipc/ipc_util.h"
#include "desktop/windows/installer/service/utils.h"

namespace installer {

// static
InstallerObjectNames InstallerObjectNames::ForFolder(
    const base::FilePath& install_folder) {
  InstallerObjectNames names;
  names.mutex =
      MakeKernelObjectName(install_folder, L"Kelvo/Installer", /*global=*/true);
  names.folder_lock = MakeCaseBlindKernelObjectName(
      install_folder, L"KelvoInstaller/FolderLock", /*global=*/true);
  const size_t mailslot_prefix_length =
      GetMailslotFullName(GetInstallerEndpointName(std::wstring())).size();
  names.mailslot_endpoint = GetInstallerEndpointName(
      GetCanonicalPathText(install_folder, MAX_PATH - mailslot_prefix_length));
  names.package_ready_event = MakeKernelObjectName(
      install_folder, L"KelvoInstaller/PackageReady", /*global=*/true);
  names.interrupted_event = MakeKernelObjectName(
      install_folder, L"KelvoInstaller/InstallationInterrupted",
      /*global=*/true);
  names.give_permission_event = MakeKernelObjectName(
      install_folder, L"KelvoInstaller/GiveInstallPermission",
      /*global=*/false);
  names.give_permission_undo_event = MakeKernelObjectName(
      install_folder, L"KelvoInstaller/GiveInstallPermission/Undo",
      /*global=*/false);
  return names;
}

}  // namespace installer
