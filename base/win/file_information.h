// Changes of a file made through a handle on it, and what is asked of it
// (ntdll's NtSetInformationFile and NtQueryInformationFile, which every
// Windows version has): the handle says which file, whatever its name leads
// to by then.

#ifndef BASE_WIN_FILE_INFORMATION_H_
#define BASE_WIN_FILE_INFORMATION_H_

#include <windows.h>

#include <cstdint>

namespace base {
namespace win {

// Marks the file of |file|, opened with DELETE access, to go when its last
// handle closes. False when it cannot.
bool MarkFileForDeletion(HANDLE file);

// The number of the file or folder |file| is open on, on its volume, and
// its |attributes| (may be null): what the file system keeps with the file,
// without asking the volume's manager (which Wine's GetFileInformationByHandle
// does, at the cost of a round trip to another process). False when it
// cannot be told.
bool QueryFileIndex(HANDLE file, uint64_t* index, DWORD* attributes);

}  // namespace win
}  // namespace base

#endif  // BASE_WIN_FILE_INFORMATION_H_
