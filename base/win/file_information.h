// Changes of a file made through a handle on it (ntdll's
// NtSetInformationFile, which every Windows version has): the handle says
// which file, whatever its name leads to by then.

#ifndef BASE_WIN_FILE_INFORMATION_H_
#define BASE_WIN_FILE_INFORMATION_H_

#include <windows.h>

#include <string>

namespace base {
namespace win {

// Marks the file of |file|, opened with DELETE access, to go when its last
// handle closes. False when it cannot.
bool MarkFileForDeletion(HANDLE file);

// Renames the file of |file|, opened with DELETE access, to the full path
// |target|, which must be free; false (with the status in |*status| when
// given) when it cannot.
bool RenameFile(HANDLE file, const std::wstring& target, long* status);

}  // namespace win
}  // namespace base

#endif  // BASE_WIN_FILE_INFORMATION_H_
