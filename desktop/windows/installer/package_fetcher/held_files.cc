#include "desktop/windows/installer/package_fetcher/held_files.h"

#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <set>
#include <utility>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "crypto/secure_hash.h"
#include "desktop/windows/installer/package_fetcher/checksum_checker.h"

namespace installer {

namespace {

// Read back in pieces on the stack: a heap block as large as a file costs
// more than reading it.
constexpr DWORD kReadPiece = 64 << 10;
constexpr size_t kMaxWritePiece = 1u << 30;
// Files written whole that may be rewritten: lists and prefs.
constexpr size_t kMaxRewritable = 1 << 20;

// Deletes what |handle| is open on, once the last handle goes. Windows
// before Vista lacks SetFileInformationByHandle: it is looked up here, so
// that the library still loads there, where the name is deleted instead
// while |handle| keeps it from being replaced.
bool MarkForDeletion(HANDLE handle, const base::FilePath& path, bool folder) {
  using SetInformation =
      BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
  static const SetInformation set_information =
      reinterpret_cast<SetInformation>(::GetProcAddress(
          ::GetModuleHandleW(L"kernel32.dll"), "SetFileInformationByHandle"));
  if (set_information) {
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return set_information(handle, FileDispositionInfo, &disposition,
                           sizeof(disposition)) != FALSE;
  }
  return folder ? ::RemoveDirectoryW(path.value().c_str()) != FALSE
                : ::DeleteFileW(path.value().c_str()) != FALSE;
}

}  // namespace

HeldFiles::HeldFiles() = default;

HeldFiles::~HeldFiles() = default;

// static
bool HeldFiles::SameContent(HANDLE file, std::string_view data) {
  LARGE_INTEGER start = {};
  if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
    return false;
  uint8_t buffer[kReadPiece];
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file, buffer, kReadPiece, &read, nullptr) ||
        read > data.size() || memcmp(buffer, data.data(), read) != 0) {
      return false;
    }
    if (read == 0)
      return data.empty();
    data.remove_prefix(read);
  }
}

// static
base::win::ScopedHandle HeldFiles::CreateNewFile(const base::FilePath& path) {
  // CREATE_NEW fails on any name that exists, a link or a dangling one
  // included: nothing is written where another program pointed.
  base::win::ScopedHandle file(::CreateFileW(
      path.value().c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
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
  uint8_t buffer[kReadPiece];
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file, buffer, kReadPiece, &read, nullptr))
      return std::string();
    if (read == 0)
      break;
    hash->Update(buffer, read);
    if (content)
      content->append(reinterpret_cast<const char*>(buffer), read);
  }
  return FinishSha256Hex(hash.get());
}

bool HeldFiles::CreateFolder(const base::FilePath& folder,
                             PSECURITY_DESCRIPTOR security) {
  // Fails on every name that exists: a folder another program made, or a
  // junction to somewhere else, would not be this run's. Its security is
  // its own from the start.
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), security, FALSE};
  if (!::CreateDirectoryW(folder.value().c_str(),
                          security ? &attributes : nullptr)) {
    PLOG(ERROR) << "Cannot create the new folder " << folder;
    return false;
  }
  FileId id;
  base::win::ScopedHandle handle = OpenToHold(folder, true, &id);
  if (!handle.IsValid())
    return false;
  Add(folder, std::move(handle), id, std::string(), /*folder=*/true);
  return true;
}

bool HeldFiles::HoldWritten(const base::FilePath& path,
                            const std::string& sha256) {
  FileId id;
  base::win::ScopedHandle handle = OpenToHold(path, false, &id);
  if (!handle.IsValid())
    return false;
  if (sha256.empty() || HashContent(handle.Get(), nullptr) != sha256) {
    LOG(ERROR) << path << " no longer holds what was written to it";
    return false;
  }
  Add(path, std::move(handle), id, sha256);
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
      MarkForDeletion(file.Get(), path, false);
      return false;
    }
  }
  FileId id;
  base::win::ScopedHandle handle = OpenToHold(path, false, &id);
  if (!handle.IsValid())
    return false;
  // Compared rather than hashed: the bytes are at hand. Only a small file
  // may be rewritten, which needs its digest.
  if (!SameContent(handle.Get(), data)) {
    LOG(ERROR) << path << " no longer holds what was written to it";
    return false;
  }
  const std::string sha256 = data.size() <= kMaxRewritable
                                 ? ComputeSha256Hex(data.data(), data.size())
                                 : std::string();
  Add(path, std::move(handle), id, sha256);
  return true;
}

bool HeldFiles::CopyInto(const base::FilePath& source,
                         const base::FilePath& target,
                         const std::string& sha256) {
  // Held while it is read: what is copied is what the digest covers.
  FileId source_id;
  base::win::ScopedHandle from = OpenToHold(source, false, &source_id);
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
      MarkForDeletion(to.Get(), target, false);
      return false;
    }
  }
  return HoldWritten(target, sha256);
}

bool HeldFiles::HoldAsItIs(const base::FilePath& path, std::string* sha256) {
  FileId id;
  base::win::ScopedHandle handle = OpenToHold(path, false, &id);
  if (!handle.IsValid())
    return false;
  const std::string hash = HashContent(handle.Get(), nullptr);
  if (hash.empty()) {
    PLOG(ERROR) << "Cannot read " << path;
    return false;
  }
  if (sha256)
    *sha256 = hash;
  Add(path, std::move(handle), id, hash);
  return true;
}

bool HeldFiles::HoldTree(const base::FilePath& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileW(folder.Append(L"*").value().c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return ::GetLastError() == ERROR_FILE_NOT_FOUND;
  bool held = true;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..")
      continue;
    const base::FilePath path = folder.Append(name);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      LOG(ERROR) << path << " is a link";
      held = false;
    } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!IsHeld(path)) {
        FileId id;
        base::win::ScopedHandle handle = OpenToHold(path, true, &id);
        held = handle.IsValid() && held;
        if (handle.IsValid())
          Add(path, std::move(handle), id, std::string(), /*folder=*/true);
      }
      held = HoldTree(path) && held;
    } else if (!IsHeld(path)) {
      held = HoldAsItIs(path, nullptr) && held;
    }
  } while (held && ::FindNextFileW(search, &found));
  ::FindClose(search);
  return held;
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
  Entry entry;
  if (!Take(path, &entry) || entry.sha256.empty()) {
    LOG(ERROR) << path << " is not held as a file";
    return false;
  }
  const std::string vouched = entry.sha256;
  entry.handle.Close();
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
  Entry entry;
  Take(path, &entry);
}

void HeldFiles::ReleaseAll() {
  base::AutoLock hold(lock_);
  held_.clear();
  order_.clear();
}

bool HeldFiles::Delete(const base::FilePath& path) {
  Entry entry;
  return Take(path, &entry) && DeleteEntry(&entry);
}

bool HeldFiles::DeleteAll() {
  std::vector<Entry> entries;
  {
    base::AutoLock hold(lock_);
    // Newest first: a folder's files go before the folder.
    for (auto key = order_.rbegin(); key != order_.rend(); ++key) {
      auto it = held_.find(*key);
      if (it == held_.end())
        continue;
      entries.push_back(std::move(it->second));
      held_.erase(it);
    }
    order_.clear();
  }
  // A folder that stands in no other held folder goes whole, once it is
  // found to be the one that was held: one by one, files cost as much to
  // delete as to write. What stands outside such folders goes one by one.
  std::set<std::wstring> folders;
  for (const Entry& entry : entries) {
    if (entry.folder)
      folders.insert(Key(entry.path));
  }
  std::vector<Entry*> tops;
  for (Entry& entry : entries) {
    if (entry.folder && !folders.count(Key(entry.path.DirName())))
      tops.push_back(&entry);
  }
  bool all = true;
  for (Entry& entry : entries) {
    const bool top = std::find(tops.begin(), tops.end(), &entry) != tops.end();
    const bool inside =
        std::any_of(tops.begin(), tops.end(), [&entry](const Entry* folder) {
          return folder->path.IsParent(entry.path);
        });
    if (inside)
      entry.handle.Close();
    else if (!top)
      all = DeleteEntry(&entry) && all;
  }
  for (Entry* top : tops)
    all = DeleteEntry(top) && all;
  return all;
}

// static
bool HeldFiles::DeleteEntry(Entry* entry) {
  entry->handle.Close();
  // The name is opened anew, not following a link, and deleted through
  // that handle only when it is still what was held.
  base::win::ScopedHandle handle(::CreateFileW(
      entry->path.value().c_str(), DELETE | FILE_READ_ATTRIBUTES,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
      nullptr));
  if (!handle.IsValid()) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
      return true;
    PLOG(WARNING) << "Cannot delete " << entry->path;
    return false;
  }
  FileId id;
  DWORD attributes = 0;
  if (!GetId(handle.Get(), &id, &attributes) || !(id == entry->id) ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    LOG(WARNING) << "Not deleting " << entry->path
                 << ": it is no longer what this run made";
    return false;
  }
  const bool folder = entry->folder;
  if (MarkForDeletion(handle.Get(), entry->path, folder))
    return true;
  // A folder of this run that the programs it started wrote into (the
  // backend's shortcut, a component's files) goes with what they left;
  // a link among it goes by itself.
  if (::GetLastError() == ERROR_DIR_NOT_EMPTY && folder) {
    handle.Close();
    if (base::DeleteFile(entry->path, true))
      return true;
  }
  PLOG(WARNING) << "Cannot delete " << entry->path;
  return false;
}

bool HeldFiles::Take(const base::FilePath& path, Entry* entry) {
  base::AutoLock hold(lock_);
  auto it = held_.find(Key(path));
  if (it == held_.end())
    return false;
  *entry = std::move(it->second);
  held_.erase(it);
  return true;
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
                                              bool folder,
                                              FileId* id) {
  // Readers and programs started from the file may share it; a writer, a
  // rename or a delete may not. A folder's files may still be created and
  // written; the folder itself cannot be renamed.
  const DWORD access =
      folder ? FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE
             : GENERIC_READ;
  const DWORD share =
      folder ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
  const DWORD flags =
      FILE_FLAG_OPEN_REPARSE_POINT |
      (folder ? FILE_FLAG_BACKUP_SEMANTICS : FILE_FLAG_SEQUENTIAL_SCAN);
  base::win::ScopedHandle handle(::CreateFileW(path.value().c_str(), access,
                                               share, nullptr, OPEN_EXISTING,
                                               flags, nullptr));
  if (!handle.IsValid()) {
    PLOG(ERROR) << "Cannot hold " << path;
    return handle;
  }
  DWORD attributes = 0;
  if (!GetId(handle.Get(), id, &attributes) ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
      ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != folder) {
    LOG(ERROR) << path << " is not the " << (folder ? "folder" : "file")
               << " that was made";
    handle.Close();
  }
  return handle;
}

// static
bool HeldFiles::GetId(HANDLE handle, FileId* id, DWORD* attributes) {
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!::GetFileInformationByHandle(handle, &info))
    return false;
  id->volume = info.dwVolumeSerialNumber;
  id->index_high = info.nFileIndexHigh;
  id->index_low = info.nFileIndexLow;
  *attributes = info.dwFileAttributes;
  return true;
}

// static
std::wstring HeldFiles::Key(const base::FilePath& path) {
  std::wstring key = path.NormalizePathSeparators().value();
  if (!key.empty())
    ::CharUpperBuffW(&key[0], static_cast<DWORD>(key.size()));
  return key;
}

void HeldFiles::Add(const base::FilePath& path,
                    base::win::ScopedHandle handle,
                    const FileId& id,
                    const std::string& sha256,
                    bool folder) {
  base::AutoLock hold(lock_);
  const std::wstring key = Key(path);
  Entry& entry = held_[key];
  entry.path = path;
  entry.handle = std::move(handle);
  entry.id = id;
  entry.sha256 = sha256;
  entry.folder = folder;
  order_.push_back(key);
}

}  // namespace installer
