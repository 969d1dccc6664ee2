#include "desktop/windows/installer/service/transactions/delete_file_operation.h"

#include <windows.h>

#include <string>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/time/time.h"
#include "desktop/windows/installer/service/transactions/journal_record.h"
#include "desktop/windows/installer/service/transactions/operation_util.h"
#include "desktop/windows/installer/service/utils.h"

namespace installer {

namespace {

// What moving a file aside and deleting it later needs.
constexpr ACCESS_MASK kDeleteAccess = DELETE | FILE_GENERIC_WRITE;

// Several deletes of one path within a second get numbered aside names.
constexpr int kMaxAsideNameAttempts = 100;

bool IsExecutableOrLibrary(const base::FilePath& path) {
  const std::wstring extension = path.FinalExtension();
  return base::EqualsCaseInsensitiveASCII(extension, L".exe") ||
         base::EqualsCaseInsensitiveASCII(extension, L".dll");
}

}  // namespace

DeleteFileOperation::DeleteFileOperation(const base::FilePath& path,
                                         bool check_in_use,
                                         bool remove_empty_parents,
                                         const base::FilePath& stop_folder)
    : path_(path.StripTrailingSeparators()),
      check_in_use_(check_in_use),
      remove_empty_parents_(remove_empty_parents),
      stop_folder_(stop_folder) {
  DCHECK(!remove_empty_parents || !stop_folder.empty())
      << "Removing empty parents needs the folder where it stops";
}

DeleteFileOperation::~DeleteFileOperation() {
  if (!moved_)
    return;
  if (rolled_back_) {
    LOG(ERROR) << "The removed file " << path_
               << " could not be put back; it is kept at " << aside_path_;
    return;
  }
  VLOG(1) << "Actual removal of " << aside_path_;
  if (!base::DeleteFile(aside_path_, /*recursive=*/true) &&
      aside_path_.value().size() < MAX_PATH &&
      !base::DeleteFileAfterReboot(aside_path_)) {
    PLOG(ERROR) << "Cannot delete " << aside_path_ << " now or at restart";
  }
  if (remove_empty_parents_)
    RemoveEmptyParents();
}

bool DeleteFileOperation::Execute(Transaction* nested) {
  VLOG(1) << "Preparing file " << path_ << " for removal";
  if (!base::PathExists(path_)) {
    VLOG(1) << "File does not exist. Nothing to do";
    return true;
  }
  if (!ChooseAsidePath() || !EnsureDeleteAccess())
    return false;
  JournalChange(nested,
                journal::MovedAside{
                    path_, aside_path_,
                    remove_empty_parents_ ? stop_folder_ : base::FilePath()});
  if (!base::Move(path_, aside_path_)) {
    LOG(ERROR) << "File removal failed";
    return false;
  }
  moved_ = true;
  VLOG(1) << "File moved successfully to " << aside_path_;
  return !IsMovedFileInUse();
}

void DeleteFileOperation::Rollback() {
  rolled_back_ = true;
  if (moved_) {
    if (base::Move(aside_path_, path_)) {
      moved_ = false;
    } else {
      PLOG(ERROR) << "Cannot move " << aside_path_ << " back to " << path_;
    }
  }
  // The saved permissions belong to the file at |path_|: only give them back
  // when it is there again.
  if (saved_security_ && !moved_ && !RestoreSecurity(&saved_security_))
    LOG(ERROR) << "Cannot restore the permissions of " << path_;
  saved_security_.reset();
}

bool DeleteFileOperation::ChooseAsidePath() {
  const std::wstring seconds = base::NumberToString16(
      static_cast<long long>(base::Time::Now().ToTimeT()));
  for (int attempt = 0; attempt < kMaxAsideNameAttempts; ++attempt) {
    std::wstring extension = L"." + seconds;
    if (attempt > 0)
      extension += L"." + base::NumberToString16(attempt);
    aside_path_ = path_.AddExtension(extension + L".old");
    if (!aside_path_.empty() && !base::PathExists(aside_path_))
      return true;
  }
  LOG(ERROR) << "Temporary file with name" << aside_path_ << "already exists";
  return false;
}

bool DeleteFileOperation::EnsureDeleteAccess() {
  if (CheckAccess(path_.value(), SE_FILE_OBJECT, kDeleteAccess))
    return true;
  // Temporary: a rollback that puts the file back restores its permissions.
  if (!GrantAccess(path_.value(), SE_FILE_OBJECT, kDeleteAccess,
                   /*permanent=*/false, &saved_security_)) {
    LOG(ERROR) << "Cannot obtain proper permissions on the file";
    return false;
  }
  return true;
}

bool DeleteFileOperation::IsMovedFileInUse() {
  if (!check_in_use_ || !IsExecutableOrLibrary(path_))
    return false;
  HANDLE file = ::CreateFileW(aside_path_.value().c_str(), GENERIC_WRITE,
                              FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    ::CloseHandle(file);
    return false;
  }
  const DWORD error = ::GetLastError();
  LOG(ERROR) << "Attempt to open the file for writing failed"
             << ": " << logging::SystemErrorCodeToString(error);
  if (base::Move(aside_path_, path_))
    moved_ = false;
  LOG(ERROR) << "File removal failed";
  return true;
}

void DeleteFileOperation::RemoveEmptyParents() {
  base::FilePath folder = path_.DirName();
  while (stop_folder_.IsParentIgnoringCase(folder) &&
         ::RemoveDirectoryW(folder.value().c_str())) {
    folder = folder.DirName();
  }
}

}  // namespace installer
