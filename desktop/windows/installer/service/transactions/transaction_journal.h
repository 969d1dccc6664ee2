// The part of a transaction that outlives its process: before an operation
// of the transaction changes anything, it writes to the journal how that
// change is undone, so that the next run on the same install folder can
// finish what a killed process left half-done (ReplayAbandonedJournals).
// The file goes when the transaction ends: rolled back, or committed once
// what the commit deletes is gone. A rollback cuts the file back as it
// undoes each operation, so that a replay after a kill never undoes again
// what the rollback already put right.
//
//   TransactionJournal journal(journal_folder, install_folder);
//   transaction.set_journal(&journal);
//
// Writing is best effort: a journal that cannot be written is logged, and
// the run goes on without the protection against a kill.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_TRANSACTION_JOURNAL_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_TRANSACTION_JOURNAL_H_

#include <stdint.h>

#include <string>

#include "base/files/file_path.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/service/transactions/journal_record.h"

namespace installer {

class TransactionJournal {
 public:
  // The journal of this process for runs on |install_folder|, a file in
  // |folder| made new at the first record: its name, the prefix of
  // journal::FileNamePrefix, the process id, "." and |name| when it is not
  // the run's main journal (a transaction that ends apart from the run's
  // own, while that one goes on), or when that is taken the same with a
  // number added.
  TransactionJournal(const base::FilePath& folder,
                     const base::FilePath& install_folder,
                     const std::wstring& name = std::wstring());
  TransactionJournal(const TransactionJournal&) = delete;
  TransactionJournal& operator=(const TransactionJournal&) = delete;
  // Removes the file.
  ~TransactionJournal();

  // Appends the entry that an operation writes before it makes its change.
  void Record(const journal::Entry& entry);
  // The transaction begins to make its changes final.
  void MarkCommitting();
  // How long the file is: a mark to cut it back to.
  int64_t size() const { return size_; }
  // Drops every line written since the file was |size| long.
  void CutBackTo(int64_t size);
  // The transaction holds nothing any more: the file goes.
  void Clear();

  const base::FilePath& path() const { return path_; }

 private:
  bool Open();
  // Creates the file under the first name that nothing holds.
  bool CreateNewFile();
  void Write(const std::string& line);

  base::FilePath path_;
  const base::FilePath install_folder_;
  base::win::ScopedHandle file_;
  int64_t size_ = 0;
  // The header's length: a mark taken before the file was made cuts back
  // to it.
  int64_t header_size_ = 0;
  // Set once the file could not be made; logged once.
  bool failed_ = false;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_TRANSACTION_JOURNAL_H_
