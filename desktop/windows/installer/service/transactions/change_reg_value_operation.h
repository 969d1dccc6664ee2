// Sets or removes one registry value. A missing key is created first, as a
// prerequisite; a rollback writes the old type and data back, or removes a
// value that did not exist. Where the installer lacks access to the key it
// grants itself what it needs until the operation is destroyed.
//
//   // Remove "Last Install Path" in the 32-bit view:
//   transaction.Execute(std::make_unique<ChangeRegValueOperation>(
//       HKEY_CURRENT_USER, L"Software\\Kelvo", L"Last Install Path",
//       nullptr, kRemoveValueType, 0, KEY_WOW64_32KEY));

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_CHANGE_REG_VALUE_OPERATION_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_CHANGE_REG_VALUE_OPERATION_H_

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/win/registry.h"
#include "desktop/windows/installer/service/transactions/operation.h"
#include "desktop/windows/installer/service/transactions/operation_util.h"

namespace installer {

struct SavedSecurityInfo;

class ChangeRegValueOperation : public Operation {
 public:
  // Writes |data_size| bytes of |data| (copied; may be null when the size
  // is 0) as a value of |type| named |value_name| (empty: the key's default
  // value) under |root|\|key_path|. A |type| of kRemoveValueType removes the
  // value instead. |view_flags| (0, KEY_WOW64_64KEY or KEY_WOW64_32KEY)
  // chooses the registry view of every access.
  ChangeRegValueOperation(HKEY root,
                          const std::wstring& key_path,
                          const std::wstring& value_name,
                          const void* data,
                          DWORD type,
                          DWORD data_size,
                          REGSAM view_flags);
  ~ChangeRegValueOperation() override;

  // Operation:
  bool Execute(Transaction* nested) override;
  void Rollback() override;

 private:
  // Opens the key, creating it through |nested| when it is missing and
  // granting access when it is refused. False when it cannot be opened;
  // |*nothing_to_do| when the key is missing and the value is to be removed.
  bool OpenKey(Transaction* nested, bool* nothing_to_do);
  // Reads the current value into the old type and data.
  bool ReadOldValue();

  const HKEY root_;
  const std::wstring key_path_;
  const std::wstring value_name_;
  base::win::RegKey key_;
  DWORD old_type_ = kRemoveValueType;
  const DWORD new_type_;
  std::vector<BYTE> old_data_;
  const std::vector<BYTE> new_data_;
  bool changed_ = false;
  std::unique_ptr<SavedSecurityInfo> saved_security_;
  const REGSAM view_flags_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_CHANGE_REG_VALUE_OPERATION_H_
