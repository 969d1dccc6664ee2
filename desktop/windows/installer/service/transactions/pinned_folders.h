// Files reached so that the object a check finds is the object a change
// acts on. Another program may swap a folder for a link or junction at any
// moment; a path checked first and used afterwards may by then lead
// elsewhere. Here every folder on the way is opened and held, each level
// checked through its own handle to be where its path says (no reparse
// point, and the system's final name of the handle is the parent's final
// name and the level's name), and held without delete sharing, so that it
// cannot be renamed away or replaced while the change is made. The file
// itself is checked the same way through the handle that then deletes or
// renames it.
//
//   PinnedFolders folders({desktop});
//   if (folders.DeleteFile(install_folder.Append(L"a.dll")) ==
//       PinnedFolders::Result::kFailed) ...
//
// A path is reached from its drive's root (or share), level by level, or,
// below one of the known folders given at construction (folders the
// system names, such as the desktop), from that folder as the system
// resolves it. Under Wine, which reports no link to a file as a reparse
// point and follows every link it opens, the final name of the handle is
// what tells.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_PINNED_FOLDERS_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_PINNED_FOLDERS_H_

#include <stdint.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "base/win/scoped_handle.h"

namespace installer {

class PinnedFolders {
 public:
  enum class Result {
    kDone,
    // Nothing there to act on, or, for a move, its place is taken.
    kAbsent,
    // Reached through a link or junction, or not of the kind asked for:
    // left alone, and logged.
    kRefused,
    // The change itself failed; logged.
    kFailed,
  };

  explicit PinnedFolders(const std::vector<base::FilePath>& known_folders = {});
  PinnedFolders(const PinnedFolders&) = delete;
  PinnedFolders& operator=(const PinnedFolders&) = delete;
  ~PinnedFolders();

  // Holds |folder| and the folders above it; false (and logged) when one is
  // missing or reached through a link.
  bool Pin(const base::FilePath& folder);

  // Deletes the file |path|; a folder there is refused.
  Result DeleteFile(const base::FilePath& path);
  // Deletes |path|, a file or a folder with what it holds. A link inside
  // is left, and the folders above it with it.
  Result DeleteTree(const base::FilePath& path);
  // Renames |from| to |to|, which must be free, in a folder held as well.
  Result Move(const base::FilePath& from, const base::FilePath& to);
  // Removes the folder |path| when it is empty.
  Result RemoveEmptyFolder(const base::FilePath& path);
  // Reads the file |path| into |content|; kRefused when it is longer than
  // |max_size|.
  Result ReadFile(const base::FilePath& path,
                  int64_t max_size,
                  std::string* content);

 private:
  struct Folder {
    base::win::ScopedHandle handle;
    // The system's final name of the folder, without "\\?\".
    base::FilePath final_path;
  };

  // The held folder |path|, opening and checking it and the folders above
  // it first when they are not held yet.
  Result GetFolder(const base::FilePath& path, const Folder** held);
  // Opens |path| with |access| and |share|, its folder held first, and
  // checks it through the handle; |is_folder| tells what it is.
  Result OpenChecked(const base::FilePath& path,
                     DWORD access,
                     DWORD share,
                     base::win::ScopedHandle* handle,
                     bool* is_folder);
  // Lets go of |path| and every folder held below it, so that it can
  // itself be deleted or renamed.
  void Release(const base::FilePath& path);

  const std::vector<base::FilePath> known_folders_;
  // By the folder's path in lower case.
  std::map<std::wstring, std::unique_ptr<Folder>> folders_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_PINNED_FOLDERS_H_
