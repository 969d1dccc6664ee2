#include "desktop/windows/installer/service/transactions/delete_reg_key_operation.h"

#include <memory>
#include <utility>

#include "base/files/file_path.h"
#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/service/transactions/journal_record.h"
#include "desktop/windows/installer/service/transactions/link_free_registry.h"
#include "desktop/windows/installer/service/transactions/operation_util.h"
#include "desktop/windows/installer/service/utils.h"

namespace installer {

namespace {

// Query and set values, create subkeys, enumerate subkeys, notify, delete,
// read control: what saving and deleting a key needs.
constexpr REGSAM kDeleteAccess = 0x3001F;

// Group, DACL and label; the owner becomes whoever recreates the key.
constexpr SECURITY_INFORMATION kSavedSecurity = GROUP_SECURITY_INFORMATION |
                                                DACL_SECURITY_INFORMATION |
                                                LABEL_SECURITY_INFORMATION;

// Key names are at most 255 characters.
constexpr DWORD kMaxKeyNameLength = 256;

std::wstring StripTrailingBackslashes(std::wstring path) {
  while (!path.empty() && path.back() == L'\\')
    path.pop_back();
  return path;
}

// Reads the descriptor of an open key quietly; false when it cannot.
bool TryReadKeySecurity(HKEY key, std::vector<BYTE>* descriptor) {
  DWORD size = 0;
  if (::RegGetKeySecurity(key, kSavedSecurity, nullptr, &size) !=
          ERROR_INSUFFICIENT_BUFFER ||
      size == 0) {
    return false;
  }
  descriptor->resize(size);
  if (::RegGetKeySecurity(key, kSavedSecurity, descriptor->data(), &size) !=
      ERROR_SUCCESS) {
    descriptor->clear();
    return false;
  }
  return true;
}

bool SaveKeySecurity(HKEY key,
                     const std::wstring& object_name,
                     std::vector<BYTE>* descriptor) {
  DWORD size = 0;
  LONG result = ::RegGetKeySecurity(key, kSavedSecurity, nullptr, &size);
  if (result != ERROR_SUCCESS && result != ERROR_INSUFFICIENT_BUFFER) {
    LOG(ERROR) << "Failed to obtain security descriptor for " << object_name;
    return false;
  }
  descriptor->resize(size);
  if (::RegGetKeySecurity(key, kSavedSecurity, descriptor->data(), &size) !=
      ERROR_SUCCESS) {
    LOG(ERROR) << "Failed to obtain security descriptor for " << object_name
               << "(but we succeeded earlier)";
    return false;
  }
  return true;
}

template <typename SavedValue>
bool SaveValues(HKEY key,
                const std::wstring& object_name,
                std::vector<SavedValue>* values) {
  DWORD value_count = 0;
  DWORD max_name_length = 0;
  DWORD max_data_size = 0;
  if (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, &value_count, &max_name_length,
                         &max_data_size, nullptr, nullptr) != ERROR_SUCCESS) {
    LOG(ERROR) << "Failed to obtain key info for " << object_name;
    return false;
  }
  VLOG(1) << value_count << " values";
  std::vector<wchar_t> name(max_name_length + 1);
  std::vector<BYTE> data(max_data_size + 1);
  for (DWORD index = 0; index < value_count; ++index) {
    DWORD name_length = static_cast<DWORD>(name.size());
    DWORD type = REG_NONE;
    DWORD data_size = static_cast<DWORD>(data.size());
    if (::RegEnumValueW(key, index, name.data(), &name_length, nullptr, &type,
                        data.data(), &data_size) != ERROR_SUCCESS) {
      LOG(ERROR) << "Failed to obtain value nr " << index;
      return false;
    }
    SavedValue value;
    value.name.assign(name.data(), name_length);
    value.type = type;
    value.data.assign(data.begin(), data.begin() + data_size);
    values->push_back(std::move(value));
  }
  return true;
}

}  // namespace

DeleteRegKeyOperation::SavedKey::SavedKey() = default;
DeleteRegKeyOperation::SavedKey::SavedKey(SavedKey&&) = default;
DeleteRegKeyOperation::SavedKey& DeleteRegKeyOperation::SavedKey::operator=(
    SavedKey&&) = default;
DeleteRegKeyOperation::SavedKey::~SavedKey() = default;

DeleteRegKeyOperation::DeleteRegKeyOperation(HKEY root,
                                             const std::wstring& key_path,
                                             REGSAM view_flags)
    : key_path_(StripTrailingBackslashes(key_path)),
      root_(root),
      view_flags_(view_flags) {}

DeleteRegKeyOperation::~DeleteRegKeyOperation() = default;

bool DeleteRegKeyOperation::Execute(Transaction* nested) {
  VLOG(1) << "Attempting to delete registry key " << key_path_ << " under "
          << static_cast<const void*>(root_);
  const std::wstring object_name = GetRegistryObjectName(root_, key_path_);
  if (CountKeyPathComponents(key_path_) < 2) {
    LOG(ERROR) << "Refusing to delete the top-level key " << object_name;
    return false;
  }
  base::win::RegKey key;
  LONG result = OpenKeyWithoutLinks(root_, key_path_,
                                    view_flags_ | KEY_QUERY_VALUE, &key);
  if (result == ERROR_FILE_NOT_FOUND) {
    VLOG(1) << "Key does not exist. Nothing to do.";
    return true;
  }
  if (result != ERROR_SUCCESS && result != ERROR_ACCESS_DENIED) {
    LOG(ERROR) << "Failed to open key " << object_name;
    return false;
  }
  key.Close();
  nested_ = nested;
  const bool deleted = DeleteAndSaveRecursive(nullptr, key_path_, object_name);
  nested_ = nullptr;
  return deleted;
}

void DeleteRegKeyOperation::Rollback() {
  // Each key is created through the handle of its parent, which the
  // creation granted full access: a restrictive descriptor given back to
  // the parent cannot stop its children.
  struct OpenKey {
    std::wstring path;
    std::unique_ptr<base::win::RegKey> key;
  };
  std::vector<OpenKey> open_parents;
  for (const SavedKey& saved : saved_keys_) {
    std::wstring parent_path;
    GetParentKeyPath(saved.key_path, &parent_path);
    while (!open_parents.empty() && open_parents.back().path != parent_path)
      open_parents.pop_back();
    HKEY key = RestoreKey(
        open_parents.empty() ? nullptr : open_parents.back().key->Handle(),
        saved);
    if (key) {
      open_parents.push_back(
          {saved.key_path, std::make_unique<base::win::RegKey>(key)});
    }
  }
  saved_keys_.clear();
}

void DeleteRegKeyOperation::JournalSavedKey(const SavedKey& saved) {
  // Before any key of the tree goes: a killed run's tree comes back from
  // these lines.
  journal::DeletedKey entry{{root_, view_flags_, saved.key_path}};
  for (const SavedValue& value : saved.values)
    entry.values.push_back({value.name, value.type, value.data});
  JournalChange(nested_, entry);
}

bool DeleteRegKeyOperation::DeleteAndSaveRecursive(
    HKEY parent,
    const std::wstring& key_path,
    const std::wstring& object_name) {
  VLOG(1) << "DeleteAndSaveRecursive : " << key_path;
  SavedKey saved;
  saved.key_path = key_path;
  base::win::RegKey key;
  if (!OpenForDeletion(parent, key_path, object_name, &key,
                       &saved.security_descriptor)) {
    return false;
  }
  if (saved.security_descriptor.empty() &&
      !SaveKeySecurity(key.Handle(), object_name, &saved.security_descriptor)) {
    return false;
  }
  if (!SaveValues(key.Handle(), object_name, &saved.values))
    return false;
  JournalSavedKey(saved);
  saved_keys_.push_back(std::move(saved));

  if (!DeleteSubkeys(key.Handle(), key_path, object_name))
    return false;
  // Through the handle that was saved: whatever the path leads to by now
  // is not what goes.
  LONG result = DeleteOpenKey(key.Handle());
  if (result != ERROR_SUCCESS) {
    LOG(ERROR) << "Failed to delete key " << object_name << ": "
               << logging::SystemErrorCodeToString(result);
    return false;
  }
  return true;
}

LONG DeleteRegKeyOperation::OpenKey(HKEY parent,
                                    const std::wstring& key_path,
                                    REGSAM access,
                                    base::win::RegKey* key) const {
  if (!parent)
    return OpenKeyWithoutLinks(root_, key_path, view_flags_ | access, key);
  std::wstring name;
  GetLastKeyPathComponent(key_path, &name);
  return OpenSubkeyWithoutLinks(parent, name, view_flags_ | access, key);
}

bool DeleteRegKeyOperation::OpenForDeletion(HKEY parent,
                                            const std::wstring& key_path,
                                            const std::wstring& object_name,
                                            base::win::RegKey* key,
                                            std::vector<BYTE>* descriptor) {
  LONG result = OpenKey(parent, key_path, kDeleteAccess, key);
  // A key opened with that access has proven it.
  if (result == ERROR_SUCCESS)
    return true;
  if (result != ERROR_ACCESS_DENIED) {
    LOG(ERROR) << "Failed to open key " << object_name;
    return false;
  }

  VLOG(1) << "Insufficient permissions on the key";
  // The descriptor is saved as it is before the grant changes it, so that a
  // rollback gives the key its own permissions back. The owner may read it.
  // The grant goes by name: only to the key the name leads to without a
  // registry link.
  base::win::RegKey readable;
  result = OpenKeyWithoutLinks(root_, key_path, view_flags_ | READ_CONTROL,
                               &readable);
  if (result == kErrorRegistryLink) {
    LOG(ERROR) << "Failed to open key " << object_name;
    return false;
  }
  if (result == ERROR_SUCCESS)
    TryReadKeySecurity(readable.Handle(), descriptor);
  if (!GrantAccess(object_name, GetRegistryObjectType(view_flags_),
                   kDeleteAccess, /*permanent=*/true, nullptr)) {
    LOG(ERROR) << "Unable to obtain sufficient permissions on key"
               << object_name;
    return false;
  }
  if (OpenKey(parent, key_path, kDeleteAccess, key) != ERROR_SUCCESS) {
    LOG(ERROR) << "Failed to open key " << object_name;
    return false;
  }
  return true;
}

bool DeleteRegKeyOperation::DeleteSubkeys(HKEY key,
                                          const std::wstring& key_path,
                                          const std::wstring& object_name) {
  // Index 0 each time: the subkey found before has been deleted. One that
  // is found again was not, and must not be taken on once more.
  std::wstring previous;
  for (;;) {
    wchar_t name[kMaxKeyNameLength];
    DWORD length = kMaxKeyNameLength;
    LONG result = ::RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr,
                                  nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS)
      return true;
    if (result != ERROR_SUCCESS) {
      LOG(ERROR) << "Failed to read a subkey";
      return false;
    }
    std::wstring child(name, length);
    if (!previous.empty() &&
        base::FilePath::CompareEqualIgnoreCase(child, previous)) {
      LOG(ERROR) << "The key " << object_name << "\\" << child
                 << " is still there after its deletion";
      return false;
    }
    if (!DeleteAndSaveRecursive(key, key_path + L"\\" + child,
                                object_name + L"\\" + child)) {
      return false;
    }
    previous = child;
  }
}

HKEY DeleteRegKeyOperation::RestoreKey(HKEY parent, const SavedKey& saved) {
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), nullptr, FALSE};
  if (!saved.security_descriptor.empty()) {
    attributes.lpSecurityDescriptor =
        const_cast<BYTE*>(saved.security_descriptor.data());
  }
  // A new key grants its creator what it asks for, whatever its descriptor
  // says: enough to write its values and its descriptor.
  const REGSAM access = view_flags_ | kDeleteAccess | WRITE_DAC | WRITE_OWNER;
  base::win::RegKey restored;
  bool created = false;
  LONG result;
  if (parent) {
    std::wstring name;
    GetLastKeyPathComponent(saved.key_path, &name);
    result = CreateSubkeyWithoutLinks(parent, name, access, &attributes,
                                      &restored, &created);
  } else {
    result = CreateKeyWithoutLinks(root_, saved.key_path, access, &attributes,
                                   &restored, &created);
  }
  if (result != ERROR_SUCCESS) {
    LOG(ERROR) << "Cannot restore the key "
               << GetRegistryObjectName(root_, saved.key_path) << ": "
               << logging::SystemErrorCodeToString(result);
    return nullptr;
  }
  HKEY key = restored.Take();
  // A key that is still there was never deleted: it keeps what it has.
  if (!created)
    return key;
  // Applied again: not every registry takes the descriptor from the
  // creation (Wine ignores it).
  if (!saved.security_descriptor.empty()) {
    result = ::RegSetKeySecurity(
        key, kSavedSecurity,
        const_cast<BYTE*>(saved.security_descriptor.data()));
    LOG_IF(ERROR, result != ERROR_SUCCESS)
        << "Cannot restore the permissions of "
        << GetRegistryObjectName(root_, saved.key_path) << ": "
        << logging::SystemErrorCodeToString(result);
  }
  static const BYTE kNoData = 0;
  for (const SavedValue& value : saved.values) {
    result = ::RegSetValueExW(key, value.name.c_str(), 0, value.type,
                              value.data.empty() ? &kNoData : value.data.data(),
                              static_cast<DWORD>(value.data.size()));
    LOG_IF(ERROR, result != ERROR_SUCCESS)
        << "Cannot restore the value " << value.name << " of "
        << GetRegistryObjectName(root_, saved.key_path);
  }
  return key;
}

}  // namespace installer
