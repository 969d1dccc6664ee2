#include "desktop/windows/installer/service/transactions/move_file_operation.h"

#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/service/transactions/journal_record.h"
#include "desktop/windows/installer/service/transactions/operation_util.h"

namespace installer {

MoveFileOperation::MoveFileOperation(const base::FilePath& source,
                                     const base::FilePath& destination)
    : source_(source), destination_(destination) {}

MoveFileOperation::~MoveFileOperation() = default;

bool MoveFileOperation::Execute(Transaction* nested) {
  if (!PrepareDestination(destination_, nested))
    return false;
  // A move to another volume deletes the source, which its read-only
  // attribute would prevent.
  cleared_read_only_ = ClearReadOnlyAttribute(source_);
  VLOG(1) << "Moving " << source_ << "to" << destination_;
  JournalChange(nested, journal::MovedFile{source_, destination_});
  if (!base::Move(source_, destination_)) {
    LOG(ERROR) << "File copy failed";
    return false;
  }
  VLOG(1) << "File copied successfully";
  moved_ = true;
  return true;
}

void MoveFileOperation::Rollback() {
  if (moved_) {
    if (base::Move(destination_, source_)) {
      moved_ = false;
    } else {
      PLOG(ERROR) << "Cannot move " << destination_ << " back to " << source_;
    }
  }
  if (cleared_read_only_ && !moved_)
    RestoreReadOnlyAttribute(source_);
  cleared_read_only_ = false;
}

}  // namespace installer
