#include "desktop/windows/installer/service/transactions/pinned_folders.h"

#include <windows.h>

#include <string.h>

#include <winternl.h>

#include <utility>
#include <vector>

#include "base/logging.h"
#include "base/strings/string_util.h"

namespace installer {

namespace {

// Others may read and write what is held, never rename or delete it.
constexpr DWORD kHeldShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE;

std::wstring KeyOf(const base::FilePath& path) {
  return base::ToLowerASCII(path.StripTrailingSeparators().value());
}

bool IsSamePath(const base::FilePath& a, const base::FilePath& b) {
  return KeyOf(a) == KeyOf(b);
}

// The drive ("C:\") or share ("\\server\share") |path| lies on; empty for
// any other form.
base::FilePath RootOf(const base::FilePath& path) {
  const std::wstring& text = path.value();
  if (text.size() >= 3 && base::IsAsciiAlpha(text[0]) && text[1] == L':' &&
      text[2] == L'\\') {
    return base::FilePath(text.substr(0, 3));
  }
  if (!base::StartsWith(text, L"\\\\", base::CompareCase::SENSITIVE))
    return base::FilePath();
  const size_t server_end = text.find(L'\\', 2);
  if (server_end == std::wstring::npos || server_end == 2)
    return base::FilePath();
  const size_t share_end = text.find(L'\\', server_end + 1);
  return base::FilePath(text.substr(0, share_end));
}

// The native calls, which every Windows has: the name of what a handle is
// open on, and the information classes that act through a handle.
struct IoStatus {
  union {
    LONG status;
    void* pointer;
  };
  ULONG_PTR information;
};
struct AttributeTagInformation {
  ULONG attributes;
  ULONG reparse_tag;
};
struct BasicInformation {
  LARGE_INTEGER creation_time;
  LARGE_INTEGER last_access_time;
  LARGE_INTEGER last_write_time;
  LARGE_INTEGER change_time;
  ULONG attributes;
};
struct RenameInformation {
  BOOLEAN replace_if_exists;
  HANDLE root_directory;
  ULONG name_length;
  wchar_t name[1];
};
constexpr int kObjectNameInformation = 1;
constexpr int kFileBasicInformation = 4;
constexpr int kFileRenameInformation = 10;
constexpr int kFileDispositionInformation = 13;
constexpr int kFileAttributeTagInformation = 35;

using QueryObjectFunction = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
using FileInformationFunction =
    LONG(WINAPI*)(HANDLE, IoStatus*, void*, ULONG, int);
using StatusToErrorFunction = ULONG(WINAPI*)(LONG);

struct Native {
  Native() {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    query_object = reinterpret_cast<QueryObjectFunction>(
        ::GetProcAddress(ntdll, "NtQueryObject"));
    query_file = reinterpret_cast<FileInformationFunction>(
        ::GetProcAddress(ntdll, "NtQueryInformationFile"));
    set_file = reinterpret_cast<FileInformationFunction>(
        ::GetProcAddress(ntdll, "NtSetInformationFile"));
    to_error = reinterpret_cast<StatusToErrorFunction>(
        ::GetProcAddress(ntdll, "RtlNtStatusToDosError"));
  }
  QueryObjectFunction query_object;
  FileInformationFunction query_file;
  FileInformationFunction set_file;
  StatusToErrorFunction to_error;
};

const Native& GetNative() {
  static const Native native;
  return native;
}

// Sets the information |info| of |handle|; false, with the last error set,
// when that fails.
bool SetInformation(HANDLE handle, void* info, ULONG size, int kind) {
  IoStatus status = {};
  const LONG result = GetNative().set_file(handle, &status, info, size, kind);
  if (result >= 0)
    return true;
  ::SetLastError(GetNative().to_error(result));
  return false;
}

bool QueryInformation(HANDLE handle, void* info, ULONG size, int kind) {
  IoStatus status = {};
  return GetNative().query_file(handle, &status, info, size, kind) >= 0;
}

// The system's own name of what |handle| is open on, every link and
// junction on the way resolved: "\Device\HarddiskVolume1\Users" on
// Windows, "\??\C:\users" under Wine.
base::FilePath GetFinalPath(HANDLE handle) {
  std::vector<BYTE> buffer(2048);
  ULONG size = 0;
  LONG status =
      GetNative().query_object(handle, kObjectNameInformation, buffer.data(),
                               static_cast<ULONG>(buffer.size()), &size);
  if (status < 0 && size > buffer.size()) {
    buffer.resize(size);
    status =
        GetNative().query_object(handle, kObjectNameInformation, buffer.data(),
                                 static_cast<ULONG>(buffer.size()), &size);
  }
  if (status < 0 || size < sizeof(UNICODE_STRING))
    return base::FilePath();
  const UNICODE_STRING* name =
      reinterpret_cast<const UNICODE_STRING*>(buffer.data());
  if (!name->Buffer)
    return base::FilePath();
  return base::FilePath(
             std::wstring(name->Buffer, name->Length / sizeof(wchar_t)))
      .StripTrailingSeparators();
}

// |path| in the form a rename through a handle takes.
std::wstring GetNtPath(const base::FilePath& path) {
  const std::wstring& text = path.value();
  if (base::StartsWith(text, L"\\\\", base::CompareCase::SENSITIVE))
    return L"\\??\\UNC\\" + text.substr(2);
  return L"\\??\\" + text;
}

// Wine names a folder that a drive letter is mapped to by that drive
// ("S:\"), whichever way it was opened; the folder's own entry, which the
// handle keeps from being renamed, tells that it is no link.
bool IsDriveNamedFolder(const base::FilePath& path,
                        const base::FilePath& final_path) {
  const std::wstring& name = final_path.value();
  if (name.size() != 6 || name.compare(0, 4, L"\\??\\") != 0 ||
      !base::IsAsciiAlpha(name[4]) || name[5] != L':') {
    return false;
  }
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW(path.value().c_str(), &data);
  if (find == INVALID_HANDLE_VALUE)
    return false;
  ::FindClose(find);
  return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool MarkForDeletion(HANDLE handle, const base::FilePath& path) {
  BOOLEAN disposition = TRUE;
  if (SetInformation(handle, &disposition, sizeof(disposition),
                     kFileDispositionInformation)) {
    return true;
  }
  const DWORD error = ::GetLastError();
  if (error == ERROR_DIR_NOT_EMPTY)
    return false;
  // A read-only file cannot be deleted: what is deleted need not stay so.
  BasicInformation basic = {};
  if (error == ERROR_ACCESS_DENIED &&
      QueryInformation(handle, &basic, sizeof(basic), kFileBasicInformation) &&
      (basic.attributes & FILE_ATTRIBUTE_READONLY)) {
    basic.attributes &= ~FILE_ATTRIBUTE_READONLY;
    if (!basic.attributes)
      basic.attributes = FILE_ATTRIBUTE_NORMAL;
    if (SetInformation(handle, &basic, sizeof(basic), kFileBasicInformation) &&
        SetInformation(handle, &disposition, sizeof(disposition),
                       kFileDispositionInformation)) {
      return true;
    }
  }
  LOG(ERROR) << "Cannot delete " << path << ": "
             << logging::SystemErrorCodeToString(error);
  return false;
}

}  // namespace

PinnedFolders::PinnedFolders(const std::vector<base::FilePath>& known_folders)
    : known_folders_(known_folders) {}

PinnedFolders::~PinnedFolders() = default;

bool PinnedFolders::Pin(const base::FilePath& folder) {
  const Folder* held = nullptr;
  return GetFolder(folder, &held) == Result::kDone;
}

PinnedFolders::Result PinnedFolders::GetFolder(const base::FilePath& folder,
                                               const Folder** held) {
  const base::FilePath path = folder.StripTrailingSeparators();
  const auto it = folders_.find(KeyOf(path));
  if (it != folders_.end()) {
    *held = it->second.get();
    return Result::kDone;
  }
  // A known folder, and a drive's root, are what the system makes of them.
  bool known = IsSamePath(path, RootOf(path));
  for (const base::FilePath& known_folder : known_folders_)
    known = known || IsSamePath(path, known_folder);
  auto entry = std::make_unique<Folder>();
  if (known) {
    std::wstring name = path.value();
    if (name.empty() || name.back() != L'\\')
      name += L'\\';
    entry->handle.Set(::CreateFileW(
        name.c_str(), kFolderAccess | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
        kHeldShare, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
        nullptr));
    if (!entry->handle.IsValid())
      return Result::kAbsent;
    entry->final_path = GetFinalPath(entry->handle.Get());
    if (entry->final_path.empty()) {
      PLOG(ERROR) << "Cannot tell where " << path << " lies";
      return Result::kFailed;
    }
  } else {
    if (RootOf(path).empty()) {
      LOG(ERROR) << path << " is no absolute path";
      return Result::kRefused;
    }
    bool is_folder = false;
    const Result result = OpenChecked(path, kFolderAccess, kHeldShare,
                                      &entry->handle, &is_folder);
    if (result != Result::kDone)
      return result;
    if (!is_folder) {
      LOG(ERROR) << path << " is no folder";
      return Result::kRefused;
    }
    entry->final_path = GetFinalPath(entry->handle.Get());
  }
  *held = entry.get();
  folders_[KeyOf(path)] = std::move(entry);
  return Result::kDone;
}

PinnedFolders::Result PinnedFolders::OpenChecked(
    const base::FilePath& path,
    DWORD access,
    DWORD share,
    base::win::ScopedHandle* handle,
    bool* is_folder) {
  const Folder* parent = nullptr;
  const base::FilePath parent_path = path.DirName();
  if (parent_path == path)
    return Result::kRefused;
  const Result parent_result = GetFolder(parent_path, &parent);
  if (parent_result != Result::kDone)
    return parent_result;
  handle->Set(::CreateFileW(
      path.value().c_str(), access | FILE_READ_ATTRIBUTES | SYNCHRONIZE, share,
      nullptr, OPEN_EXISTING,
      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!handle->IsValid()) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
      return Result::kAbsent;
    LOG(ERROR) << "Cannot open " << path << ": "
               << logging::SystemErrorCodeToString(error);
    return Result::kFailed;
  }
  AttributeTagInformation info = {};
  if (!QueryInformation(handle->Get(), &info, sizeof(info),
                        kFileAttributeTagInformation)) {
    LOG(ERROR) << "Cannot read what " << path << " is";
    return Result::kFailed;
  }
  const base::FilePath final_path = GetFinalPath(handle->Get());
  const base::FilePath expected = parent->final_path.Append(path.BaseName());
  if ((info.attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
      (!IsSamePath(final_path, expected) &&
       !IsDriveNamedFolder(path, final_path))) {
    LOG(ERROR) << path << " leads to " << final_path
               << " through a link or junction; it is left alone";
    handle->Close();
    return Result::kRefused;
  }
  *is_folder = (info.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return Result::kDone;
}

void PinnedFolders::Release(const base::FilePath& path) {
  const std::wstring key = KeyOf(path);
  for (auto it = folders_.begin(); it != folders_.end();) {
    if (it->first == key || base::StartsWith(it->first, key + L"\\",
                                             base::CompareCase::SENSITIVE)) {
      it = folders_.erase(it);
    } else {
      ++it;
    }
  }
}

PinnedFolders::Result PinnedFolders::DeleteFile(const base::FilePath& path) {
  Release(path);
  base::win::ScopedHandle handle;
  bool is_folder = false;
  const Result result = OpenChecked(path, DELETE | FILE_WRITE_ATTRIBUTES,
                                    kHeldShare, &handle, &is_folder);
  if (result != Result::kDone)
    return result;
  if (is_folder) {
    LOG(ERROR) << path << " is a folder, no file; it is left alone";
    return Result::kRefused;
  }
  return MarkForDeletion(handle.Get(), path) ? Result::kDone : Result::kFailed;
}

PinnedFolders::Result PinnedFolders::DeleteTree(const base::FilePath& path) {
  Release(path);
  base::win::ScopedHandle handle;
  bool is_folder = false;
  const Result result =
      OpenChecked(path, DELETE | FILE_WRITE_ATTRIBUTES | kFolderAccess,
                  kHeldShare, &handle, &is_folder);
  if (result != Result::kDone)
    return result;
  if (!is_folder) {
    return MarkForDeletion(handle.Get(), path) ? Result::kDone
                                               : Result::kFailed;
  }
  // Held as a parent while what it holds goes, then deleted through the
  // same handle.
  auto entry = std::make_unique<Folder>();
  entry->final_path = GetFinalPath(handle.Get());
  entry->handle = std::move(handle);
  Folder* folder = entry.get();
  folders_[KeyOf(path)] = std::move(entry);
  std::vector<base::FilePath> children;
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW(path.Append(L"*").value().c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name != L"." && name != L"..")
        children.push_back(path.Append(name));
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
  }
  Result worst = Result::kDone;
  for (const base::FilePath& child : children) {
    const Result child_result = DeleteTree(child);
    if (child_result == Result::kRefused || child_result == Result::kFailed)
      worst = child_result;
  }
  base::win::ScopedHandle own = std::move(folder->handle);
  folders_.erase(KeyOf(path));
  if (worst != Result::kDone)
    return worst;
  return MarkForDeletion(own.Get(), path) ? Result::kDone : Result::kFailed;
}

PinnedFolders::Result PinnedFolders::Move(const base::FilePath& from,
                                          const base::FilePath& to) {
  Release(from);
  const Folder* target = nullptr;
  Result result = GetFolder(to.DirName(), &target);
  if (result != Result::kDone)
    return result == Result::kAbsent ? Result::kFailed : result;
  base::win::ScopedHandle handle;
  bool is_folder = false;
  result = OpenChecked(from, DELETE, kHeldShare, &handle, &is_folder);
  if (result != Result::kDone)
    return result;
  if (::GetFileAttributesW(to.value().c_str()) != INVALID_FILE_ATTRIBUTES)
    return Result::kAbsent;
  const std::wstring name = GetNtPath(to);
  std::vector<BYTE> buffer(sizeof(RenameInformation) +
                           name.size() * sizeof(wchar_t));
  RenameInformation* rename =
      reinterpret_cast<RenameInformation*>(buffer.data());
  rename->replace_if_exists = FALSE;
  rename->root_directory = nullptr;
  rename->name_length = static_cast<ULONG>(name.size() * sizeof(wchar_t));
  memcpy(rename->name, name.c_str(), rename->name_length);
  if (!SetInformation(handle.Get(), rename, static_cast<ULONG>(buffer.size()),
                      kFileRenameInformation)) {
    PLOG(ERROR) << "Cannot move " << from << " back to " << to;
    return Result::kFailed;
  }
  return Result::kDone;
}

PinnedFolders::Result PinnedFolders::RemoveEmptyFolder(
    const base::FilePath& path) {
  Release(path);
  base::win::ScopedHandle handle;
  bool is_folder = false;
  const Result result =
      OpenChecked(path, DELETE, kHeldShare, &handle, &is_folder);
  if (result != Result::kDone)
    return result;
  if (!is_folder)
    return Result::kRefused;
  return MarkForDeletion(handle.Get(), path) ? Result::kDone : Result::kFailed;
}

PinnedFolders::Result PinnedFolders::ReadFile(const base::FilePath& path,
                                              int64_t max_size,
                                              std::string* content) {
  base::win::ScopedHandle handle;
  bool is_folder = false;
  const Result result =
      OpenChecked(path, GENERIC_READ, kHeldShare, &handle, &is_folder);
  if (result != Result::kDone)
    return result;
  LARGE_INTEGER size = {};
  if (is_folder || !::GetFileSizeEx(handle.Get(), &size) ||
      size.QuadPart > max_size) {
    LOG(ERROR) << path << " is no file of at most " << max_size << " bytes";
    return Result::kRefused;
  }
  content->resize(static_cast<size_t>(size.QuadPart));
  size_t done = 0;
  while (done < content->size()) {
    DWORD read = 0;
    if (!::ReadFile(handle.Get(), &(*content)[done],
                    static_cast<DWORD>(content->size() - done), &read,
                    nullptr)) {
      PLOG(ERROR) << "Cannot read " << path;
      return Result::kFailed;
    }
    if (read == 0)
      break;
    done += read;
  }
  content->resize(done);
  return Result::kDone;
}

}  // namespace installer
