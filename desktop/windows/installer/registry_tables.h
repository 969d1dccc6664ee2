// The browser's registration in the registry, as compiled-in rows for
// RegistryEntry with the Installer as resolver: its URL and file class, the
// file types it opens, its "StartMenuInternet" client with capabilities,
// application paths, the compatibility flag, and the uninstall entry, which
// lives in the 32-bit registry view.

#ifndef DESKTOP_WINDOWS_INSTALLER_REGISTRY_TABLES_H_
#define DESKTOP_WINDOWS_INSTALLER_REGISTRY_TABLES_H_

#include <span>

#include "desktop/windows/installer/registry_entry.h"

namespace installer {

// The key template of the uninstall entry's rows.
extern const wchar_t kUninstallKeyTemplate[];

// The rows an install or upgrade writes, in order.
std::span<const RegistryRow> GetMainRegistryTable();
// The install folder remembered for the next install ("Last {Stream}
// Install Path"), and the removal of its legacy 64-bit twin.
const RegistryRow& GetLastInstallPathRow();
const RegistryRow& GetLegacyX64LastInstallPathRow();
// Hides the uninstall entry from Programs and Features; appended to the
// main table when the installer feature asks for it.
const RegistryRow& GetHideFromProgramsRow();

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_REGISTRY_TABLES_H_
