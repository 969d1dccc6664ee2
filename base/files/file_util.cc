#include "base/files/file_util.h"

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <limits>
#include <vector>

#include "base/files/file_enumerator.h"
#include "base/logging.h"
#include "base/win/file_information.h"
#include "base/win/scoped_handle.h"

namespace base {

namespace {

// Sets |error| as the last Windows error and returns false, so that a
// refusal reads like any other failed file call.
bool FailWith(DWORD error) {
  ::SetLastError(error);
  return false;
}

// The refusals shared by copy and move.
bool IsAcceptableForCopyOrMove(const FilePath& from_path,
                               const FilePath& to_path) {
  if (from_path.ReferencesParent() || to_path.ReferencesParent()) {
    LOG(ERROR) << "Refusing a path with \"..\": " << from_path << " -> "
               << to_path;
    return FailWith(ERROR_BAD_PATHNAME);
  }
  if (from_path.value().size() >= kMaxPathLength ||
      to_path.value().size() >= kMaxPathLength) {
    LOG(ERROR) << "Refusing a path that is too long: " << from_path << " -> "
               << to_path;
    return FailWith(ERROR_FILENAME_EXCED_RANGE);
  }
  return true;
}

bool DeleteEntry(const FilePath& path, DWORD attributes, bool recursive);

// Deletes everything in |folder|, going on after a failure so that as much
// as possible goes; the first failure's error stays the last error.
bool DeleteFolderContents(const FilePath& folder) {
  DWORD first_error = ERROR_SUCCESS;
  FileEnumerator entries(folder, false,
                         FileEnumerator::FILES | FileEnumerator::DIRECTORIES);
  for (FilePath entry = entries.Next(); !entry.empty();
       entry = entries.Next()) {
    DWORD attributes = entries.GetInfo().find_data().dwFileAttributes;
    if (!DeleteEntry(entry, attributes, true)) {
      PLOG(WARNING) << "Cannot delete " << entry;
      if (first_error == ERROR_SUCCESS)
        first_error = ::GetLastError();
    }
  }
  return first_error == ERROR_SUCCESS || FailWith(first_error);
}

bool DeleteEntry(const FilePath& path, DWORD attributes, bool recursive) {
  const wchar_t* name = path.value().c_str();
  if ((attributes & FILE_ATTRIBUTE_READONLY) &&
      !::SetFileAttributesW(name, attributes & ~FILE_ATTRIBUTE_READONLY)) {
    return false;
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
    return ::DeleteFileW(name) != FALSE;
  // A junction or directory link goes by itself; what it points at stays.
  if (recursive && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
      !DeleteFolderContents(path)) {
    return false;
  }
  return ::RemoveDirectoryW(name) != FALSE;
}

// Calls a Win32 function of the "fill a buffer, or return the size needed"
// kind until the buffer is big enough. Returns false when it fails.
template <typename Getter>
bool GetGrowingString(Getter getter, std::wstring* result) {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD length = getter(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0)
      return false;
    if (length < buffer.size()) {
      result->assign(buffer.data(), length);
      return true;
    }
    buffer.resize(length + 1);
  }
  return false;
}

}  // namespace

bool PathExists(const FilePath& path) {
  return ::GetFileAttributesW(path.value().c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool DirectoryExists(const FilePath& path) {
  DWORD attributes = ::GetFileAttributesW(path.value().c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateDirectoryAndGetError(const FilePath& full_path, File::Error* error) {
  DWORD attributes = ::GetFileAttributesW(full_path.value().c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
      return true;
    LOG(WARNING) << "Cannot create the folder " << full_path
                 << ": a file has that name";
    if (error)
      *error = File::FILE_ERROR_NOT_A_DIRECTORY;
    return FailWith(ERROR_ALREADY_EXISTS);
  }

  // Create the missing parents first, top down.
  FilePath parent = full_path.DirName();
  if (parent == full_path) {
    // A root that does not exist (a missing drive or share).
    if (error)
      *error = File::FILE_ERROR_NOT_FOUND;
    return FailWith(ERROR_PATH_NOT_FOUND);
  }
  if (!CreateDirectoryAndGetError(parent, error))
    return false;

  if (::CreateDirectoryW(full_path.value().c_str(), nullptr))
    return true;
  DWORD last_error = ::GetLastError();
  // Someone else may have created it meanwhile.
  if (last_error == ERROR_ALREADY_EXISTS && DirectoryExists(full_path))
    return true;
  LOG(WARNING) << "Cannot create the folder " << full_path << ": "
               << logging::SystemErrorCodeToString(last_error);
  if (error)
    *error = File::OSErrorToFileError(last_error);
  return FailWith(last_error);
}

bool CreateDirectory(const FilePath& full_path) {
  return CreateDirectoryAndGetError(full_path, nullptr);
}

namespace {

bool CopyFileAndClearReadOnly(const FilePath& from_path,
                              const FilePath& to_path,
                              bool fail_if_exists,
                              bool source_writable = false) {
  if (!IsAcceptableForCopyOrMove(from_path, to_path))
    return false;
  const wchar_t* dest = to_path.value().c_str();
  if (!::CopyFileW(from_path.value().c_str(), dest, fail_if_exists))
    return false;
  if (source_writable)
    return true;
  // The copy takes the source's attributes; a read-only copy would block
  // the next update of the file.
  DWORD attributes = ::GetFileAttributesW(dest);
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return false;
  if ((attributes & FILE_ATTRIBUTE_READONLY) &&
      !::SetFileAttributesW(dest, attributes & ~FILE_ATTRIBUTE_READONLY)) {
    PLOG(WARNING) << "Cannot clear the read-only attribute of " << to_path;
  }
  return true;
}

}  // namespace

bool CopyFile(const FilePath& from_path, const FilePath& to_path) {
  return CopyFileAndClearReadOnly(from_path, to_path,
                                  /*fail_if_exists=*/false);
}

bool CopyFileToNewPath(const FilePath& from_path, const FilePath& to_path) {
  return CopyFileAndClearReadOnly(from_path, to_path, /*fail_if_exists=*/true);
}

bool CopyWritableFileToNewPath(const FilePath& from_path,
                               const FilePath& to_path) {
  return CopyFileAndClearReadOnly(from_path, to_path, /*fail_if_exists=*/true,
                                  /*source_writable=*/true);
}

bool Move(const FilePath& from_path, const FilePath& to_path) {
  if (!IsAcceptableForCopyOrMove(from_path, to_path))
    return false;
  return ::MoveFileExW(from_path.value().c_str(), to_path.value().c_str(),
                       MOVEFILE_COPY_ALLOWED | MOVEFILE_REPLACE_EXISTING) !=
         FALSE;
}

bool ReplaceFile(const FilePath& from_path,
                 const FilePath& to_path,
                 File::Error* error) {
  // A plain rename works when the target does not exist yet.
  if (::MoveFileExW(from_path.value().c_str(), to_path.value().c_str(), 0))
    return true;
  DWORD move_error = ::GetLastError();
  // ReplaceFile keeps the target's attributes and security; merge errors
  // (on shares that refuse the ACL copy) do not matter.
  if (::ReplaceFileW(to_path.value().c_str(), from_path.value().c_str(),
                     nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                     nullptr)) {
    return true;
  }
  DWORD replace_error = ::GetLastError();
  // "Not found" from ReplaceFile means the target was missing, and then the
  // move's error is the one that says what went wrong.
  DWORD last_error =
      File::OSErrorToFileError(replace_error) == File::FILE_ERROR_NOT_FOUND
          ? move_error
          : replace_error;
  if (error)
    *error = File::OSErrorToFileError(last_error);
  return FailWith(last_error);
}

bool DeleteFile(const FilePath& path, bool recursive) {
  if (path.empty())
    return true;
  if (path.value().size() >= kMaxPathLength) {
    LOG(ERROR) << "Refusing to delete a path that is too long: " << path;
    return FailWith(ERROR_FILENAME_EXCED_RANGE);
  }
  DWORD attributes = ::GetFileAttributesW(path.value().c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD last_error = ::GetLastError();
    return last_error == ERROR_FILE_NOT_FOUND ||
           last_error == ERROR_PATH_NOT_FOUND;
  }
  return DeleteEntry(path, attributes, recursive);
}

bool DeleteFileAfterReboot(const FilePath& path) {
  if (path.value().size() >= kMaxPathLength)
    return FailWith(ERROR_FILENAME_EXCED_RANGE);
  return ::MoveFileExW(
             path.value().c_str(), nullptr,
             MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool ReadFileToString(const FilePath& path, std::string* contents) {
  return ReadFileToStringWithMaxSize(path, contents, std::string::npos);
}

bool ReadFileToStringWithMaxSize(const FilePath& path,
                                 std::string* contents,
                                 size_t max_size) {
  if (contents)
    contents->clear();
  if (path.ReferencesParent()) {
    LOG(ERROR) << "Refusing to read a path with \"..\": " << path;
    return FailWith(ERROR_BAD_PATHNAME);
  }
  // Shared for deletion: a writer may replace the file atomically meanwhile.
  File file(path, File::FLAG_OPEN | File::FLAG_READ | File::FLAG_SHARE_DELETE);
  if (!file.IsValid())
    return false;

  std::string result;
  std::vector<char> buffer(1 << 16);
  bool complete = true;
  for (;;) {
    int bytes_read =
        file.ReadAtCurrentPos(buffer.data(), static_cast<int>(buffer.size()));
    if (bytes_read < 0) {
      complete = false;
      break;
    }
    if (bytes_read == 0)
      break;
    size_t room = max_size - result.size();
    if (static_cast<size_t>(bytes_read) > room) {
      result.append(buffer.data(), room);
      complete = false;
      ::SetLastError(ERROR_FILE_TOO_LARGE);
      break;
    }
    result.append(buffer.data(), static_cast<size_t>(bytes_read));
  }
  if (contents)
    *contents = std::move(result);
  return complete;
}

int ReadFile(const FilePath& path, char* data, int max_size) {
  if (max_size < 0)
    return -1;
  // Shared for deletion: a writer may replace the file atomically meanwhile.
  File file(path, File::FLAG_OPEN | File::FLAG_READ | File::FLAG_SHARE_DELETE);
  if (!file.IsValid())
    return -1;
  return file.ReadAtCurrentPos(data, max_size);
}

int WriteFile(const FilePath& path, const char* data, int size) {
  if (size < 0)
    return -1;
  File file(path, File::FLAG_CREATE_ALWAYS | File::FLAG_WRITE |
                      File::FLAG_EXCLUSIVE_READ | File::FLAG_EXCLUSIVE_WRITE);
  if (!file.IsValid()) {
    PLOG(WARNING) << "Cannot create " << path;
    return -1;
  }
  int written = file.WriteAtCurrentPos(data, size);
  if (written != size) {
    PLOG(WARNING) << "Wrote " << written << " of " << size << " bytes to "
                  << path;
    return -1;
  }
  return written;
}

bool WriteFile(const FilePath& path, std::string_view data) {
  if (data.size() > static_cast<size_t>(std::numeric_limits<int>::max()))
    return false;
  const int size = static_cast<int>(data.size());
  return WriteFile(path, data.data(), size) == size;
}

bool AppendToFile(const FilePath& path, const char* data, int size) {
  if (size < 0)
    return false;
  File file(path, File::FLAG_OPEN | File::FLAG_APPEND);
  if (!file.IsValid())
    return false;
  return file.WriteAtCurrentPos(data, size) == size;
}

namespace {

using GetFinalPathFunction = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);

// Looked up: Windows before Vista lacks it.
GetFinalPathFunction GetFinalPathLookup() {
  static const auto get_final_path =
      reinterpret_cast<GetFinalPathFunction>(::GetProcAddress(
          ::GetModuleHandleW(L"kernel32.dll"), "GetFinalPathNameByHandleW"));
  return get_final_path;
}

bool GetFinalPath(HANDLE object, std::wstring* result) {
  const GetFinalPathFunction get_final_path = GetFinalPathLookup();
  return get_final_path &&
         GetGrowingString(
             [get_final_path, object](wchar_t* buffer, DWORD size) {
               return get_final_path(object, buffer, size, 0);
             },
             result);
}

}  // namespace

bool IsOpenedAtItsPlace(const FilePath& path, HANDLE handle) {
  if (!GetFinalPathLookup())
    return true;
  win::ScopedHandle folder(::CreateFileW(
      path.DirName().value().c_str(), 0,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  std::wstring folder_path;
  std::wstring object_path;
  if (!folder.IsValid() || !GetFinalPath(folder.Get(), &folder_path) ||
      !GetFinalPath(handle, &object_path)) {
    return false;
  }
  return FilePath::CompareEqualIgnoreCase(
      FilePath(folder_path).Append(path.BaseName()).value(), object_path);
}

bool DeleteFileAtItsPlace(const FilePath& path) {
  win::ScopedHandle file(::CreateFileW(
      path.value().c_str(), DELETE | FILE_READ_ATTRIBUTES,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file.IsValid()) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  uint64_t index = 0;
  DWORD attributes = 0;
  if (!win::QueryFileIndex(file.Get(), &index, &attributes) ||
      (attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      !IsOpenedAtItsPlace(path, file.Get())) {
    return false;
  }
  return win::MarkFileForDeletion(file.Get());
}

bool GetFileIdentity(HANDLE handle, FileIdentity* identity, DWORD* attributes) {
  identity->final_path.clear();
  return win::QueryFileIndex(handle, &identity->index, attributes) &&
         (!GetFinalPathLookup() || GetFinalPath(handle, &identity->final_path));
}

win::ScopedHandle OpenFolderAtItsPlace(const FilePath& folder, DWORD access) {
  win::ScopedHandle held(::CreateFileW(
      folder.value().c_str(),
      FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | access,
      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!held.IsValid()) {
    PLOG(WARNING) << "Cannot open the folder " << folder;
    return held;
  }
  // Asked once the folder is held: the name can no longer be moved away.
  const DWORD attributes = ::GetFileAttributesW(folder.value().c_str());
  uint64_t index = 0;
  DWORD held_attributes = 0;
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
      !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      !win::QueryFileIndex(held.Get(), &index, &held_attributes) ||
      (held_attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
      !(held_attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      !IsOpenedAtItsPlace(folder, held.Get())) {
    LOG(ERROR) << folder << " is a link to another place: not used";
    held.Close();
  }
  return held;
}

namespace {

// Deletes |folder| through a handle at its place when it is empty and
// still the folder |identity| names.
bool DeleteEmptyFolderAtItsPlace(const FilePath& folder,
                                 const FileIdentity& identity) {
  win::ScopedHandle handle = OpenFolderAtItsPlace(folder, DELETE);
  FileIdentity found;
  return handle.IsValid() && GetFileIdentity(handle.Get(), &found) &&
         found == identity && win::MarkFileForDeletion(handle.Get());
}

// Deletes what is in |folder|, which the caller holds; goes on after a
// failure.
bool DeleteFolderContentsAtItsPlace(const FilePath& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileW(folder.Append(L"*").value().c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    PLOG(WARNING) << "Cannot list " << folder;
    return false;
  }
  bool all = true;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..")
      continue;
    const FilePath path = folder.Append(name);
    const DWORD attributes = found.dwFileAttributes;
    bool deleted = false;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      deleted = DeleteFileAtItsPlace(path);
    } else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      deleted = ::RemoveDirectoryW(path.value().c_str()) != FALSE;
    } else {
      FileIdentity identity;
      win::ScopedHandle sub = OpenFolderAtItsPlace(path);
      deleted = sub.IsValid() && GetFileIdentity(sub.Get(), &identity);
      sub.Close();
      deleted = deleted && DeleteFolderAtItsPlace(path, identity);
    }
    if (!deleted) {
      LOG(WARNING) << "Not deleting " << path << ": a link, or in use";
      all = false;
    }
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return all;
}

}  // namespace

bool DeleteFolderAtItsPlace(const FilePath& folder,
                            const FileIdentity& identity) {
  if (DeleteEmptyFolderAtItsPlace(folder, identity))
    return true;
  if (::GetFileAttributesW(folder.value().c_str()) == INVALID_FILE_ATTRIBUTES)
    return true;
  {
    // Held while it is emptied, without the right to delete it, which a
    // listing of it would not share: its name stands for it meanwhile.
    win::ScopedHandle held = OpenFolderAtItsPlace(folder);
    FileIdentity found;
    if (!held.IsValid() || !GetFileIdentity(held.Get(), &found) ||
        !(found == identity)) {
      LOG(WARNING) << "Not deleting " << folder
                   << ": it is no longer the folder it was";
      return false;
    }
    if (!DeleteFolderContentsAtItsPlace(folder))
      return false;
  }
  return DeleteEmptyFolderAtItsPlace(folder, identity);
}

FILE* OpenNewFileStream(const FilePath& path, const char* mode) {
  DeleteFileAtItsPlace(path);
  HANDLE handle =
      ::CreateFileW(path.value().c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    return nullptr;
  const bool binary = std::strchr(mode, 'b') != nullptr;
  const int descriptor =
      _open_osfhandle(reinterpret_cast<intptr_t>(handle),
                      _O_WRONLY | (binary ? _O_BINARY : _O_TEXT));
  if (descriptor == -1) {
    ::CloseHandle(handle);
    return nullptr;
  }
  FILE* file = _fdopen(descriptor, mode);
  if (!file)
    _close(descriptor);
  return file;
}

FILE* OpenFileStreamToAppend(const FilePath& path) {
  HANDLE handle = ::CreateFileW(path.value().c_str(), FILE_APPEND_DATA,
                                FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    return nullptr;
  if (!IsOpenedAtItsPlace(path, handle)) {
    ::CloseHandle(handle);
    return nullptr;
  }
  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle),
                                         _O_WRONLY | _O_APPEND | _O_TEXT);
  if (descriptor == -1) {
    ::CloseHandle(handle);
    return nullptr;
  }
  FILE* file = _fdopen(descriptor, "a");
  if (!file)
    _close(descriptor);
  return file;
}

bool GetFileSize(const FilePath& path, int64_t* file_size) {
  File::Info info;
  if (!GetFileInfo(path, &info))
    return false;
  *file_size = info.size;
  return true;
}

bool GetFileInfo(const FilePath& path, File::Info* info) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(path.value().c_str(), GetFileExInfoStandard,
                              &data)) {
    return false;
  }
  ULARGE_INTEGER size;
  size.HighPart = data.nFileSizeHigh;
  size.LowPart = data.nFileSizeLow;
  info->size = static_cast<int64_t>(size.QuadPart);
  info->is_directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  info->is_symbolic_link =
      (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  info->last_modified = Time::FromFileTime(data.ftLastWriteTime);
  info->last_accessed = Time::FromFileTime(data.ftLastAccessTime);
  info->creation_time = Time::FromFileTime(data.ftCreationTime);
  return true;
}

bool IsDirectoryEmpty(const FilePath& dir_path) {
  if (!DirectoryExists(dir_path))
    return false;
  FileEnumerator entries(dir_path, false,
                         FileEnumerator::FILES | FileEnumerator::DIRECTORIES);
  return entries.Next().empty();
}

bool GetTempDir(FilePath* path) {
  std::wstring temp;
  if (!GetGrowingString([](wchar_t* buffer,
                           DWORD size) { return ::GetTempPathW(size, buffer); },
                        &temp)) {
    PLOG(ERROR) << "GetTempPath failed";
    return false;
  }
  *path = FilePath(temp).StripTrailingSeparators();
  return true;
}

bool CreateTemporaryFileInDir(const FilePath& dir, FilePath* temp_file) {
  wchar_t temp_name[MAX_PATH + 1];
  if (!::GetTempFileNameW(dir.value().c_str(), L"", 0, temp_name)) {
    PLOG(WARNING) << "Cannot create a temporary file in " << dir;
    return false;
  }
  // The name may come back in 8.3 form when |dir| was given so.
  std::wstring long_name;
  if (GetGrowingString(
          [&temp_name](wchar_t* buffer, DWORD size) {
            return ::GetLongPathNameW(temp_name, buffer, size);
          },
          &long_name)) {
    *temp_file = FilePath(long_name);
  } else {
    *temp_file = FilePath(temp_name);
  }
  return true;
}

bool CreateTemporaryFile(FilePath* temp_file) {
  FilePath temp_dir;
  return GetTempDir(&temp_dir) && CreateTemporaryFileInDir(temp_dir, temp_file);
}

bool CreateTemporaryDirInDir(const FilePath& base_dir,
                             FilePath::StringPieceType prefix,
                             FilePath* new_dir) {
  static std::atomic<unsigned> counter{0};
  constexpr int kAttempts = 50;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    LARGE_INTEGER ticks;
    ::QueryPerformanceCounter(&ticks);
    wchar_t unique[40];
    std::swprintf(unique, std::size(unique), L"%lu_%x%x",
                  ::GetCurrentProcessId(), counter.fetch_add(1),
                  static_cast<unsigned>(ticks.LowPart));
    std::wstring name(prefix);
    name.append(unique);
    FilePath candidate = base_dir.Append(name);
    if (::CreateDirectoryW(candidate.value().c_str(), nullptr)) {
      *new_dir = candidate;
      return true;
    }
    if (::GetLastError() != ERROR_ALREADY_EXISTS) {
      PLOG(WARNING) << "Cannot create a temporary folder in " << base_dir;
      return false;
    }
  }
  LOG(WARNING) << "No free temporary folder name in " << base_dir;
  return false;
}

bool CreateNewTempDirectory(FilePath::StringPieceType prefix,
                            FilePath* new_temp_path) {
  FilePath temp_dir;
  return GetTempDir(&temp_dir) &&
         CreateTemporaryDirInDir(temp_dir, prefix, new_temp_path);
}

bool GetCurrentDirectory(FilePath* path) {
  std::wstring current;
  if (!GetGrowingString(
          [](wchar_t* buffer, DWORD size) {
            return ::GetCurrentDirectoryW(size, buffer);
          },
          &current)) {
    return false;
  }
  *path = FilePath(current).StripTrailingSeparators();
  return true;
}

bool SetCurrentDirectory(const FilePath& path) {
  return ::SetCurrentDirectoryW(path.value().c_str()) != FALSE;
}

FilePath MakeAbsoluteFilePath(const FilePath& input) {
  if (input.empty())
    return FilePath();
  std::wstring absolute;
  if (!GetGrowingString(
          [&input](wchar_t* buffer, DWORD size) {
            return ::GetFullPathNameW(input.value().c_str(), size, buffer,
                                      nullptr);
          },
          &absolute)) {
    return FilePath();
  }
  return FilePath(absolute);
}

}  // namespace base
