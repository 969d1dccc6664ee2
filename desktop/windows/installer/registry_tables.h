// The browser's registration in the registry, as compiled-in rows for
// RegistryEntry with RowTemplates as resolver: its URL and file class, the
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
// The class key of the file type that is the browser's alone, its unfinished
// downloads. Its row takes out only the browser's own value again, as
// another stream of the browser may keep one beside it; the keys below it
// go once they are empty, as no other program uses them.
extern const wchar_t kOwnFileTypeKey[];

// The rows an install or upgrade writes, in order; they begin with the URL
// class.
std::span<const RegistryRow> GetMainRegistryTable();
// The browser's URL class, "{Product}{Stream}".
std::span<const RegistryRow> GetUrlClassRows();
// The browser as handler of the protocol or file type "{Protocol}" or
// "{Extension}". Their last row drops the user's own choice, which would
// hide the class from Windows Vista on.
std::span<const RegistryRow> GetProtocolRows();
std::span<const RegistryRow> GetFileTypeRows();
// The browser as the "StartMenuInternet" client.
std::span<const RegistryRow> GetStartMenuInternetRows();
// The install folder remembered for the next install ("Last {Stream}
// Install Path"), and the removal of its legacy 64-bit twin.
const RegistryRow& GetLastInstallPathRow();
const RegistryRow& GetLegacyX64LastInstallPathRow();
// Hides the uninstall entry from Programs and Features; appended to the
// main table when the installer feature asks for it.
const RegistryRow& GetHideFromProgramsRow();

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_REGISTRY_TABLES_H_
