#include "desktop/windows/installer/abandoned_run_repair.h"

#include "base/base_paths.h"
#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "desktop/windows/installer/installation.h"
#include "desktop/windows/installer/installation_journal_bounds.h"
#include "desktop/windows/installer/process/temp_folder.h"
#include "desktop/windows/installer/service/transactions/journal_effect.h"
#include "desktop/windows/installer/service/transactions/journal_record.h"
#include "desktop/windows/installer/service/transactions/journal_replay.h"
#include "desktop/windows/installer/service/utils.h"

namespace installer {

namespace {

base::FilePath JournalFolderBelow(int key) {
  base::FilePath folder;
  if (!base::PathService::Get(key, &folder) || folder.empty())
    return base::FilePath();
  return folder.Append(GetInstallerTempFolderName()).Append(L"Journals");
}

bool HasJournalsOf(const base::FilePath& journal_folder,
                   const base::FilePath& install_folder) {
  base::FileEnumerator files(
      journal_folder, false, base::FileEnumerator::FILES,
      journal::FileNamePrefix(install_folder) + L"*.journal");
  return !files.Next().empty();
}

// Whether |folder| holds |name|, or what a killed run moved aside of it.
bool HoldsOrHeldFile(const base::FilePath& folder, const char* name) {
  const base::FilePath file = folder.AppendASCII(name);
  if (base::PathExists(file))
    return true;
  base::FileEnumerator asides(folder, false, base::FileEnumerator::FILES,
                              file.BaseName().value() + L".*.old");
  for (base::FilePath path = asides.Next(); !path.empty();
       path = asides.Next()) {
    if (IsAsideNameOf(path, file))
      return true;
  }
  return false;
}

}  // namespace

base::FilePath GetUninstallerRepairFolder(const base::FilePath& exe_dir) {
  if (base::PathExists(exe_dir.AppendASCII(kLauncherExeName)))
    return exe_dir;
  const base::FilePath parent = exe_dir.DirName();
  if (parent != exe_dir && (HoldsOrHeldFile(parent, kLauncherExeName) ||
                            HoldsOrHeldFile(parent, kInstallLogFileName))) {
    return parent;
  }
  return base::FilePath();
}

base::FilePath GetUserJournalFolder() {
  return JournalFolderBelow(base::DIR_LOCAL_APP_DATA);
}

base::FilePath GetMachineJournalFolder() {
  return JournalFolderBelow(base::DIR_PROGRAM_FILES);
}

base::FilePath GetTransactionJournalFolder() {
  return IsUserAdmin(false) ? GetMachineJournalFolder()
                            : GetUserJournalFolder();
}

int RepairAbandonedRuns(const base::FilePath& install_folder) {
  if (!IsPlainPath(install_folder)) {
    LOG(WARNING) << "No repair of killed runs for " << install_folder
                 << ", which is no plain absolute path";
    return 0;
  }
  const bool elevated = IsUserAdmin(false);
  const base::FilePath journals =
      elevated ? GetMachineJournalFolder() : GetUserJournalFolder();
  if (journals.empty())
    return 0;
  if (!elevated && HasJournalsOf(GetMachineJournalFolder(), install_folder)) {
    LOG(WARNING) << "An elevated run on " << install_folder
                 << " left a journal; it needs rights this process lacks, "
                    "so the next elevated run repairs it";
  }
  const InstallationJournalBounds bounds(install_folder);
  return ReplayAbandonedJournals(journals, install_folder, bounds);
}

}  // namespace installer
