#include "base/files/file.h"

#include <utility>

#include "base/logging.h"

namespace base {

namespace {

DWORD DispositionFromFlags(uint32_t flags) {
  constexpr uint32_t kOpenFlags =
      File::FLAG_OPEN | File::FLAG_CREATE | File::FLAG_OPEN_ALWAYS |
      File::FLAG_CREATE_ALWAYS | File::FLAG_OPEN_TRUNCATED;
  switch (flags & kOpenFlags) {
    case File::FLAG_OPEN:
      return OPEN_EXISTING;
    case File::FLAG_CREATE:
      return CREATE_NEW;
    case File::FLAG_OPEN_ALWAYS:
      return OPEN_ALWAYS;
    case File::FLAG_CREATE_ALWAYS:
      return CREATE_ALWAYS;
    case File::FLAG_OPEN_TRUNCATED:
      return TRUNCATE_EXISTING;
    default:
      return 0;
  }
}

OVERLAPPED OverlappedAt(int64_t offset) {
  LARGE_INTEGER position;
  position.QuadPart = offset;
  OVERLAPPED overlapped = {};
  overlapped.Offset = position.LowPart;
  overlapped.OffsetHigh = static_cast<DWORD>(position.HighPart);
  return overlapped;
}

}  // namespace

File::File(const FilePath& path, uint32_t flags) {
  Initialize(path, flags);
}

File::File(HANDLE handle) : file_(handle) {
  error_details_ = file_.IsValid() ? FILE_OK : FILE_ERROR_FAILED;
}

File::File(File&& other) noexcept
    : file_(std::move(other.file_)),
      error_details_(other.error_details_),
      created_(other.created_) {}

File& File::operator=(File&& other) noexcept {
  file_ = std::move(other.file_);
  error_details_ = other.error_details_;
  created_ = other.created_;
  return *this;
}

File::~File() = default;

void File::Initialize(const FilePath& path, uint32_t flags) {
  Close();
  created_ = false;
  DWORD disposition = DispositionFromFlags(flags);
  if (!disposition) {
    LOG(ERROR) << "File: exactly one way of opening must be given, flags "
               << flags;
    NOTREACHED();
    error_details_ = FILE_ERROR_FAILED;
    return;
  }
  DCHECK(!(flags & (FLAG_CREATE_ALWAYS | FLAG_OPEN_TRUNCATED)) ||
         (flags & FLAG_WRITE));

  DWORD access = 0;
  if (flags & FLAG_WRITE)
    access = GENERIC_WRITE;
  if (flags & FLAG_APPEND) {
    DCHECK(!access) << "APPEND and WRITE exclude each other";
    access = FILE_APPEND_DATA;
  }
  if (flags & FLAG_READ)
    access |= GENERIC_READ;

  DWORD sharing = (flags & FLAG_EXCLUSIVE_READ) ? 0 : FILE_SHARE_READ;
  if (!(flags & FLAG_EXCLUSIVE_WRITE))
    sharing |= FILE_SHARE_WRITE;
  if (flags & FLAG_SHARE_DELETE)
    sharing |= FILE_SHARE_DELETE;

  DWORD attributes = 0;
  if (flags & FLAG_TEMPORARY)
    attributes |= FILE_ATTRIBUTE_TEMPORARY;
  if (flags & FLAG_HIDDEN)
    attributes |= FILE_ATTRIBUTE_HIDDEN;
  if (flags & FLAG_DELETE_ON_CLOSE)
    attributes |= FILE_FLAG_DELETE_ON_CLOSE;
  if (flags & FLAG_BACKUP_SEMANTICS)
    attributes |= FILE_FLAG_BACKUP_SEMANTICS;

  HANDLE handle = ::CreateFileW(path.value().c_str(), access, sharing, nullptr,
                                disposition, attributes, nullptr);
  DWORD last_error = ::GetLastError();
  file_.Set(handle);
  if (!file_.IsValid()) {
    error_details_ = OSErrorToFileError(last_error);
    return;
  }
  error_details_ = FILE_OK;
  if (disposition == OPEN_ALWAYS)
    created_ = last_error != ERROR_ALREADY_EXISTS;
  else if (disposition == CREATE_NEW || disposition == CREATE_ALWAYS)
    created_ = true;
}

void File::Close() {
  file_.Close();
}

int64_t File::Seek(Whence whence, int64_t offset) {
  DCHECK(IsValid());
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER position;
  if (!::SetFilePointerEx(file_.Get(), distance, &position,
                          static_cast<DWORD>(whence))) {
    return -1;
  }
  return position.QuadPart;
}

int File::Read(int64_t offset, char* data, int size) {
  DCHECK(IsValid());
  if (size < 0)
    return -1;
  OVERLAPPED overlapped = OverlappedAt(offset);
  DWORD bytes_read = 0;
  if (::ReadFile(file_.Get(), data, static_cast<DWORD>(size), &bytes_read,
                 &overlapped)) {
    return static_cast<int>(bytes_read);
  }
  return ::GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
}

int File::ReadAtCurrentPos(char* data, int size) {
  DCHECK(IsValid());
  if (size < 0)
    return -1;
  DWORD bytes_read = 0;
  if (::ReadFile(file_.Get(), data, static_cast<DWORD>(size), &bytes_read,
                 nullptr)) {
    return static_cast<int>(bytes_read);
  }
  return ::GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
}

int File::Write(int64_t offset, const char* data, int size) {
  DCHECK(IsValid());
  if (size < 0)
    return -1;
  OVERLAPPED overlapped = OverlappedAt(offset);
  DWORD bytes_written = 0;
  if (!::WriteFile(file_.Get(), data, static_cast<DWORD>(size), &bytes_written,
                   &overlapped)) {
    return -1;
  }
  return static_cast<int>(bytes_written);
}

int File::WriteAtCurrentPos(const char* data, int size) {
  DCHECK(IsValid());
  if (size < 0)
    return -1;
  DWORD bytes_written = 0;
  if (!::WriteFile(file_.Get(), data, static_cast<DWORD>(size), &bytes_written,
                   nullptr)) {
    return -1;
  }
  return static_cast<int>(bytes_written);
}

int64_t File::GetLength() const {
  DCHECK(IsValid());
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(file_.Get(), &size))
    return -1;
  return size.QuadPart;
}

bool File::SetLength(int64_t length) {
  DCHECK(IsValid());
  LARGE_INTEGER position;
  position.QuadPart = length;
  return ::SetFilePointerEx(file_.Get(), position, nullptr, FILE_BEGIN) &&
         ::SetEndOfFile(file_.Get());
}

bool File::Flush() {
  DCHECK(IsValid());
  return ::FlushFileBuffers(file_.Get()) != FALSE;
}

bool File::GetInfo(Info* info) const {
  DCHECK(IsValid());
  BY_HANDLE_FILE_INFORMATION file_info;
  if (!::GetFileInformationByHandle(file_.Get(), &file_info))
    return false;
  LARGE_INTEGER size;
  size.HighPart = static_cast<LONG>(file_info.nFileSizeHigh);
  size.LowPart = file_info.nFileSizeLow;
  info->size = size.QuadPart;
  info->is_directory =
      (file_info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  info->is_symbolic_link =
      (file_info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  info->last_modified = Time::FromFileTime(file_info.ftLastWriteTime);
  info->last_accessed = Time::FromFileTime(file_info.ftLastAccessTime);
  info->creation_time = Time::FromFileTime(file_info.ftCreationTime);
  return true;
}

// static
File::Error File::OSErrorToFileError(DWORD last_error) {
  switch (last_error) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return FILE_ERROR_IN_USE;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
      return FILE_ERROR_EXISTS;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return FILE_ERROR_NOT_FOUND;
    case ERROR_ACCESS_DENIED:
      return FILE_ERROR_ACCESS_DENIED;
    case ERROR_TOO_MANY_OPEN_FILES:
      return FILE_ERROR_TOO_MANY_OPENED;
    case ERROR_OUTOFMEMORY:
    case ERROR_NOT_ENOUGH_MEMORY:
      return FILE_ERROR_NO_MEMORY;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL:
      return FILE_ERROR_NO_SPACE;
    case ERROR_DIRECTORY:
      return FILE_ERROR_NOT_A_DIRECTORY;
    case ERROR_DIR_NOT_EMPTY:
      return FILE_ERROR_NOT_EMPTY;
    case ERROR_USER_MAPPED_FILE:
      return FILE_ERROR_INVALID_OPERATION;
    case ERROR_NOT_READY:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_IO_DEVICE:
    case ERROR_FILE_CORRUPT:
    case ERROR_DISK_CORRUPT:
      return FILE_ERROR_IO;
    default:
      return FILE_ERROR_FAILED;
  }
}

// static
std::string File::ErrorToString(Error error) {
  switch (error) {
    case FILE_OK:
      return "FILE_OK";
    case FILE_ERROR_FAILED:
      return "FILE_ERROR_FAILED";
    case FILE_ERROR_IN_USE:
      return "FILE_ERROR_IN_USE";
    case FILE_ERROR_EXISTS:
      return "FILE_ERROR_EXISTS";
    case FILE_ERROR_NOT_FOUND:
      return "FILE_ERROR_NOT_FOUND";
    case FILE_ERROR_ACCESS_DENIED:
      return "FILE_ERROR_ACCESS_DENIED";
    case FILE_ERROR_TOO_MANY_OPENED:
      return "FILE_ERROR_TOO_MANY_OPENED";
    case FILE_ERROR_NO_MEMORY:
      return "FILE_ERROR_NO_MEMORY";
    case FILE_ERROR_NO_SPACE:
      return "FILE_ERROR_NO_SPACE";
    case FILE_ERROR_NOT_A_DIRECTORY:
      return "FILE_ERROR_NOT_A_DIRECTORY";
    case FILE_ERROR_INVALID_OPERATION:
      return "FILE_ERROR_INVALID_OPERATION";
    case FILE_ERROR_SECURITY:
      return "FILE_ERROR_SECURITY";
    case FILE_ERROR_ABORT:
      return "FILE_ERROR_ABORT";
    case FILE_ERROR_NOT_A_FILE:
      return "FILE_ERROR_NOT_A_FILE";
    case FILE_ERROR_NOT_EMPTY:
      return "FILE_ERROR_NOT_EMPTY";
    case FILE_ERROR_IO:
      return "FILE_ERROR_IO";
  }
  return "FILE_ERROR_UNKNOWN";
}

}  // namespace base
