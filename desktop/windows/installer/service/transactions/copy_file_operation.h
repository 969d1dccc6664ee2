// Copies a file. A missing destination folder is created and a file already
// at the destination is moved aside first, both as prerequisites; a rollback
// deletes the copy, after which those prerequisites are undone too. A copy
// that fails removes what it wrote before its prerequisites are undone.
// Into a folder that its transaction created, the copy goes without a look
// at the destination first, and makes room only when that copy finds the
// name taken.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_COPY_FILE_OPERATION_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_COPY_FILE_OPERATION_H_

#include <windows.h>

#include "base/files/file_path.h"
#include "desktop/windows/installer/service/transactions/operation.h"

namespace installer {

class CopyFileOperation : public Operation {
 public:
  CopyFileOperation(const base::FilePath& source,
                    const base::FilePath& destination);
  ~CopyFileOperation() override;

  // Operation:
  bool Execute(Transaction* nested) override;
  void Rollback() override;

 private:
  // One copy to the destination as a new file, written to the journal
  // first. On failure |*error| says why; a copy that found the name taken
  // or the folder missing wrote nothing, and leaves no trace in the
  // journal.
  bool CopyToNewPath(Transaction* nested, DWORD* error);

  const base::FilePath source_;
  const base::FilePath destination_;
  // Set once the destination may hold anything of the copy.
  bool destination_written_ = false;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_COPY_FILE_OPERATION_H_
