// Whole-file and folder operations over the Win32 file API.
//
// <windows.h> is included first on purpose: it turns names such as
// CopyFile and DeleteFile into macros (CopyFileW ...), so every file that
// sees these declarations must see the macros too, and then declarations
// and calls agree. Call them as base::CopyFile(...).
//
// Functions that fail leave the Windows error of the failing call in
// GetLastError(), so callers can log its text.

#ifndef BASE_FILES_FILE_UTIL_H_
#define BASE_FILES_FILE_UTIL_H_

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "base/files/file.h"
#include "base/files/file_path.h"
#include "base/win/scoped_handle.h"

namespace base {

// Paths of this length or more are refused by the copy, move and delete
// functions: the plain Win32 calls behind them cannot reach them.
constexpr size_t kMaxPathLength = MAX_PATH;

bool PathExists(const FilePath& path);
bool DirectoryExists(const FilePath& path);

// Creates the folder and every missing folder above it. An existing folder
// is success; an existing file of that name is failure. |error| (may be
// null) receives the reason of a failure.
bool CreateDirectoryAndGetError(const FilePath& full_path, File::Error* error);
bool CreateDirectory(const FilePath& full_path);

// Copies one file, replacing |to_path|, and clears the read-only attribute
// of the copy. Refuses paths with a ".." component or of kMaxPathLength
// characters or more.
bool CopyFile(const FilePath& from_path, const FilePath& to_path);

// CopyFile to a path where nothing is yet: fails with ERROR_FILE_EXISTS
// when |to_path| is taken (by a file or a folder, in any letter case) and
// with ERROR_PATH_NOT_FOUND when its folder is missing, leaving what is
// there untouched.
bool CopyFileToNewPath(const FilePath& from_path, const FilePath& to_path);

// CopyFileToNewPath for a caller that has just seen |from_path| writable:
// the copy takes the source's attributes, so it is writable too and is not
// looked at again (under Wine each look costs a path walk, once per file of
// an install).
bool CopyWritableFileToNewPath(const FilePath& from_path,
                               const FilePath& to_path);

// Moves or renames a file or folder, replacing an existing target file;
// a file may move to another volume. Same refusals as CopyFile.
bool Move(const FilePath& from_path, const FilePath& to_path);

// Replaces |to_path| with |from_path| on the same volume, keeping the
// target's attributes when it existed.
bool ReplaceFile(const FilePath& from_path,
                 const FilePath& to_path,
                 File::Error* error);

// Deletes a file or an empty folder; with |recursive| a folder with all it
// holds. An empty or missing path is success; a path of kMaxPathLength
// characters or more is failure. Read-only entries are deleted too. A
// junction or link inside the tree is removed itself, never what it points
// at.
bool DeleteFile(const FilePath& path, bool recursive);

// Asks Windows to delete the file or empty folder at the next restart.
bool DeleteFileAfterReboot(const FilePath& path);

// Reads a whole file. With |max_size|, a larger file leaves its first
// |max_size| bytes in |*contents| (when not null) and returns false.
// Refuses paths with a ".." component.
bool ReadFileToString(const FilePath& path, std::string* contents);
bool ReadFileToStringWithMaxSize(const FilePath& path,
                                 std::string* contents,
                                 size_t max_size);

// Reads up to |max_size| bytes from the start of the file. Returns the
// count read or -1.
int ReadFile(const FilePath& path, char* data, int max_size);

// Creates or truncates the file and writes |size| bytes. Returns |size| or
// -1; a short write is -1.
int WriteFile(const FilePath& path, const char* data, int size);
// The same for the whole of |data|; true when all of it was written.
bool WriteFile(const FilePath& path, std::string_view data);

// Appends to an existing file (a missing file is failure).
bool AppendToFile(const FilePath& path, const char* data, int size);

// Whether |handle|, opened through |path|, is the file or folder at that
// very place and not what a link there leads to: its final path is its
// folder's followed by its name. Under Wine a Unix link to a file is opened
// as its target and looks like a plain file; only this tells. True where
// the system cannot tell (before Vista, which has no links to files).
bool IsOpenedAtItsPlace(const FilePath& path, HANDLE handle);

// Deletes the file at |path| through a handle on it, in a folder that
// other programs may write: a link planted at the name, which Wine's
// DeleteFileW would follow to delete what it leads to, is refused and
// stays. True when no file is at the name afterwards. Logs nothing, so
// that logging itself may use it.
bool DeleteFileAtItsPlace(const FilePath& path);

// Which file or folder a handle is open on: its number on its volume, and
// the full path by which the system knows it, which names the volume and
// tells the file from what a link at its name leads to (before Vista, which
// has no links to files, the number alone).
struct FileIdentity {
  uint64_t index = 0;
  std::wstring final_path;
  bool operator==(const FileIdentity& other) const = default;
};
// Gives the |attributes| too (may be null); false when the system cannot
// tell.
bool GetFileIdentity(HANDLE handle,
                     FileIdentity* identity,
                     DWORD* attributes = nullptr);

// Opens the folder |folder| for listing it, with |access| besides, when it
// is a folder at that very place and not a link or junction there that
// leads elsewhere (Wine tells a Unix link to a folder by the attributes of
// its name only, Windows also through the handle). The handle shares no
// deletion, so that nobody can rename or replace the folder while it is
// open. Invalid (logged) when it cannot be opened or is a link.
win::ScopedHandle OpenFolderAtItsPlace(const FilePath& folder,
                                       DWORD access = 0);

// Deletes the folder |folder|, in a folder that other programs may write,
// with everything in it, when it is a folder at its place and still the one
// |identity| names: each file through a handle at its place
// (DeleteFileAtItsPlace), each folder likewise, a link to a folder by
// itself. What a link leads to is never deleted: a link to a file that
// cannot be told from a file at its place stays, and so does the folder.
// Goes on after a failure; true when nothing is left at the name.
bool DeleteFolderAtItsPlace(const FilePath& folder,
                            const FileIdentity& identity);

// Makes |path| a new file, open for writing as a stdio stream in |mode|
// ("w" for text, "wb"), for a folder that other programs may write: a file
// at the name goes first (DeleteFileAtItsPlace), and a name taken by a
// link, or again meanwhile, fails the open instead of being written
// through. Null when no new file can be made there.
FILE* OpenNewFileStream(const FilePath& path, const char* mode);

// Opens the existing file at |path| for appending as a text stdio stream,
// in a folder that other programs may write: a link planted at the name is
// refused, not appended to. Null when there is no such file.
FILE* OpenFileStreamToAppend(const FilePath& path);

bool GetFileSize(const FilePath& path, int64_t* file_size);
bool GetFileInfo(const FilePath& path, File::Info* info);

// True for an existing folder without entries.
bool IsDirectoryEmpty(const FilePath& dir_path);

// The user's temporary folder, without a trailing separator.
bool GetTempDir(FilePath* path);

// Creates a new empty file with a unique name in |dir| (the file stays).
bool CreateTemporaryFileInDir(const FilePath& dir, FilePath* temp_file);
// The same in the temporary folder.
bool CreateTemporaryFile(FilePath* temp_file);

// Creates a new folder named |prefix| and unique characters in |base_dir|.
bool CreateTemporaryDirInDir(const FilePath& base_dir,
                             FilePath::StringPieceType prefix,
                             FilePath* new_dir);
// The same in the temporary folder.
bool CreateNewTempDirectory(FilePath::StringPieceType prefix,
                            FilePath* new_temp_path);

bool GetCurrentDirectory(FilePath* path);
bool SetCurrentDirectory(const FilePath& path);

// The absolute form of |input| against the current folder, with "." and
// ".." resolved; the path need not exist. Empty on failure.
FilePath MakeAbsoluteFilePath(const FilePath& input);

}  // namespace base

#endif  // BASE_FILES_FILE_UTIL_H_
