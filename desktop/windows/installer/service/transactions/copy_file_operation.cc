#include "desktop/windows/installer/service/transactions/copy_file_operation.h"

#include <windows.h>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "desktop/windows/installer/product/installer_switches.h"
#include "desktop/windows/installer/service/transactions/operation_util.h"

namespace installer {

namespace {

// The errors of a copy to a new path that the preparation of the
// destination can remedy: a missing folder, something in the way.
bool NeedsPreparedDestination(DWORD error) {
  return error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_EXISTS ||
         error == ERROR_ALREADY_EXISTS;
}

}  // namespace

CopyFileOperation::CopyFileOperation(const base::FilePath& source,
                                     const base::FilePath& destination)
    : source_(source), destination_(destination) {}

CopyFileOperation::~CopyFileOperation() = default;

bool CopyFileOperation::Execute(Transaction* nested) {
  VLOG(kPerFileLogLevel) << "Copying " << source_ << " to " << destination_;
  // The source is only read: its read-only attribute is given back at once.
  const bool cleared_read_only = ClearReadOnlyAttribute(source_);
  // Tried first, to a new path: asking beforehand whether the file exists
  // looked up a name that is mostly missing, which Wine answers by reading
  // the whole folder. Only when the copy finds its folder missing or
  // something in the way is the destination prepared (the same
  // prerequisites, in the same order) and the copy made again.
  bool copied = base::CopyFileToNewPath(source_, destination_);
  bool prepared = true;
  if (!copied && NeedsPreparedDestination(::GetLastError())) {
    prepared = PrepareDestination(destination_, nested);
    copied = prepared && base::CopyFileToNewPath(source_, destination_);
  }
  const DWORD error = ::GetLastError();
  if (cleared_read_only)
    RestoreReadOnlyAttribute(source_);
  if (copied) {
    VLOG(kPerFileLogLevel) << "File copied successfully";
    copied_ = true;
    return true;
  }
  // The progress line above is not in an ordinary run's log.
  LOG(ERROR) << "Cannot copy " << source_ << " to " << destination_;
  // A failed preparation has said why.
  if (prepared) {
    LOG(ERROR) << "File copy failed "
               << logging::SystemErrorCodeToString(error);
  }
  return false;
}

void CopyFileOperation::Rollback() {
  if (copied_ && !base::DeleteFile(destination_, /*recursive=*/false))
    PLOG(ERROR) << "Cannot remove the copy " << destination_;
}

}  // namespace installer
