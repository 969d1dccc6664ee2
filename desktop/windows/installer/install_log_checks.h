// An install log is read from the install folder, which an unprivileged
// user may be able to write, and an uninstall that may run elevated turns
// its entries into deletions of files, folders and registry keys. These
// checks keep such entries inside what the installer can have made. The
// reader applies them to every log it reads; the clean-up code can apply
// them again to what it is about to delete.

#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALL_LOG_CHECKS_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALL_LOG_CHECKS_H_

#include <stdint.h>

#include <string_view>

#include "base/files/file_path.h"
#include "desktop/windows/installer/install_log.h"

namespace installer {

// A non-empty path below some folder: not absolute, not rooted ("\a"), no
// drive or stream colon, and no ".." component.
bool IsSafeRelativePath(const base::FilePath& path);

// A single file or folder name, such as a component's.
bool IsSafePlainName(std::string_view name);

// An absolute path of a shortcut file (".lnk") without ".." components.
bool IsSafeShortcutPath(const base::FilePath& path);

// A key below a registry root with at least two non-empty '\'-separated
// components, and a clean level that leaves at least two of them: clean-up
// removes the key with its last (clean level - 1) components dropped, and
// must never reach a root's top-level key such as "Software".
bool IsSafeRegistryKeyRecord(std::string_view key_path, int32_t clean_level);

// Drops every file, root file, shortcut, component and registry key record
// that fails its check, logging each. Returns false, leaving the log
// unchanged, when the version subfolder itself is unsafe: every file entry
// is relative to it, so nothing in such a log can be trusted.
bool RemoveUnsafeEntries(InstallLog* log);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALL_LOG_CHECKS_H_
