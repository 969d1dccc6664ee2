// Deletes a registry key with its whole subtree, saving every key's values
// and security descriptor first; a rollback creates the deleted keys again
// with their descriptors and values. Where the installer lacks access to a
// key of the tree it grants itself that access for good: the key is about to
// go, and a rollback recreates it with the descriptor it had before. No key
// is reached through a registry link: a tree that holds one is refused.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_DELETE_REG_KEY_OPERATION_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_DELETE_REG_KEY_OPERATION_H_

#include <windows.h>

#include <string>
#include <vector>

#include "desktop/windows/installer/service/transactions/operation.h"

namespace base {
namespace win {
class RegKey;
}  // namespace win
}  // namespace base

namespace installer {

class DeleteRegKeyOperation : public Operation {
 public:
  // |view_flags| (0, KEY_WOW64_64KEY or KEY_WOW64_32KEY) chooses the
  // registry view of every access. A key directly below |root| (or an empty
  // path, the root itself) is refused: no installer change removes a whole
  // top-level key.
  DeleteRegKeyOperation(HKEY root,
                        const std::wstring& key_path,
                        REGSAM view_flags);
  ~DeleteRegKeyOperation() override;

  // Operation:
  bool Execute(Transaction* nested) override;
  void Rollback() override;

 private:
  struct SavedValue {
    std::wstring name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
  };

  // What a rollback needs to create one deleted key again.
  struct SavedKey {
    SavedKey();
    SavedKey(SavedKey&&);
    SavedKey& operator=(SavedKey&&);
    ~SavedKey();

    // Relative to the root.
    std::wstring key_path;
    // Group, DACL and label, self-relative.
    std::vector<BYTE> security_descriptor;
    std::vector<SavedValue> values;
  };

  // Saves the key |key_path| (known to the security functions as
  // |object_name|) with its subtree, parents first, and deletes it. False
  // as soon as any key cannot be saved or deleted, or is a registry link.
  // |parent| is the open parent key, null for the top of the tree.
  bool DeleteAndSaveRecursive(HKEY parent,
                              const std::wstring& key_path,
                              const std::wstring& object_name);
  // Opens |key_path| with |access| in the operation's view: below |parent|
  // when given, else from the root; never through a registry link.
  LONG OpenKey(HKEY parent,
               const std::wstring& key_path,
               REGSAM access,
               base::win::RegKey* key) const;
  // Opens the key for saving and deleting, granting that access when it is
  // refused; the descriptor from before such a grant goes to |*descriptor|.
  bool OpenForDeletion(HKEY parent,
                       const std::wstring& key_path,
                       const std::wstring& object_name,
                       base::win::RegKey* key,
                       std::vector<BYTE>* descriptor);
  bool DeleteSubkeys(HKEY key,
                     const std::wstring& key_path,
                     const std::wstring& object_name);
  // Creates the key of |saved| below |parent|, or from the root when that
  // is null, never through a registry link; with its values when it did
  // not exist. Null on failure.
  HKEY RestoreKey(HKEY parent, const SavedKey& saved);
  void JournalSavedKey(const SavedKey& saved);

  const std::wstring key_path_;
  const HKEY root_;
  // Every key deleted or about to be, parents before their children.
  std::vector<SavedKey> saved_keys_;
  const REGSAM view_flags_;
  // The nested transaction of the running Execute.
  Transaction* nested_ = nullptr;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_DELETE_REG_KEY_OPERATION_H_
