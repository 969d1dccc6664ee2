#include "desktop/windows/installer/service/transactions/copy_file_operation.h"

#include <windows.h>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/service/transactions/journal_record.h"
#include "desktop/windows/installer/service/transactions/operation_util.h"

namespace installer {

CopyFileOperation::CopyFileOperation(const base::FilePath& source,
                                     const base::FilePath& destination)
    : source_(source), destination_(destination) {}

CopyFileOperation::~CopyFileOperation() = default;

bool CopyFileOperation::Execute(Transaction* nested) {
  if (!PrepareDestination(destination_, nested))
    return false;
  VLOG(1) << "Copying " << source_ << " to " << destination_;

  // The source is only read: its read-only attribute is given back at once.
  bool source_writable = false;
  const bool cleared_read_only =
      ClearReadOnlyAttribute(source_, &source_writable);
  // Owned before the attempt: nothing was at the destination, and a copy
  // that fails half-way (a full disk) leaves a partial file there, which
  // the rollback that follows a failure must take away with the folders
  // made for it.
  destination_written_ = true;
  JournalChange(nested, journal::CopiedFile{destination_});
  // To a new path: the destination was made free above, and a copy that
  // may replace a file makes Wine look its name up in the whole folder
  // twice, which grew with every file already copied there.
  // A copy of a writable source is writable: only a source that stayed
  // read-only makes the copy need a look.
  const bool copied =
      source_writable ? base::CopyWritableFileToNewPath(source_, destination_)
                      : base::CopyFileToNewPath(source_, destination_);
  const DWORD error = ::GetLastError();
  if (cleared_read_only)
    RestoreReadOnlyAttribute(source_);
  if (copied) {
    VLOG(1) << "File copied successfully";
    return true;
  }
  // Whatever took the name meanwhile is not ours to remove.
  if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
    destination_written_ = false;
  // The progress line above is not in an ordinary run's log.
  LOG(ERROR) << "Cannot copy " << source_ << " to " << destination_;
  LOG(ERROR) << "File copy failed " << logging::SystemErrorCodeToString(error);
  return false;
}

void CopyFileOperation::Rollback() {
  if (destination_written_ &&
      !base::DeleteFile(destination_, /*recursive=*/false))
    PLOG(ERROR) << "Cannot remove the copy " << destination_;
}

}  // namespace installer
