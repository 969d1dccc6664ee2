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
//   class Scope : public JournalScope { ... };  // What a journal may touch.
//   ReplayAbandonedJournals(journal_folder, install_folder, scope);

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_JOURNAL_REPLAY_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_JOURNAL_REPLAY_H_

#include <windows.h>

#include <string>

#include "base/files/file_path.h"

namespace installer {

// A journal lies in a folder that other programs of the user can write: the
// replay acts only on the files and keys the installation can have.
class JournalScope {
 public:
  enum class KeyUse {
    // Keys the run created, which go again only when they are empty.
    kCreatedKeys,
    // Values set back or removed, and deleted trees created again.
    kValuesAndTrees,
  };

  virtual ~JournalScope() = default;
  virtual bool AllowsFile(const base::FilePath& path) const = 0;
  virtual bool AllowsKey(HKEY root,
                         const std::wstring& key_path,
                         KeyUse use) const = 0;
};

// Replays the journals in |journal_folder| of runs on |install_folder|
// whose processes have ended, then removes them; lines |scope| refuses are
// skipped and logged. Journals of live processes stay. Returns how many
// journals were replayed.
int ReplayAbandonedJournals(const base::FilePath& journal_folder,
                            const base::FilePath& install_folder,
                            const JournalScope& scope);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_JOURNAL_REPLAY_H_
