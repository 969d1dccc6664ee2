#include "desktop/windows/installer/service/transactions/operation_util.h"

#include <memory>
#include <vector>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "desktop/windows/installer/service/transactions/create_folder_operation.h"
#include "desktop/windows/installer/service/transactions/delete_file_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/service/transactions/transaction_journal.h"

namespace installer {

void JournalChange(Transaction* nested, const journal::Entry& entry) {
  if (nested && nested->journal())
    nested->journal()->Record(entry);
}

int64_t JournalSize(Transaction* nested) {
  return nested && nested->journal() ? nested->journal()->size() : 0;
}

void CutJournalBack(Transaction* nested, int64_t mark) {
  if (nested && nested->journal())
    nested->journal()->CutBackTo(mark);
}

std::wstring GetRegistryObjectName(HKEY root, const std::wstring& key_path) {
  if (root == HKEY_CLASSES_ROOT)
    return L"CLASSES_ROOT\\" + key_path;
  if (root == HKEY_CURRENT_USER)
    return L"CURRENT_USER\\" + key_path;
  if (root == HKEY_LOCAL_MACHINE)
    return L"MACHINE\\" + key_path;
  if (root == HKEY_USERS)
    return L"USERS\\" + key_path;
  return key_path;
}

SE_OBJECT_TYPE GetRegistryObjectType(REGSAM view_flags) {
  return view_flags == KEY_WOW64_32KEY ? SE_REGISTRY_WOW64_32KEY
                                       : SE_REGISTRY_KEY;
}

bool GetParentKeyPath(const std::wstring& key_path, std::wstring* parent) {
  std::wstring path = key_path;
  while (!path.empty() && path.back() == L'\\')
    path.pop_back();
  size_t separator = path.find_last_of(L'\\');
  if (separator == std::wstring::npos)
    return false;
  path.resize(separator);
  while (!path.empty() && path.back() == L'\\')
    path.pop_back();
  if (path.empty())
    return false;
  *parent = path;
  return true;
}

bool GetLastKeyPathComponent(const std::wstring& key_path, std::wstring* name) {
  size_t end = key_path.find_last_not_of(L'\\');
  if (end == std::wstring::npos)
    return false;
  size_t separator = key_path.find_last_of(L'\\', end);
  size_t start = separator == std::wstring::npos ? 0 : separator + 1;
  *name = key_path.substr(start, end + 1 - start);
  return true;
}

size_t CountKeyPathComponents(const std::wstring& key_path) {
  size_t count = 0;
  bool in_component = false;
  for (wchar_t c : key_path) {
    if (c == L'\\') {
      in_component = false;
    } else if (!in_component) {
      in_component = true;
      ++count;
    }
  }
  return count;
}

bool PrepareDestination(const base::FilePath& destination,
                        Transaction* nested) {
  base::FilePath parent = destination.DirName();
  if (!base::DirectoryExists(parent))
    return nested->Execute(std::make_unique<CreateFolderOperation>(parent));
  if (base::PathExists(destination)) {
    return nested->Execute(std::make_unique<DeleteFileOperation>(
        destination, /*check_in_use=*/false, /*remove_empty_parents=*/false));
  }
  return true;
}

void RemoveCreatedFolders(const base::FilePath& folder,
                          const base::FilePath& existing_ancestor) {
  for (base::FilePath current = folder;
       existing_ancestor.IsParentIgnoringCase(current);
       current = current.DirName()) {
    if (base::DirectoryExists(current) &&
        !::RemoveDirectoryW(current.value().c_str())) {
      return;
    }
  }
}

bool ClearReadOnlyAttribute(const base::FilePath& path, bool* writable) {
  if (writable)
    *writable = false;
  DWORD attributes = ::GetFileAttributesW(path.value().c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return false;
  if (!(attributes & FILE_ATTRIBUTE_READONLY)) {
    if (writable)
      *writable = true;
    return false;
  }
  if (!::SetFileAttributesW(path.value().c_str(),
                            attributes & ~FILE_ATTRIBUTE_READONLY)) {
    LOG(ERROR) << "Couldn't clear RO attribute of " << path;
    return false;
  }
  if (writable)
    *writable = true;
  return true;
}

void RestoreReadOnlyAttribute(const base::FilePath& path) {
  DWORD attributes = ::GetFileAttributesW(path.value().c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      !::SetFileAttributesW(path.value().c_str(),
                            attributes | FILE_ATTRIBUTE_READONLY)) {
    LOG(ERROR) << "Could not make " << path << " read-only again";
  }
}

}  // namespace installer
