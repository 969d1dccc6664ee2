// Moves a file. A missing destination folder is created and a file already
// at the destination is moved aside first, both as prerequisites; a rollback
// moves the file back where it was.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_MOVE_FILE_OPERATION_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_MOVE_FILE_OPERATION_H_

#include "base/files/file_path.h"
#include "desktop/windows/installer/service/transactions/operation.h"

namespace installer {

class MoveFileOperation : public Operation {
 public:
  MoveFileOperation(const base::FilePath& source,
                    const base::FilePath& destination);
  ~MoveFileOperation() override;

  // Operation:
  bool Execute(Transaction* nested) override;
  void Rollback() override;

 private:
  const base::FilePath source_;
  const base::FilePath destination_;
  bool moved_ = false;
  // The source was read-only; a rollback makes it so again.
  bool cleared_read_only_ = false;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_MOVE_FILE_OPERATION_H_
