// Runs of the installer keep the undo of their transaction in a journal
// until it ends (TransactionJournal). These functions name where the
// journals lie and replay those of runs whose process was killed, limited
// to what an installation at the folder can have made
// (InstallationJournalBounds).
//
// A journal is only replayed by a process that no less privileged program
// can have forged it for: an elevated process keeps its journals in the
// installer's folder under the program files folder, which only
// administrators may write, and replays only those; any other process keeps
// and replays them in the user's local application data. An elevated run's
// journal is thus never repaired by a process without its rights, which
// could not undo its work anyway: the next elevated run does that.

#ifndef DESKTOP_WINDOWS_INSTALLER_ABANDONED_RUN_REPAIR_H_
#define DESKTOP_WINDOWS_INSTALLER_ABANDONED_RUN_REPAIR_H_

#include "base/files/file_path.h"

namespace installer {

// "Journals" in the installer's folder of the local application data, and
// in the installer's folder under the program files folder.
base::FilePath GetUserJournalFolder();
base::FilePath GetMachineJournalFolder();

// Where this process keeps and replays its journals: the machine's folder
// when it runs elevated, else the user's.
base::FilePath GetTransactionJournalFolder();

// The install folder that an uninstaller in |exe_dir| repairs before it
// runs: |exe_dir| when it holds the launcher, else its parent when that
// holds the launcher or the install log, or either under the aside name a
// killed run moved it to. Empty otherwise: an uninstaller copied into a
// download folder has no installation, and that folder's parent is none.
base::FilePath GetUninstallerRepairFolder(const base::FilePath& exe_dir);

// Completes or undoes what ended runs on |install_folder| left half-done.
// Returns how many runs were repaired. A folder that is no plain absolute
// path repairs nothing.
int RepairAbandonedRuns(const base::FilePath& install_folder);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_ABANDONED_RUN_REPAIR_H_
