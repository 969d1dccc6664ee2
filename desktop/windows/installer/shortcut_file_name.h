// The file name of the browser's shortcuts.

#ifndef DESKTOP_WINDOWS_INSTALLER_SHORTCUT_FILE_NAME_H_
#define DESKTOP_WINDOWS_INSTALLER_SHORTCUT_FILE_NAME_H_

#include <string>

namespace installer {

// The branding's product name, with |with_version| a blank and the product
// major version, then the branding's shortcut suffix and ".lnk".
std::wstring GetShortcutFileName(bool with_version);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SHORTCUT_FILE_NAME_H_
