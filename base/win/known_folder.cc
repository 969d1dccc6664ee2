#include "base/win/known_folder.h"

#include <shlobj.h>

#include "base/files/file_path.h"
#include "base/win/scoped_co_mem.h"

namespace base {
namespace win {

namespace {

bool QueryKnownFolder(REFKNOWNFOLDERID folder_id, DWORD flags, FilePath* path) {
  ScopedCoMem<wchar_t> buffer;
  if (FAILED(::SHGetKnownFolderPath(folder_id, flags, nullptr, &buffer)) ||
      !buffer.get() || !*buffer.get()) {
    return false;
  }
  *path = FilePath(buffer.get());
  return true;
}

}  // namespace

bool GetKnownFolderPath(REFKNOWNFOLDERID folder_id,
                        KnownFolderAccess access,
                        FilePath* path) {
  switch (access) {
    case KnownFolderAccess::kExisting:
      return QueryKnownFolder(folder_id, 0, path);
    case KnownFolderAccess::kCreate:
      // Asked plainly first: creating may fail where the folder exists.
      return QueryKnownFolder(folder_id, 0, path) ||
             QueryKnownFolder(folder_id, KF_FLAG_CREATE | KF_FLAG_INIT, path);
    case KnownFolderAccess::kUnverified:
      return QueryKnownFolder(folder_id, KF_FLAG_DONT_VERIFY, path);
  }
  return false;
}

}  // namespace win
}  // namespace base
