#include "base/files/new_file.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/win/file_information.h"

namespace base {

namespace {

// While this process writes: others may read, nobody else may write,
// rename or delete.
constexpr DWORD kWriteAccess = GENERIC_READ | GENERIC_WRITE | DELETE;
// A link at the name is never followed where the platform can tell one;
// where it cannot (a Unix link under Wine), CREATE_NEW still refuses the
// taken name.
constexpr DWORD kNoLinks = FILE_FLAG_OPEN_REPARSE_POINT;

FilePath OtherName(const FilePath& path, int n) {
  std::string suffix(1, '_');
  suffix += NumberToString(::GetCurrentProcessId());
  if (n > 0) {
    suffix += '_';
    suffix += NumberToString(n);
  }
  return path.InsertBeforeExtensionASCII(suffix);
}

}  // namespace

NewFile::NewFile(FilePath path, HANDLE handle)
    : path_(std::move(path)), file_(handle), error_(File::FILE_OK) {}

NewFile::NewFile(NewFile&& other) noexcept {
  *this = std::move(other);
}

NewFile& NewFile::operator=(NewFile&& other) noexcept {
  if (this == &other)
    return *this;
  if (IsValid())
    Delete();
  path_ = std::move(other.path_);
  file_ = std::move(other.file_);
  error_ = other.error_;
  sealed_ = other.sealed_;
  identity_ = other.identity_;
  other.sealed_ = false;
  return *this;
}

NewFile::~NewFile() {
  if (IsValid())
    Delete();
}

// static
NewFile NewFile::Create(const FilePath& path, int other_names) {
  File::Error error = File::FILE_ERROR_FAILED;
  for (int i = 0; i <= other_names; ++i) {
    const FilePath candidate = i == 0 ? path : OtherName(path, i - 1);
    HANDLE handle = ::CreateFileW(candidate.value().c_str(), kWriteAccess,
                                  FILE_SHARE_READ, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | kNoLinks, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      NewFile file(candidate, handle);
      if (file.ReadIdentity())
        return file;
      // Made, but unknown: it could never be proven ours again.
      PLOG(ERROR) << "Cannot identify the new file " << candidate;
      file.Delete();
      error = File::FILE_ERROR_FAILED;
      break;
    }
    const DWORD last_error = ::GetLastError();
    error = File::OSErrorToFileError(last_error);
    if (error != File::FILE_ERROR_EXISTS && last_error != ERROR_ACCESS_DENIED) {
      // A folder that is missing or full fails every name.
      break;
    }
    // A name held by another file, a link, or a file of another user.
  }
  LOG(WARNING) << "Cannot create a new file at " << path << ": "
               << File::ErrorToString(error);
  // Logging keeps the system's last error: that of the last name tried.
  NewFile failed;
  failed.path_ = path;
  failed.error_ = error;
  return failed;
}

// static
NewFile NewFile::HoldExisting(const FilePath& path, const FileIdentity* made) {
  NewFile file;
  file.path_ = path;
  file.file_.Set(::CreateFileW(path.value().c_str(), GENERIC_READ,
                               FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | kNoLinks, nullptr));
  if (!file.IsValid()) {
    PLOG(ERROR) << "Cannot hold " << path;
    file.error_ = File::OSErrorToFileError(::GetLastError());
    return file;
  }
  // Under Wine a Unix link to a file opens as what it leads to, and looks
  // like a file: only its final path tells, or who it is.
  DWORD attributes = 0;
  if (!file.ReadIdentity(&attributes) ||
      (attributes &
       (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ||
      (made ? !(file.identity_ == *made)
            : !IsOpenedAtItsPlace(path, file.file_.Get()))) {
    LOG(ERROR) << path << " is no file of its own at that place";
    file.file_.Close();
    file.error_ = File::FILE_ERROR_SECURITY;
    return file;
  }
  file.error_ = File::FILE_OK;
  file.sealed_ = true;
  return file;
}

bool NewFile::Write(const char* data, size_t size) {
  DCHECK(IsValid());
  DCHECK(!sealed_);
  while (size > 0) {
    const DWORD piece = static_cast<DWORD>(
        std::min<size_t>(size, std::numeric_limits<DWORD>::max()));
    DWORD written = 0;
    if (!::WriteFile(file_.Get(), data, piece, &written, nullptr) ||
        written == 0) {
      PLOG(ERROR) << "Cannot write " << path_;
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

bool NewFile::Truncate() {
  DCHECK(IsValid());
  DCHECK(!sealed_);
  LARGE_INTEGER start = {};
  if (!::SetFilePointerEx(file_.Get(), start, nullptr, FILE_BEGIN) ||
      !::SetEndOfFile(file_.Get())) {
    PLOG(ERROR) << "Cannot empty " << path_;
    return false;
  }
  return true;
}

bool NewFile::SetLastModified(const FILETIME& time) {
  DCHECK(IsValid());
  DCHECK(!sealed_);
  if (!::SetFileTime(file_.Get(), nullptr, nullptr, &time)) {
    PLOG(ERROR) << "Cannot set the time of " << path_;
    return false;
  }
  return true;
}

bool NewFile::Seal() {
  DCHECK(IsValid());
  if (sealed_)
    return true;
  // No handle of ours may keep write access: a program cannot be started
  // from a file open for writing. Another program may open the file in
  // the moment between; the share mode below fails while it holds it, and
  // the caller's comparison finds what it wrote and closed again.
  file_.Close();
  HANDLE handle = ::CreateFileW(path_.value().c_str(), GENERIC_READ,
                                FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | kNoLinks, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    PLOG(ERROR) << "Cannot hold " << path_ << " for reading";
    error_ = File::OSErrorToFileError(::GetLastError());
    return false;
  }
  win::ScopedHandle held(handle);
  if (!IsSameFile(held.Get())) {
    LOG(ERROR) << "Another file took the place of " << path_;
    error_ = File::FILE_ERROR_SECURITY;
    return false;
  }
  file_ = std::move(held);
  sealed_ = true;
  return true;
}

bool NewFile::ContentEquals(const char* data, uint64_t size) {
  constexpr int kPiece = 1024 * 1024;
  std::vector<char> piece(kPiece);
  uint64_t offset = 0;
  while (offset < size) {
    const int wanted =
        static_cast<int>(std::min<uint64_t>(kPiece, size - offset));
    const int read = Read(static_cast<int64_t>(offset), piece.data(), wanted);
    if (read <= 0 || memcmp(piece.data(), data + offset, read) != 0)
      return false;
    offset += read;
  }
  char beyond = 0;
  return Read(static_cast<int64_t>(size), &beyond, 1) == 0;
}

int NewFile::Read(int64_t offset, char* data, int size) {
  DCHECK(IsValid());
  if (size < 0)
    return -1;
  // Through the file's position: Wine reads at an explicit offset ten
  // times slower. Writing goes on where it stopped.
  LARGE_INTEGER written = {};
  if (!sealed_ && !::SetFilePointerEx(file_.Get(), LARGE_INTEGER(), &written,
                                      FILE_CURRENT)) {
    return -1;
  }
  LARGE_INTEGER position = {};
  position.QuadPart = offset;
  DWORD read = 0;
  const bool done =
      ::SetFilePointerEx(file_.Get(), position, nullptr, FILE_BEGIN) &&
      ::ReadFile(file_.Get(), data, static_cast<DWORD>(size), &read, nullptr);
  if (!sealed_ &&
      !::SetFilePointerEx(file_.Get(), written, nullptr, FILE_BEGIN)) {
    return -1;
  }
  return done ? static_cast<int>(read) : -1;
}

bool NewFile::Delete() {
  if (!IsValid())
    return false;
  if (sealed_) {
    // The read-only hold has no right to delete; the file is opened
    // again, and only the same file is deleted.
    file_.Close();
    sealed_ = false;
    file_.Set(
        ::CreateFileW(path_.value().c_str(), DELETE | FILE_READ_ATTRIBUTES,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, kNoLinks, nullptr));
    if (!file_.IsValid()) {
      PLOG(WARNING) << "Cannot open " << path_ << " to delete it";
      return false;
    }
    if (!IsSameFile(file_.Get())) {
      LOG(ERROR) << "Another file took the place of " << path_ << ": it stays";
      file_.Close();
      return false;
    }
  }
  const bool deleted = win::MarkFileForDeletion(file_.Get());
  if (!deleted)
    LOG(WARNING) << "Cannot delete " << path_;
  file_.Close();
  return deleted;
}

void NewFile::Keep() {
  file_.Close();
  sealed_ = false;
}

bool NewFile::ReadIdentity(DWORD* attributes) {
  return GetFileIdentity(file_.Get(), &identity_, attributes);
}

bool NewFile::IsSameFile(HANDLE other) const {
  FileIdentity found;
  return GetFileIdentity(other, &found) && found == identity_;
}

}  // namespace base
