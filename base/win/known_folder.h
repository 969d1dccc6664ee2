// Paths of the shell's known folders.

#ifndef BASE_WIN_KNOWN_FOLDER_H_
#define BASE_WIN_KNOWN_FOLDER_H_

#include <windows.h>

#include <shtypes.h>

namespace base {

class FilePath;

namespace win {

enum class KnownFolderAccess {
  // The folder must exist.
  kExisting,
  // A missing folder is created (with its desktop.ini) first.
  kCreate,
  // The path also when the folder is not there (yet).
  kUnverified,
};

// The path of |folder_id| in |*path|. False, |*path| untouched, when the
// system has no such folder or |access| cannot be met.
bool GetKnownFolderPath(REFKNOWNFOLDERID folder_id,
                        KnownFolderAccess access,
                        FilePath* path);

}  // namespace win
}  // namespace base

#endif  // BASE_WIN_KNOWN_FOLDER_H_
