// The part of a transaction that outlives its process: before an operation
// of the transaction changes anything, it writes to the journal how that
// change is undone, so that the next run on the same install folder can
// finish what a killed process left half-done (ReplayAbandonedJournals).
// The file goes when the transaction ends: rolled back, or committed once
// what the commit deletes is gone.
//
//   TransactionJournal journal(journal_folder, install_folder);
//   transaction.set_journal(&journal);
//
// Writing is best effort: a journal that cannot be written is logged, and
// the run goes on without the protection against a kill.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_TRANSACTION_JOURNAL_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_TRANSACTION_JOURNAL_H_

#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "base/win/scoped_handle.h"

namespace installer {

class TransactionJournal {
 public:
  // The journal of this process for runs on |install_folder|, a file in
  // |folder|, made at the first record.
  TransactionJournal(const base::FilePath& folder,
                     const base::FilePath& install_folder);
  TransactionJournal(const TransactionJournal&) = delete;
  TransactionJournal& operator=(const TransactionJournal&) = delete;
  // Removes the file.
  ~TransactionJournal();

  // Appends one line (journal_record.h) that an operation writes before
  // it makes its change.
  void Record(const std::vector<std::wstring>& fields);
  // The transaction begins to make its changes final.
  void MarkCommitting();
  // The transaction holds nothing any more: the file goes.
  void Clear();

  const base::FilePath& path() const { return path_; }

 private:
  bool Open();
  void Write(const std::string& line);

  const base::FilePath path_;
  const base::FilePath install_folder_;
  base::win::ScopedHandle file_;
  // Set once the file could not be made; logged once.
  bool failed_ = false;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_TRANSACTION_JOURNAL_H_
