// The name under which the file system knows an open file or folder.

#ifndef BASE_WIN_FINAL_PATH_H_
#define BASE_WIN_FINAL_PATH_H_

#include <windows.h>

#include <string>

namespace base {
namespace win {

// GetFinalPathNameByHandleW of |handle| with |flags| (FILE_NAME_* and
// VOLUME_NAME_*), of any length, into |path|. False on failure, and always
// before Windows Vista, which lacks the call: the last error then says
// ERROR_CALL_NOT_IMPLEMENTED.
bool GetFinalPathOfHandle(HANDLE handle, DWORD flags, std::wstring* path);

}  // namespace win
}  // namespace base

#endif  // BASE_WIN_FINAL_PATH_H_
