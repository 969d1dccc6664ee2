// Creates a folder with every missing folder above it. A rollback removes
// exactly the levels that were created, deepest first, and only while they
// are empty.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_CREATE_FOLDER_OPERATION_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_CREATE_FOLDER_OPERATION_H_

#include "base/files/file_path.h"
#include "desktop/windows/installer/service/transactions/operation.h"

namespace installer {

class CreateFolderOperation : public Operation {
 public:
  explicit CreateFolderOperation(const base::FilePath& path);
  ~CreateFolderOperation() override;

  // Operation:
  bool Execute(Transaction* nested) override;
  void Rollback() override;

 private:
  const base::FilePath path_;
  // The nearest folder above |path_| that existed; empty until this
  // operation set out to create something.
  base::FilePath existing_ancestor_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_CREATE_FOLDER_OPERATION_H_
