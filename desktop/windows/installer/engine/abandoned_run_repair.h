// Runs of the installer keep the undo of their transaction in a journal
// until it ends (TransactionJournal). These functions name where the
// journals lie and replay those of runs whose process was killed, limited
// to what an installation at the folder can have: its own files and
// shortcuts, the registry keys of its tables and the product's key.

#ifndef DESKTOP_WINDOWS_INSTALLER_ENGINE_ABANDONED_RUN_REPAIR_H_
#define DESKTOP_WINDOWS_INSTALLER_ENGINE_ABANDONED_RUN_REPAIR_H_

#include "base/files/file_path.h"

namespace installer {

// The folder of the journals of this user's runs: "Journals" in the
// installer's folder of the local application data.
base::FilePath GetTransactionJournalFolder();

// Completes or undoes what ended runs on |install_folder| left half-done.
// Returns how many runs were repaired.
int RepairAbandonedRuns(const base::FilePath& install_folder);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_ENGINE_ABANDONED_RUN_REPAIR_H_
