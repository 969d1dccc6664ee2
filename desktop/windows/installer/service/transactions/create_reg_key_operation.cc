#include "desktop/windows/installer/service/transactions/create_reg_key_operation.h"

#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_split.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/service/transactions/journal_record.h"
#include "desktop/windows/installer/service/transactions/link_free_registry.h"
#include "desktop/windows/installer/service/transactions/operation_util.h"
#include "desktop/windows/installer/service/utils.h"

namespace installer {

CreateRegKeyOperation::CreateRegKeyOperation(HKEY root,
                                             const std::wstring& key_path,
                                             REGSAM view_flags)
    : key_path_(key_path), root_(root), view_flags_(view_flags) {}

CreateRegKeyOperation::~CreateRegKeyOperation() {
  if (!saved_security_)
    return;
  const std::wstring object_name = saved_security_->object_path;
  if (!RestoreSecurity(&saved_security_))
    LOG(ERROR) << "Cannot restore the permissions of " << object_name;
}

bool CreateRegKeyOperation::Execute(Transaction* nested) {
  VLOG(1) << "Attempting to create registry key " << key_path_ << " under "
          << static_cast<const void*>(root_);
  base::win::RegKey existing;
  LONG result = OpenKeyWithoutLinks(root_, key_path_,
                                    view_flags_ | KEY_QUERY_VALUE, &existing);
  if (result == kErrorRegistryLink) {
    LOG(ERROR) << "Failed creating key.";
    return false;
  }
  if (result != ERROR_FILE_NOT_FOUND) {
    VLOG(1) << "The key already exists. No need to do anything.";
    return true;
  }

  VLOG(1) << "Attempting to find the nearest existing ancestor.";
  std::wstring ancestor;
  std::wstring created_top;
  bool access_denied = false;
  if (!FindExistingAncestor(&ancestor, &created_top, &access_denied))
    return false;
  VLOG(1) << "Ancestor found: " << ancestor;

  // A successful open of the ancestor for creating subkeys has proven that
  // access; only a refused one needs a grant.
  if (access_denied) {
    const std::wstring object_name = GetRegistryObjectName(root_, ancestor);
    VLOG(1) << "No access to" << object_name;
    if (!GrantAccess(object_name, GetRegistryObjectType(view_flags_),
                     KEY_CREATE_SUB_KEY, /*permanent=*/false,
                     &saved_security_)) {
      LOG(ERROR) << "Failed obtaining permissions on " << object_name;
      return false;
    }
  }

  // Remembered before the attempt, so that levels made by a creation that
  // fails half-way are removed too.
  created_top_key_ = created_top;
  JournalChange(nested, journal::CreatedKeys{{root_, view_flags_, key_path_},
                                             created_top_key_});
  if (!CreateBelow(ancestor)) {
    LOG(ERROR) << "Failed creating key.";
    return false;
  }
  return true;
}

bool CreateRegKeyOperation::CreateBelow(const std::wstring& ancestor) {
  base::win::RegKey current;
  if (OpenKeyWithoutLinks(root_, ancestor, view_flags_ | KEY_CREATE_SUB_KEY,
                          &current) != ERROR_SUCCESS) {
    return false;
  }
  const std::vector<std::wstring> levels =
      base::SplitString(key_path_.substr(ancestor.size()), L"\\",
                        base::KEEP_WHITESPACE, base::SPLIT_WANT_NONEMPTY);
  for (size_t i = 0; i < levels.size(); ++i) {
    const REGSAM access = i + 1 == levels.size()
                              ? view_flags_ | KEY_ALL_ACCESS
                              : view_flags_ | KEY_CREATE_SUB_KEY;
    if (CreateSubkeyWithoutLinks(current.Handle(), levels[i], access, nullptr,
                                 &current, nullptr) != ERROR_SUCCESS) {
      return false;
    }
  }
  return true;
}

void CreateRegKeyOperation::Rollback() {
  if (created_top_key_.empty())
    return;
  std::wstring ancestor;
  std::wstring name;
  if (!GetParentKeyPath(created_top_key_, &ancestor) ||
      !GetLastKeyPathComponent(created_top_key_, &name)) {
    return;
  }
  // The tree goes in the operation's view: the opened parent carries it to
  // every deletion below.
  base::win::RegKey parent;
  LONG result = OpenKeyWithoutLinks(root_, ancestor,
                                    view_flags_ | KEY_CREATE_SUB_KEY, &parent);
  if (result == ERROR_SUCCESS)
    result = DeleteTreeWithoutLinks(parent.Handle(), name, view_flags_);
  LOG_IF(ERROR, result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
      << "Cannot remove the created key "
      << GetRegistryObjectName(root_, created_top_key_) << ": "
      << logging::SystemErrorCodeToString(result);
  created_top_key_.clear();
}

bool CreateRegKeyOperation::FindExistingAncestor(std::wstring* ancestor,
                                                 std::wstring* created_top,
                                                 bool* access_denied) {
  std::wstring candidate = key_path_;
  for (;;) {
    std::wstring parent;
    if (!GetParentKeyPath(candidate, &parent)) {
      LOG(ERROR) << "No existing ancestor found.";
      return false;
    }
    base::win::RegKey key;
    LONG result = OpenKeyWithoutLinks(root_, parent,
                                      view_flags_ | KEY_CREATE_SUB_KEY, &key);
    if (result == ERROR_SUCCESS || result == ERROR_ACCESS_DENIED) {
      *access_denied = result == ERROR_ACCESS_DENIED;
      *ancestor = parent;
      *created_top = candidate;
      return true;
    }
    if (result != ERROR_FILE_NOT_FOUND) {
      LOG(ERROR) << "Existing ancestor could not be opened.";
      return false;
    }
    candidate = parent;
  }
}

}  // namespace installer
