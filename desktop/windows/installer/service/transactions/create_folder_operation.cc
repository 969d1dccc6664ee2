#include "desktop/windows/installer/service/transactions/create_folder_operation.h"

#include <windows.h>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/service/transactions/journal_record.h"
#include "desktop/windows/installer/service/transactions/operation_util.h"
#include "desktop/windows/installer/service/transactions/transaction.h"

namespace installer {

CreateFolderOperation::CreateFolderOperation(const base::FilePath& path)
    : path_(path) {}

CreateFolderOperation::~CreateFolderOperation() = default;

bool CreateFolderOperation::Execute(Transaction* nested) {
  VLOG(1) << "Attempting to create folder " << path_;
  if (base::DirectoryExists(path_)) {
    VLOG(1) << "Folder already exists";
    return true;
  }

  base::FilePath candidate = path_;
  for (;;) {
    base::FilePath parent = candidate.DirName();
    if (parent == candidate) {
      LOG(ERROR) << "Failed folder creation";
      return false;
    }
    candidate = parent;
    if (base::DirectoryExists(candidate)) {
      VLOG(1) << "Valid ancestor";
      break;
    }
  }

  // Remembered before the attempt: a creation that fails half-way leaves
  // levels that the rollback must remove.
  existing_ancestor_ = candidate;
  JournalChange(nested, journal::CreatedFolders{path_, existing_ancestor_});
  if (!base::CreateDirectory(path_)) {
    LOG(ERROR) << "Failed folder creation";
    return false;
  }
  nested->AddCreatedFolders(path_, existing_ancestor_);
  VLOG(1) << "Folder created successfully";
  return true;
}

void CreateFolderOperation::Rollback() {
  if (existing_ancestor_.empty())
    return;
  RemoveCreatedFolders(path_, existing_ancestor_);
}

}  // namespace installer
