// Turns the name of an archive entry into a path below the output folder.
// Names come from the archive, which may be hostile: a name that could
// reach outside the folder, or that Windows would read as something else
// than a plain relative path, is refused rather than repaired.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_ARCHIVE_ENTRY_PATH_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_ARCHIVE_ENTRY_PATH_H_

#include <string_view>

#include "base/files/file_path.h"

namespace installer {

// Accepts "/" and "\" as separators. Refuses an empty name or component
// (so a leading or doubled separator), "." and "..", a component ending in
// "." or " " (which Windows drops, so that they alias others), control
// characters, any of <>:"|?* (so drive letters and alternate streams), and
// reserved device names such as "CON", "nul.txt" or "COM1". On success
// |*relative| is the name with "\" separators.
bool ArchiveEntryNameToRelativePath(std::wstring_view name,
                                    base::FilePath* relative);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_ARCHIVE_ENTRY_PATH_H_
