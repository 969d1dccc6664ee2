#include "desktop/windows/installer/package_fetcher/held_files.h"

#include <stdint.h>

#include <memory>
#include <utility>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "crypto/secure_hash.h"
#include "desktop/windows/installer/package_fetcher/checksum_checker.h"

namespace installer {

namespace {

// Read in pieces on the stack: most files are small, and a heap block as
// large as a file costs more than reading it.
constexpr int kReadPiece = 64 << 10;
// Files read whole: lists and prefs.
constexpr int64_t kMaxReadHeld = 1 << 20;

// The SHA-256 (hex) of the whole content of |file|; empty when it cannot be
// read. |content| (may be null) receives the bytes.
std::string HashContent(base::NewFile* file, std::string* content) {
  std::unique_ptr<crypto::SecureHash> hash =
      crypto::SecureHash::Create(crypto::SecureHash::SHA256);
  if (!hash)
    return std::string();
  char buffer[kReadPiece];
  for (int64_t offset = 0;;) {
    const int read = file->Read(offset, buffer, kReadPiece);
    if (read < 0)
      return std::string();
    if (read == 0)
      break;
    hash->Update(buffer, read);
    if (content)
      content->append(buffer, read);
    offset += read;
  }
  return FinishSha256Hex(hash.get());
}

}  // namespace

HeldFiles::HeldFiles() = default;

HeldFiles::~HeldFiles() {
  ReleaseAll();
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
  base::FileIdentity id;
  base::win::ScopedHandle handle = OpenFolder(folder, &id);
  if (!handle.IsValid())
    return false;
  AddFolder(folder, std::move(handle), id);
  return true;
}

bool HeldFiles::HoldWritten(const base::FilePath& path,
                            const std::string& sha256,
                            const base::FileIdentity* made) {
  // Closed, the file could be changed, or a link put in its place, before
  // it is held: it must be the file made, holding what was written.
  base::NewFile file = base::NewFile::HoldExisting(path, made);
  if (!file.IsValid())
    return false;
  if (sha256.empty() || HashContent(&file, nullptr) != sha256) {
    LOG(ERROR) << path << " no longer holds what was written to it";
    // Not what this run wrote: left as it is.
    file.Keep();
    return false;
  }
  AddFile(std::move(file));
  return true;
}

bool HeldFiles::HoldNewFile(base::NewFile file, const std::string& sha256) {
  // What was hashed as it was written may have been changed in the moment
  // between the end of writing and the hold; it is hashed again as held.
  if (!file.Seal() || sha256.empty() || HashContent(&file, nullptr) != sha256) {
    LOG(ERROR) << file.path() << " no longer holds what was written to it";
    return false;
  }
  AddFile(std::move(file));
  return true;
}

bool HeldFiles::WriteNewFile(base::NewFile file, std::string_view data) {
  if (!file.IsValid() || !file.Write(data.data(), data.size()))
    return false;
  // Compared rather than hashed: the bytes are at hand.
  if (!file.Seal() || !file.ContentEquals(data.data(), data.size())) {
    LOG(ERROR) << file.path() << " no longer holds what was written to it";
    return false;
  }
  AddFile(std::move(file));
  return true;
}

bool HeldFiles::WriteNewFile(const base::FilePath& path,
                             std::string_view data) {
  return WriteNewFile(base::NewFile::Create(path), data);
}

bool HeldFiles::CopyInto(base::NewFile* source,
                         const base::FilePath& target,
                         const std::string& sha256) {
  base::NewFile copy = base::NewFile::Create(target);
  if (!copy.IsValid())
    return false;
  std::unique_ptr<char[]> buffer(new char[kReadPiece]);
  for (int64_t offset = 0;;) {
    const int read = source->Read(offset, buffer.get(), kReadPiece);
    if (read < 0) {
      PLOG(ERROR) << "Cannot read " << source->path();
      return false;
    }
    if (read == 0)
      break;
    if (!copy.Write(buffer.get(), read))
      return false;
    offset += read;
  }
  return HoldNewFile(std::move(copy), sha256);
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
        base::FileIdentity id;
        base::win::ScopedHandle handle = OpenFolder(path, &id);
        held = handle.IsValid() && held;
        if (handle.IsValid())
          AddFolder(path, std::move(handle), id);
      }
      held = HoldTree(path) && held;
    } else if (!IsHeld(path)) {
      base::NewFile file = base::NewFile::HoldExisting(path);
      held = file.IsValid() && held;
      if (file.IsValid())
        AddFile(std::move(file));
    }
  } while (held && ::FindNextFileW(search, &found));
  ::FindClose(search);
  return held;
}

bool HeldFiles::ReadHeld(const base::FilePath& path, std::string* content) {
  base::AutoLock hold(lock_);
  auto it = held_.find(Key(path));
  if (it == held_.end() || !it->second.file.IsValid())
    return false;
  base::NewFile& file = it->second.file;
  // Held for reading only: nobody has written it since it was checked.
  char beyond = 0;
  std::string text;
  if (file.Read(kMaxReadHeld, &beyond, 1) != 0 ||
      HashContent(&file, &text).empty()) {
    LOG(ERROR) << "Cannot read " << path << " whole";
    return false;
  }
  *content = std::move(text);
  return true;
}

bool HeldFiles::Rewrite(const base::FilePath& path, std::string_view data) {
  Entry entry;
  if (!Take(path, &entry) || !entry.file.IsValid()) {
    LOG(ERROR) << path << " is not held as a file";
    return false;
  }
  // Made new under its name: a name that another program took in the
  // moment between is refused.
  return entry.file.Delete() && WriteNewFile(path, data);
}

void HeldFiles::Release(const base::FilePath& path) {
  Entry entry;
  if (Take(path, &entry))
    Keep(&entry);
}

void HeldFiles::ReleaseAll() {
  base::AutoLock hold(lock_);
  for (auto& held : held_)
    Keep(&held.second);
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
  bool all = true;
  for (Entry& entry : entries)
    all = DeleteEntry(&entry) && all;
  return all;
}

// static
bool HeldFiles::DeleteEntry(Entry* entry) {
  if (entry->file.IsValid())
    return entry->file.Delete();
  entry->folder.Close();
  // A folder of this run that the programs it started wrote into (the
  // backend's shortcut, a component's files) goes with what they left.
  return base::DeleteFolderAtItsPlace(entry->path, entry->id);
}

// static
void HeldFiles::Keep(Entry* entry) {
  if (entry->file.IsValid())
    entry->file.Keep();
  entry->folder.Close();
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
base::win::ScopedHandle HeldFiles::OpenFolder(const base::FilePath& path,
                                              base::FileIdentity* id) {
  // Its files may still be created and written; the folder itself cannot
  // be renamed.
  base::win::ScopedHandle handle =
      base::OpenFolderAtItsPlace(path, SYNCHRONIZE);
  if (handle.IsValid() && !base::GetFileIdentity(handle.Get(), id)) {
    PLOG(ERROR) << "Cannot identify the folder " << path;
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

void HeldFiles::AddFile(base::NewFile file) {
  Entry entry;
  entry.path = file.path();
  entry.file = std::move(file);
  Add(std::move(entry));
}

void HeldFiles::AddFolder(const base::FilePath& path,
                          base::win::ScopedHandle handle,
                          const base::FileIdentity& id) {
  Entry entry;
  entry.path = path;
  entry.folder = std::move(handle);
  entry.id = id;
  Add(std::move(entry));
}

void HeldFiles::Add(Entry entry) {
  base::AutoLock hold(lock_);
  const std::wstring key = Key(entry.path);
  auto it = held_.find(key);
  if (it != held_.end())
    Keep(&it->second);
  held_[key] = std::move(entry);
  order_.push_back(key);
}

}  // namespace installer
