#include "desktop/windows/installer/package_fetcher/held_files.h"

#include <stdint.h>

#include <utility>

#include "base/logging.h"
#include "crypto/secure_hash.h"
#include "desktop/windows/installer/package_fetcher/checksum_checker.h"

namespace installer {

namespace {

constexpr DWORD kReadPiece = 1 << 20;
constexpr size_t kMaxWritePiece = 1u << 30;

}  // namespace

HeldFiles::HeldFiles() = default;

HeldFiles::~HeldFiles() = default;

// static
base::win::ScopedHandle HeldFiles::CreateNewFile(const base::FilePath& path) {
  // CREATE_NEW fails on any name that exists, a link or a dangling one
  // included: nothing is written where another program pointed.
  base::win::ScopedHandle file(::CreateFileW(
      path.value().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file.IsValid())
    PLOG(ERROR) << "Cannot create the new file " << path;
  return file;
}

// static
bool HeldFiles::WriteAll(HANDLE file,
                         const void* data,
                         size_t size,
                         crypto::SecureHash* hash) {
  if (hash)
    hash->Update(data, size);
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const DWORD piece =
        static_cast<DWORD>(size < kMaxWritePiece ? size : kMaxWritePiece);
    DWORD written = 0;
    if (!::WriteFile(file, bytes, piece, &written, nullptr) ||
        written != piece) {
      return false;
    }
    bytes += piece;
    size -= piece;
  }
  return true;
}

// static
std::string HeldFiles::HashContent(HANDLE file, std::string* content) {
  std::unique_ptr<crypto::SecureHash> hash =
      crypto::SecureHash::Create(crypto::SecureHash::SHA256);
  LARGE_INTEGER start = {};
  if (!hash || !::SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
    return std::string();
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[kReadPiece]);
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file, buffer.get(), kReadPiece, &read, nullptr))
      return std::string();
    if (read == 0)
      break;
    hash->Update(buffer.get(), read);
    if (content)
      content->append(reinterpret_cast<const char*>(buffer.get()), read);
  }
  return FinishSha256Hex(hash.get());
}

bool HeldFiles::CreateFolder(const base::FilePath& folder) {
  // Fails on every name that exists: a folder another program made, or a
  // junction to somewhere else, would not be this run's.
  if (!::CreateDirectoryW(folder.value().c_str(), nullptr)) {
    PLOG(ERROR) << "Cannot create the new folder " << folder;
    return false;
  }
  base::win::ScopedHandle handle = OpenToHold(folder, true);
  if (!handle.IsValid())
    return false;
  Add(folder, Entry{std::move(handle), std::string()});
  return true;
}

bool HeldFiles::HoldWritten(const base::FilePath& path,
                            const std::string& sha256) {
  base::win::ScopedHandle handle = OpenToHold(path, false);
  if (!handle.IsValid())
    return false;
  if (sha256.empty() || HashContent(handle.Get(), nullptr) != sha256) {
    LOG(ERROR) << path << " no longer holds what was written to it";
    return false;
  }
  Add(path, Entry{std::move(handle), sha256});
  return true;
}

bool HeldFiles::WriteNewFile(const base::FilePath& path,
                             std::string_view data) {
  {
    base::win::ScopedHandle file = CreateNewFile(path);
    if (!file.IsValid())
      return false;
    if (!WriteAll(file.Get(), data.data(), data.size(), nullptr)) {
      PLOG(ERROR) << "Cannot write " << path;
      file.Close();
      ::DeleteFileW(path.value().c_str());
      return false;
    }
  }
  base::win::ScopedHandle handle = OpenToHold(path, false);
  if (!handle.IsValid())
    return false;
  // Compared rather than hashed twice: the bytes are at hand.
  std::string content;
  const std::string sha256 = HashContent(handle.Get(), &content);
  if (sha256.empty() || content != data) {
    LOG(ERROR) << path << " no longer holds what was written to it";
    return false;
  }
  Add(path, Entry{std::move(handle), sha256});
  return true;
}

bool HeldFiles::CopyInto(const base::FilePath& source,
                         const base::FilePath& target,
                         const std::string& sha256) {
  // Held while it is read: what is copied is what the digest covers.
  base::win::ScopedHandle from = OpenToHold(source, false);
  if (!from.IsValid())
    return false;
  std::unique_ptr<crypto::SecureHash> hash =
      crypto::SecureHash::Create(crypto::SecureHash::SHA256);
  if (!hash)
    return false;
  {
    base::win::ScopedHandle to = CreateNewFile(target);
    if (!to.IsValid())
      return false;
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[kReadPiece]);
    DWORD read = 0;
    bool copied = true;
    while ((copied = ::ReadFile(from.Get(), buffer.get(), kReadPiece, &read,
                                nullptr) != FALSE) &&
           read > 0) {
      if (!(copied = WriteAll(to.Get(), buffer.get(), read, hash.get())))
        break;
    }
    if (!copied || FinishSha256Hex(hash.get()) != sha256) {
      PLOG(ERROR) << "Cannot copy " << source << " as it was checked";
      to.Close();
      ::DeleteFileW(target.value().c_str());
      return false;
    }
  }
  return HoldWritten(target, sha256);
}

bool HeldFiles::HoldAsItIs(const base::FilePath& path, std::string* sha256) {
  base::win::ScopedHandle handle = OpenToHold(path, false);
  if (!handle.IsValid())
    return false;
  const std::string hash = HashContent(handle.Get(), nullptr);
  if (hash.empty()) {
    PLOG(ERROR) << "Cannot read " << path;
    return false;
  }
  if (sha256)
    *sha256 = hash;
  Add(path, Entry{std::move(handle), hash});
  return true;
}

bool HeldFiles::ReadHeld(const base::FilePath& path, std::string* content) {
  base::AutoLock hold(lock_);
  auto it = held_.find(Key(path));
  if (it == held_.end() || it->second.sha256.empty())
    return false;
  content->clear();
  return HashContent(it->second.handle.Get(), content) == it->second.sha256;
}

bool HeldFiles::Rewrite(const base::FilePath& path, std::string_view data) {
  std::string vouched;
  {
    base::AutoLock hold(lock_);
    auto it = held_.find(Key(path));
    if (it == held_.end() || it->second.sha256.empty()) {
      LOG(ERROR) << path << " is not held";
      return false;
    }
    vouched = it->second.sha256;
    held_.erase(it);
  }
  std::string sha256;
  {
    // Without sharing: this opens only while nobody else has the file
    // open, and nobody can while it is open.
    base::win::ScopedHandle file(::CreateFileW(
        path.value().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
        nullptr));
    if (!file.IsValid()) {
      PLOG(ERROR) << "Cannot open " << path << " to rewrite it";
      return false;
    }
    if (HashContent(file.Get(), nullptr) != vouched) {
      LOG(ERROR) << path << " was changed by another program";
      return false;
    }
    LARGE_INTEGER start = {};
    if (!::SetFilePointerEx(file.Get(), start, nullptr, FILE_BEGIN) ||
        !WriteAll(file.Get(), data.data(), data.size(), nullptr) ||
        !::SetEndOfFile(file.Get())) {
      PLOG(ERROR) << "Cannot rewrite " << path;
      return false;
    }
    sha256 = ComputeSha256Hex(data.data(), data.size());
  }
  return HoldWritten(path, sha256);
}

void HeldFiles::Release(const base::FilePath& path) {
  base::AutoLock hold(lock_);
  held_.erase(Key(path));
}

void HeldFiles::ReleaseAll() {
  base::AutoLock hold(lock_);
  held_.clear();
}

bool HeldFiles::IsHeld(const base::FilePath& path) const {
  base::AutoLock hold(lock_);
  return held_.count(Key(path)) != 0;
}

size_t HeldFiles::size() const {
  base::AutoLock hold(lock_);
  return held_.size();
}

// static
base::win::ScopedHandle HeldFiles::OpenToHold(const base::FilePath& path,
                                              bool folder) {
  // Readers and programs started from the file may share it; a writer, a
  // rename or a delete may not. A folder's files may still be created and
  // written; the folder itself cannot be renamed.
  const DWORD access =
      folder ? FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE
             : GENERIC_READ;
  const DWORD share =
      folder ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
  const DWORD flags = FILE_FLAG_OPEN_REPARSE_POINT |
                      (folder ? FILE_FLAG_BACKUP_SEMANTICS
                              : FILE_FLAG_SEQUENTIAL_SCAN);
  base::win::ScopedHandle handle(::CreateFileW(
      path.value().c_str(), access, share, nullptr, OPEN_EXISTING, flags,
      nullptr));
  if (!handle.IsValid()) {
    PLOG(ERROR) << "Cannot hold " << path;
    return handle;
  }
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!::GetFileInformationByHandle(handle.Get(), &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
      ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != folder) {
    LOG(ERROR) << path << " is not the " << (folder ? "folder" : "file")
               << " that was made";
    handle.Close();
  }
  return handle;
}

// static
std::wstring HeldFiles::Key(const base::FilePath& path) {
  std::wstring key = path.NormalizePathSeparators().value();
  if (!key.empty())
    ::CharUpperBuffW(&key[0], static_cast<DWORD>(key.size()));
  return key;
}

void HeldFiles::Add(const base::FilePath& path, Entry entry) {
  base::AutoLock hold(lock_);
  held_[Key(path)] = std::move(entry);
}

}  // namespace installer
