// An open file: a thin owner of a Windows file handle with positional and
// sequential reads and writes. Opening never throws; a failed open leaves
// an invalid File whose error_details() says why.
//
//   base::File file(path, base::File::FLAG_OPEN | base::File::FLAG_READ);
//   if (!file.IsValid())
//     LOG(ERROR) << base::File::ErrorToString(file.error_details());

#ifndef BASE_FILES_FILE_H_
#define BASE_FILES_FILE_H_

#include <windows.h>

#include <cstdint>
#include <string>

#include "base/files/file_path.h"
#include "base/time/time.h"
#include "base/win/scoped_handle.h"

namespace base {

class File {
 public:
  // Exactly one of the first five says how to open; the rest combine.
  enum Flags : uint32_t {
    FLAG_OPEN = 1 << 0,            // An existing file only.
    FLAG_CREATE = 1 << 1,          // A new file only.
    FLAG_OPEN_ALWAYS = 1 << 2,     // Existing or new.
    FLAG_CREATE_ALWAYS = 1 << 3,   // New or truncated.
    FLAG_OPEN_TRUNCATED = 1 << 4,  // An existing file, truncated; needs WRITE.
    FLAG_READ = 1 << 5,
    FLAG_WRITE = 1 << 6,
    FLAG_APPEND = 1 << 7,           // Every write goes to the end.
    FLAG_EXCLUSIVE_READ = 1 << 8,   // Others may not read meanwhile.
    FLAG_EXCLUSIVE_WRITE = 1 << 9,  // Others may not write meanwhile.
    FLAG_TEMPORARY = 1 << 10,       // Kept in memory when possible.
    FLAG_HIDDEN = 1 << 11,
    FLAG_DELETE_ON_CLOSE = 1 << 12,
    FLAG_SHARE_DELETE = 1 << 13,      // Others may delete or rename it.
    FLAG_BACKUP_SEMANTICS = 1 << 14,  // Needed to open a folder.
  };

  enum Error {
    FILE_OK = 0,
    FILE_ERROR_FAILED = -1,
    FILE_ERROR_IN_USE = -2,
    FILE_ERROR_EXISTS = -3,
    FILE_ERROR_NOT_FOUND = -4,
    FILE_ERROR_ACCESS_DENIED = -5,
    FILE_ERROR_TOO_MANY_OPENED = -6,
    FILE_ERROR_NO_MEMORY = -7,
    FILE_ERROR_NO_SPACE = -8,
    FILE_ERROR_NOT_A_DIRECTORY = -9,
    FILE_ERROR_INVALID_OPERATION = -10,
    FILE_ERROR_SECURITY = -11,
    FILE_ERROR_ABORT = -12,
    FILE_ERROR_NOT_A_FILE = -13,
    FILE_ERROR_NOT_EMPTY = -14,
    FILE_ERROR_IO = -15,
  };

  enum Whence { FROM_BEGIN = 0, FROM_CURRENT = 1, FROM_END = 2 };

  struct Info {
    int64_t size = 0;
    bool is_directory = false;
    bool is_symbolic_link = false;  // A reparse point.
    Time last_modified;
    Time last_accessed;
    Time creation_time;
  };

  File() = default;
  File(const FilePath& path, uint32_t flags);
  // Takes ownership of an open handle.
  explicit File(HANDLE handle);
  explicit File(Error error_details) : error_details_(error_details) {}
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  // Opens |path|; any file held before is closed first.
  void Initialize(const FilePath& path, uint32_t flags);

  bool IsValid() const { return file_.IsValid(); }
  // Whether the last Initialize created a new file.
  bool created() const { return created_; }
  Error error_details() const { return error_details_; }

  HANDLE GetPlatformFile() const { return file_.Get(); }
  void Close();

  // Returns the new position, or -1.
  int64_t Seek(Whence whence, int64_t offset);

  // Read and Write at |offset| move the current position as well. Reads
  // return the bytes read (0 at the end of the file) or -1; writes return
  // the bytes written or -1. Neither loops: a short count is possible.
  int Read(int64_t offset, char* data, int size);
  int ReadAtCurrentPos(char* data, int size);
  int Write(int64_t offset, const char* data, int size);
  int WriteAtCurrentPos(const char* data, int size);

  // Returns the size, or -1.
  int64_t GetLength() const;
  // Cuts or extends the file to |length| bytes; the position moves to the
  // new end.
  bool SetLength(int64_t length);
  // Writes buffered data through to the disk.
  bool Flush();
  bool GetInfo(Info* info) const;

  static Error OSErrorToFileError(DWORD last_error);
  static std::string ErrorToString(Error error);

 private:
  win::ScopedHandle file_;
  Error error_details_ = FILE_ERROR_FAILED;
  bool created_ = false;
};

}  // namespace base

#endif  // BASE_FILES_FILE_H_
