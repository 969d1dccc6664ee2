#include "desktop/windows/installer/steps/old_version_steps.h"

#include <windows.h>

#include <shlwapi.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/abandoned_run_repair.h"
#include "desktop/windows/installer/install_log.h"
#include "desktop/windows/installer/install_log_checks.h"
#include "desktop/windows/installer/install_log_reader.h"
#include "desktop/windows/installer/install_run.h"
#include "desktop/windows/installer/installation.h"
#include "desktop/windows/installer/service/transactions/create_folder_operation.h"
#include "desktop/windows/installer/service/transactions/delete_file_operation.h"
#include "desktop/windows/installer/service/transactions/move_file_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/service/transactions/transaction_journal.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/status.h"
#include "desktop/windows/installer/step_result.h"
#include "desktop/windows/installer/steps/install_steps.h"
#include "desktop/windows/rc_l10n_handler/installer_string_ids.h"

namespace installer {

const wchar_t kOldStatusFolderName[] = L"old_status";

namespace {

constexpr wchar_t kPreservedStatusPattern[] = L"*.xml.*";
constexpr wchar_t kMessageCenterShortcutPattern[] = L"Kelvo*Message Center.lnk";

// The files of |folder| (not below it) whose names match |pattern|, sorted.
// The pattern is applied to the long names again: Windows also matches it
// against 8.3 aliases.
std::vector<base::FilePath> FindFiles(const base::FilePath& folder,
                                      const wchar_t* pattern) {
  std::vector<base::FilePath> files;
  base::FileEnumerator enumerator(folder, false, base::FileEnumerator::FILES,
                                  pattern);
  for (base::FilePath path = enumerator.Next(); !path.empty();
       path = enumerator.Next()) {
    if (::PathMatchSpecW(path.BaseName().value().c_str(), pattern))
      files.push_back(path);
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Deletes the files of the version that |status_file| describes, then the
// status file; during an upgrade a failure restores the version's files and
// keeps it.
void RemovePreservedVersion(InstallRun* run,
                            const base::FilePath& status_file,
                            const InstallLog& log) {
  const base::FilePath& install_folder = run->install_folder();
  const base::FilePath version_folder = install_folder.Append(log.subfolder);
  const bool upgrading = run->settings()->operation() == OPERATION_UPGRADING;
  // Final when it goes out of scope: removing older versions is not undone
  // by a later failure of the run. Until then its files lie aside: a kill
  // would leave them there for good but for a journal of their own, which
  // the next run completes or undoes, as it does the run's.
  TransactionJournal journal(GetTransactionJournalFolder(), install_folder,
                             L"old_version");
  Transaction transaction;
  transaction.set_journal(&journal);
  bool keep = false;
  for (const base::FilePath& file : log.files) {
    if (!IsSafeRelativePath(file)) {
      LOG(ERROR) << "Refusing the entry " << file << " of " << status_file;
      continue;
    }
    if (transaction.Execute(std::make_unique<DeleteFileOperation>(
            version_folder.Append(file), true, true, install_folder))) {
      continue;
    }
    LOG(WARNING) << "Could not remove " << version_folder.Append(file);
    if (upgrading) {
      transaction.Rollback();
      keep = true;
      break;
    }
  }
  if (run->is_admin()) {
    UpdateFirewallRules(version_folder.AppendASCII(GetProductExeName()), true);
  }
  if (keep)
    return;
  LOG(INFO) << "Deleting " << status_file;
  transaction.Execute(
      std::make_unique<DeleteFileOperation>(status_file, false, false));
}

}  // namespace

base::FilePath GetPreservedStatusPath(const base::FilePath& old_status_folder,
                                      base::Time now) {
  const base::FilePath path = old_status_folder.AppendASCII(
      std::string(kInstallLogFileName) + "." +
      base::NumberToString(static_cast<long long>(now.ToTimeT())));
  base::FilePath candidate = path;
  for (int counter = 1; base::PathExists(candidate); ++counter)
    candidate =
        base::FilePath(path.value() + L"." + base::NumberToString16(counter));
  return candidate;
}

void RemoveMessageCenterShortcuts() {
  base::FilePath start_menu;
  if (!base::PathService::Get(base::DIR_START_MENU, &start_menu))
    return;
  for (const base::FilePath& shortcut :
       FindFiles(start_menu, kMessageCenterShortcutPattern)) {
    LOG(INFO) << "Removing " << shortcut;
    if (!base::DeleteFile(shortcut, false))
      LOG(WARNING) << "Could not remove " << shortcut;
  }
}

StepResult StepRemoveInstalledFiles(InstallRun* run) {
  LOG(INFO) << "Removing installed files.";
  const base::FilePath old_status =
      run->install_folder().Append(kOldStatusFolderName);
  if (!base::DirectoryExists(old_status)) {
    LOG(INFO) << "No old status files found.";
    return StepResult::Next();
  }
  for (const base::FilePath& status_file :
       FindFiles(old_status, kPreservedStatusPattern)) {
    InstallLog log;
    InstallLogReader reader;
    if (!reader.Read(&log, status_file)) {
      LOG(WARNING) << "Found invalid old status file: " << status_file;
      continue;
    }
    LOG(INFO) << "Found old status file: " << status_file;
    RemovePreservedVersion(run, status_file, log);
  }
  if (base::IsDirectoryEmpty(old_status) &&
      !base::DeleteFile(old_status, false)) {
    LOG(WARNING) << "Could not remove " << old_status;
  }
  RemoveMessageCenterShortcuts();
  return StepResult::Next();
}

StepResult StepRemoveOldRootFiles(InstallRun* run) {
  LOG(INFO) << "Removing old files from installation root";
  const base::FilePath& install_folder = run->install_folder();
  for (const base::FilePath& file : run->status().install_log().root_files) {
    run->transaction()->Execute(std::make_unique<DeleteFileOperation>(
        install_folder.Append(file), false, true, install_folder));
  }
  return StepResult::Next();
}

StepResult StepPreservePreviousStatus(InstallRun* run) {
  LOG(INFO) << "Preserving previous installer status.";
  const base::FilePath& install_folder = run->install_folder();
  base::FilePath previous = install_folder.AppendASCII(kInstallLogFileName);
  if (!base::PathExists(previous))
    previous = install_folder.AppendASCII(kFormerInstallLogFileName);
  if (!base::PathExists(previous)) {
    LOG(INFO) << "No previous status file found.";
    return StepResult::Next();
  }
  Transaction* transaction = run->transaction();
  const base::FilePath old_status = install_folder.Append(kOldStatusFolderName);
  if (!base::DirectoryExists(old_status)) {
    LOG(INFO) << "Creating folder for ald status files.";
    if (!transaction->Execute(
            std::make_unique<CreateFolderOperation>(old_status))) {
      return StepResult::Error(IDS_ERROR_INSTALL,
                               "Could not create " + old_status.AsUTF8Unsafe());
    }
  }
  LOG(INFO) << "Moving old status file.";
  const base::FilePath preserved =
      GetPreservedStatusPath(old_status, base::Time::Now());
  // Only the preserved log leads the next upgrade to the previous version's
  // files: without it they would stay for ever. The upgrade is undone
  // instead, and the installation stays as it was.
  if (!transaction->Execute(
          std::make_unique<MoveFileOperation>(previous, preserved))) {
    return StepResult::Error(IDS_ERROR_INSTALL,
                             "Could not preserve " + previous.AsUTF8Unsafe() +
                                 " as " + preserved.AsUTF8Unsafe());
  }
  return StepResult::Next();
}

}  // namespace installer
