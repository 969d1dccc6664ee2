// Repairs what a killed installer process left half-done: the next run on
// the same install folder replays the journals (TransactionJournal) of runs
// whose processes have ended, before it looks at the folder. A run that was
// committing is completed (what it moved aside is deleted); any other is
// undone, its changes newest first, so that the machine is as it was before
// that run. Every undo is conditional (a file is put back only where it is
// missing, a copy is removed only where it is), so a journal whose last
// changes were never made, or a replay that was itself killed, replays
// again safely.
//
// Every effect of a replay passes MayPerform (journal_effect.h) with the
// bounds of the installation at the folder; what it refuses is logged and
// skipped.
//
//   ReplayAbandonedJournals(journal_folder, install_folder, bounds);

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_JOURNAL_REPLAY_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_JOURNAL_REPLAY_H_

#include "base/files/file_path.h"

namespace installer {

class JournalBounds;

// Replays the journals in |journal_folder| of runs on |install_folder|
// whose processes have ended, then removes them; effects |bounds| refuses
// are skipped and logged. Journals of live processes stay, and so do those
// whose replay could not do everything (a process without the rights the
// run had). Returns how many journals were replayed.
int ReplayAbandonedJournals(const base::FilePath& journal_folder,
                            const base::FilePath& install_folder,
                            const JournalBounds& bounds);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_JOURNAL_REPLAY_H_
