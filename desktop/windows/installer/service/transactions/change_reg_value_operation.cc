#include "desktop/windows/installer/service/transactions/change_reg_value_operation.h"

#include <utility>

#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/service/transactions/create_reg_key_operation.h"
#include "desktop/windows/installer/service/transactions/journal_record.h"
#include "desktop/windows/installer/service/transactions/link_free_registry.h"
#include "desktop/windows/installer/service/transactions/operation_util.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/service/utils.h"

namespace installer {

namespace {

constexpr REGSAM kValueAccess = KEY_QUERY_VALUE | KEY_SET_VALUE;

std::vector<BYTE> CopyData(const void* data, DWORD size) {
  if (!data || size == 0)
    return std::vector<BYTE>();
  const BYTE* bytes = static_cast<const BYTE*>(data);
  return std::vector<BYTE>(bytes, bytes + size);
}

// Writes |data| as the value; an empty buffer still gets a valid pointer.
LONG WriteValue(HKEY key,
                const std::wstring& name,
                DWORD type,
                const std::vector<BYTE>& data) {
  static const BYTE kNoData = 0;
  return ::RegSetValueExW(key, name.c_str(), 0, type,
                          data.empty() ? &kNoData : data.data(),
                          static_cast<DWORD>(data.size()));
}

}  // namespace

ChangeRegValueOperation::ChangeRegValueOperation(HKEY root,
                                                 const std::wstring& key_path,
                                                 const std::wstring& value_name,
                                                 const void* data,
                                                 DWORD type,
                                                 DWORD data_size,
                                                 REGSAM view_flags)
    : root_(root),
      key_path_(key_path),
      value_name_(value_name),
      new_type_(type),
      new_data_(CopyData(data, data_size)),
      view_flags_(view_flags) {}

ChangeRegValueOperation::~ChangeRegValueOperation() {
  // The key handle closes after this, with the member.
  if (saved_security_ && !RestoreSecurity(&saved_security_)) {
    LOG(ERROR) << "Cannot restore the permissions of "
               << GetRegistryObjectName(root_, key_path_);
  }
}

bool ChangeRegValueOperation::Execute(Transaction* nested) {
  VLOG(1) << "Attempting to change registry value at "
          << static_cast<const void*>(root_) << ": " << key_path_ << " - "
          << value_name_ << ". New Type:" << new_type_;
  bool nothing_to_do = false;
  if (!OpenKey(nested, &nothing_to_do))
    return false;
  if (nothing_to_do)
    return true;
  if (!ReadOldValue())
    return false;
  journal::ChangedValue change{{root_, view_flags_, key_path_}, value_name_};
  if (old_type_ != kRemoveValueType)
    change.old_value =
        journal::RegistryValue{value_name_, old_type_, old_data_};
  JournalChange(nested, change);

  const std::wstring object_name = GetRegistryObjectName(root_, key_path_);
  if (new_type_ != kRemoveValueType) {
    if (WriteValue(key_.Handle(), value_name_, new_type_, new_data_) !=
        ERROR_SUCCESS) {
      LOG(ERROR) << "Failed writing " << value_name_ << " to " << object_name;
      return false;
    }
  } else {
    if (old_type_ == kRemoveValueType) {
      VLOG(1) << "We are supposed to remove the value. Nothing to do.";
      return true;
    }
    if (::RegDeleteValueW(key_.Handle(), value_name_.c_str()) !=
        ERROR_SUCCESS) {
      LOG(ERROR) << "Failed to remove " << value_name_ << " from "
                 << object_name;
      return false;
    }
  }
  VLOG(1) << "Value changed successfully.";
  changed_ = true;
  return true;
}

void ChangeRegValueOperation::Rollback() {
  if (!changed_)
    return;
  LONG result =
      old_type_ == kRemoveValueType
          ? ::RegDeleteValueW(key_.Handle(), value_name_.c_str())
          : WriteValue(key_.Handle(), value_name_, old_type_, old_data_);
  LOG_IF(ERROR, result != ERROR_SUCCESS)
      << "Cannot restore the value " << value_name_ << " of "
      << GetRegistryObjectName(root_, key_path_) << ": "
      << logging::SystemErrorCodeToString(result);
  changed_ = false;
}

bool ChangeRegValueOperation::OpenKey(Transaction* nested,
                                      bool* nothing_to_do) {
  const REGSAM access = view_flags_ | kValueAccess;
  LONG result = OpenKeyWithoutLinks(root_, key_path_, access, &key_);
  if (result == ERROR_FILE_NOT_FOUND) {
    VLOG(1) << "Key does not exist,";
    if (new_type_ == kRemoveValueType) {
      VLOG(1) << "but we are trying to remove the value, nothing to do.";
      *nothing_to_do = true;
      return true;
    }
    VLOG(1) << "try to create it.";
    if (!nested->Execute(std::make_unique<CreateRegKeyOperation>(
            root_, key_path_, view_flags_))) {
      return false;
    }
    result = OpenKeyWithoutLinks(root_, key_path_, access, &key_);
  }
  // A key opened with the access the change needs has proven that access;
  // a check of its descriptor could only add false refusals (the
  // descriptor of a 32-bit view key is not always readable by name).
  if (result == ERROR_SUCCESS)
    return true;

  const std::wstring object_name = GetRegistryObjectName(root_, key_path_);
  if (result != ERROR_ACCESS_DENIED) {
    LOG(ERROR) << "Failed to open " << object_name;
    return false;
  }
  VLOG(1) << "We don't have enough permissions on the key.";
  if (saved_security_ ||
      !GrantAccess(object_name, GetRegistryObjectType(view_flags_),
                   kValueAccess, /*permanent=*/false, &saved_security_)) {
    LOG(ERROR) << "Failed to obtain sufficient permissions on " << object_name;
    return false;
  }
  if (OpenKeyWithoutLinks(root_, key_path_, access, &key_) != ERROR_SUCCESS) {
    LOG(ERROR) << "Failed to open " << object_name;
    return false;
  }
  return true;
}

bool ChangeRegValueOperation::ReadOldValue() {
  const std::wstring object_name = GetRegistryObjectName(root_, key_path_);
  DWORD type = REG_NONE;
  DWORD size = 0;
  LONG result = ::RegQueryValueExW(key_.Handle(), value_name_.c_str(), nullptr,
                                   &type, nullptr, &size);
  if (result == ERROR_FILE_NOT_FOUND) {
    VLOG(1) << "The value doesn't already exist.";
    old_type_ = kRemoveValueType;
    return true;
  }
  if (result != ERROR_SUCCESS) {
    LOG(ERROR) << "Failed to read " << value_name_ << " from " << object_name;
    return false;
  }
  // One spare byte, so that an empty value still has a buffer to read into.
  std::vector<BYTE> data(size + 1);
  result = ::RegQueryValueExW(key_.Handle(), value_name_.c_str(), nullptr,
                              &type, data.data(), &size);
  if (result != ERROR_SUCCESS) {
    LOG(ERROR) << "Failed to read " << value_name_ << " from " << object_name
               << " (but we succeeded before).";
    return false;
  }
  data.resize(size);
  old_data_ = std::move(data);
  old_type_ = type;
  VLOG(1) << "Value read successfully.";
  return true;
}

}  // namespace installer
