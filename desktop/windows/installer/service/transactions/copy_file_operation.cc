#include "desktop/windows/installer/service/transactions/copy_file_operation.h"

#include <windows.h>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/service/transactions/journal_record.h"
#include "desktop/windows/installer/service/transactions/operation_util.h"
#include "desktop/windows/installer/service/transactions/transaction.h"

namespace installer {

namespace {

// A copy to a new path that failed with |error| wrote nothing at the
// destination: its name was taken, or its folder was missing.
bool LeftDestinationAlone(DWORD error) {
  return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
         error == ERROR_PATH_NOT_FOUND;
}

}  // namespace

CopyFileOperation::CopyFileOperation(const base::FilePath& source,
                                     const base::FilePath& destination)
    : source_(source), destination_(destination) {}

CopyFileOperation::~CopyFileOperation() = default;

bool CopyFileOperation::Execute(Transaction* nested) {
  // A folder that this transaction made holds nothing it did not put
  // there, so the destination's name is free without a look at it, which
  // under Wine reads the whole folder and cost as much again as the copy
  // of a small file. Only when another program took the name or removed
  // the folder meanwhile does the copy make room first after all.
  const bool in_created_folder =
      nested->IsCreatedFolder(destination_.DirName());
  if (!in_created_folder && !PrepareDestination(destination_, nested))
    return false;
  VLOG(1) << "Copying " << source_ << " to " << destination_;
  DWORD error = ERROR_SUCCESS;
  bool copied = CopyToNewPath(nested, &error);
  if (!copied && in_created_folder && LeftDestinationAlone(error)) {
    LOG(WARNING) << "The copy to " << destination_
                 << " found its name taken or its folder gone: "
                 << logging::SystemErrorCodeToString(error)
                 << "; making room for it";
    if (!PrepareDestination(destination_, nested))
      return false;
    copied = CopyToNewPath(nested, &error);
  }
  if (copied) {
    VLOG(1) << "File copied successfully";
    return true;
  }
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

bool CopyFileOperation::CopyToNewPath(Transaction* nested, DWORD* error) {
  // The source is only read: its read-only attribute is given back at once.
  bool source_writable = false;
  const bool cleared_read_only =
      ClearReadOnlyAttribute(source_, &source_writable);
  // Owned before the attempt: nothing was at the destination, and a copy
  // that fails half-way (a full disk) leaves a partial file there, which
  // the rollback that follows a failure must take away with the folders
  // made for it.
  const int64_t mark = JournalSize(nested);
  destination_written_ = true;
  JournalChange(nested, journal::CopiedFile{destination_});
  // To a new path: the destination is free (made so, or in a folder of
  // this transaction's), and a copy that may replace a file makes Wine look
  // its name up in the whole folder twice, which grew with every file
  // already copied there.
  // A copy of a writable source is writable: only a source that stayed
  // read-only makes the copy need a look.
  const bool copied =
      source_writable ? base::CopyWritableFileToNewPath(source_, destination_)
                      : base::CopyFileToNewPath(source_, destination_);
  *error = copied ? ERROR_SUCCESS : ::GetLastError();
  if (cleared_read_only)
    RestoreReadOnlyAttribute(source_);
  if (!copied && LeftDestinationAlone(*error)) {
    // Whatever took the name meanwhile is not ours to remove: neither by a
    // rollback nor by the replay of a killed run, which would otherwise
    // find the line above behind the file's own move aside.
    destination_written_ = false;
    CutJournalBack(nested, mark);
  }
  return copied;
}

}  // namespace installer
