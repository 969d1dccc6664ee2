// Deletes a file (or a folder with its contents) reversibly: Execute moves it
// aside under a unique name beside it, "NAME.SECONDS.old"; a rollback moves
// it back; the commit deletes the aside copy for good, or schedules it for
// deletion at the next restart when it is still in use.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_DELETE_FILE_OPERATION_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_DELETE_FILE_OPERATION_H_

#include <memory>

#include "base/files/file_path.h"
#include "desktop/windows/installer/service/transactions/operation.h"

namespace installer {

struct SavedSecurityInfo;

class DeleteFileOperation : public Operation {
 public:
  // With |check_in_use|, an executable or library (".exe", ".dll") that
  // another process is running or holds open fails the operation. With
  // |remove_empty_parents|, the commit also removes the folders above the
  // file that it leaves empty, up to but never including |stop_folder|
  // (the install folder); nothing is removed unless |path| lies below it.
  DeleteFileOperation(const base::FilePath& path,
                      bool check_in_use,
                      bool remove_empty_parents,
                      const base::FilePath& stop_folder = base::FilePath());
  ~DeleteFileOperation() override;

  // Operation:
  bool Execute(Transaction* nested) override;
  void Rollback() override;

  // Where the file was moved; empty until then.
  const base::FilePath& aside_path() const { return aside_path_; }

 private:
  // Picks an aside name that is not taken; false when none is free.
  bool ChooseAsidePath();
  // Makes sure the file may be moved and deleted, granting that access
  // until the rollback when it is missing.
  bool EnsureDeleteAccess();
  // Whether another process runs or holds the moved file; moves it back
  // when it does.
  bool IsMovedFileInUse();
  void RemoveEmptyParents();

  const base::FilePath path_;
  base::FilePath aside_path_;
  // The file lies at |aside_path_|.
  bool moved_ = false;
  const bool check_in_use_;
  const bool remove_empty_parents_;
  const base::FilePath stop_folder_;
  // Set by Rollback: from then on the destructor must not delete anything.
  bool rolled_back_ = false;
  // The file's permissions before this operation loosened them.
  std::unique_ptr<SavedSecurityInfo> saved_security_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_DELETE_FILE_OPERATION_H_
