// Creates a registry key with its missing ancestors below the nearest one
// that exists, one level at a time and never through a registry link
// (link_free_registry.h). A rollback deletes the highest key it created with
// its whole subtree; an ancestor whose permissions had to be loosened gets them
// back when the operation is destroyed.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_CREATE_REG_KEY_OPERATION_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_CREATE_REG_KEY_OPERATION_H_

#include <windows.h>

#include <memory>
#include <string>

#include "desktop/windows/installer/service/transactions/operation.h"

namespace installer {

struct SavedSecurityInfo;

class CreateRegKeyOperation : public Operation {
 public:
  // |view_flags| (0, KEY_WOW64_64KEY or KEY_WOW64_32KEY) chooses the
  // registry view of every access. A key directly below |root| is never
  // created: it has no existing ancestor.
  CreateRegKeyOperation(HKEY root,
                        const std::wstring& key_path,
                        REGSAM view_flags);
  ~CreateRegKeyOperation() override;

  // Operation:
  bool Execute(Transaction* nested) override;
  void Rollback() override;

 private:
  // Finds the nearest existing ancestor of the key, sets |*created_top| to
  // its child on the way down and |*access_denied| when the ancestor
  // refused to let keys be created below it.
  bool FindExistingAncestor(std::wstring* ancestor,
                            std::wstring* created_top,
                            bool* access_denied);
  // Creates the levels below |ancestor| down to the key, one at a time and
  // never through a registry link.
  bool CreateBelow(const std::wstring& ancestor);

  const std::wstring key_path_;
  const HKEY root_;
  // The highest key this operation creates; empty until known.
  std::wstring created_top_key_;
  std::unique_ptr<SavedSecurityInfo> saved_security_;
  const REGSAM view_flags_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_CREATE_REG_KEY_OPERATION_H_
