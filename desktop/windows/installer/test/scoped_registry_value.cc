#include "desktop/windows/installer/test/scoped_registry_value.h"

#include "base/logging.h"
#include "base/win/registry.h"

namespace installer {
namespace test {

ScopedRegistryValue::ScopedRegistryValue(HKEY root,
                                         const std::wstring& key_path,
                                         const std::wstring& value_name,
                                         REGSAM view)
    : root_(root), key_path_(key_path), value_name_(value_name), view_(view) {
  base::win::RegKey key;
  key_existed_ = key.Open(root_, key_path_.c_str(), KEY_QUERY_VALUE | view_) ==
                 ERROR_SUCCESS;
  if (!key_existed_) {
    FindMissingParents();
    return;
  }
  DWORD size = 0;
  if (key.ReadValue(value_name_.c_str(), nullptr, &size, &type_) !=
      ERROR_SUCCESS) {
    return;
  }
  data_.resize(size);
  value_existed_ = key.ReadValue(value_name_.c_str(), data_.data(), &size,
                                 &type_) == ERROR_SUCCESS;
  data_.resize(size);
}

ScopedRegistryValue::~ScopedRegistryValue() {
  if (!key_existed_) {
    DeleteKey();
    DeleteMissingParents();
    return;
  }
  base::win::RegKey key;
  LONG result = key.Create(root_, key_path_.c_str(), KEY_SET_VALUE | view_);
  if (result == ERROR_SUCCESS) {
    result = value_existed_
                 ? key.WriteValue(value_name_.c_str(), data_.data(),
                                  static_cast<DWORD>(data_.size()), type_)
                 : key.DeleteValue(value_name_.c_str());
  }
  LOG_IF(ERROR, result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
      << "Cannot restore registry value " << key_path_ << "\\" << value_name_
      << ": " << result;
}

void ScopedRegistryValue::Delete() {
  base::win::RegKey key;
  if (key.Open(root_, key_path_.c_str(), KEY_SET_VALUE | view_) ==
      ERROR_SUCCESS) {
    key.DeleteValue(value_name_.c_str());
  }
}

void ScopedRegistryValue::DeleteKey() {
  // Through a handle of the key's own view: RegDeleteTree has no view.
  base::win::RegKey key;
  if (key.Open(root_, key_path_.c_str(), KEY_ALL_ACCESS | view_) !=
      ERROR_SUCCESS) {
    return;
  }
  ::RegDeleteTreeW(key.Handle(), nullptr);
  key.Close();
  ::RegDeleteKeyExW(root_, key_path_.c_str(), view_, 0);
}

void ScopedRegistryValue::FindMissingParents() {
  for (size_t end = key_path_.rfind(L'\\'); end != std::wstring::npos;
       end = key_path_.rfind(L'\\', end - 1)) {
    const std::wstring parent = key_path_.substr(0, end);
    base::win::RegKey key;
    if (key.Open(root_, parent.c_str(), KEY_QUERY_VALUE | view_) !=
        ERROR_FILE_NOT_FOUND) {
      return;
    }
    missing_parents_.push_back(parent);
    if (end == 0)
      return;
  }
}

void ScopedRegistryValue::DeleteMissingParents() {
  for (const std::wstring& parent : missing_parents_) {
    const size_t end = parent.rfind(L'\\');
    const std::wstring grandparent =
        end == std::wstring::npos ? std::wstring() : parent.substr(0, end);
    base::win::RegKey key(root_, grandparent.c_str(), KEY_READ | view_);
    if (key.DeleteEmptyKey(parent.substr(end + 1).c_str()) != ERROR_SUCCESS)
      return;
  }
}

}  // namespace test
}  // namespace installer
