// Runs operations and keeps every one that succeeded, in the order in which
// their changes were made, so that they can all be undone (Rollback) or made
// final (Commit, or destruction). Used on one thread only.
//
//   Transaction transaction;
//   bool ok = transaction.Execute(std::make_unique<CreateFolderOperation>(
//                 install_folder)) &&
//             transaction.Execute(std::make_unique<CopyFileOperation>(
//                 package_file, install_folder.Append(L"kelvo.exe")));
//   if (!ok)
//     transaction.Rollback();  // The machine is as it was before.
//   // Otherwise the changes become final when |transaction| goes away.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_TRANSACTION_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_TRANSACTION_H_

#include <stdint.h>

#include <memory>
#include <set>
#include <vector>

#include "base/files/file_path.h"
#include "desktop/windows/installer/service/transactions/operation.h"

namespace installer {

class TransactionJournal;

class Transaction {
 public:
  // Where a fault injected by a test strikes an operation.
  enum class InjectedFault {
    kNone,
    // The operation fails before it changes anything.
    kBeforeChange,
    // The operation makes its change and its prerequisites, then fails.
    kAfterChange,
  };

  // Lets tests make chosen operations fail, to show that a failure at any
  // point leaves the machine as it was.
  class FaultInjector {
   public:
    virtual ~FaultInjector() = default;
    // Asked once for every operation that Execute runs on this thread,
    // prerequisites included, in the order in which they start.
    virtual InjectedFault OnExecute() = 0;
  };

  Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  // Commits whatever the transaction still holds.
  ~Transaction();

  // Runs |operation| and takes ownership of it in every case. True when the
  // change and all its prerequisites were made and are now held here; false
  // when nothing of them remains.
  bool Execute(std::unique_ptr<Operation> operation);

  // Undoes every held operation, newest first, then destroys them all. The
  // transaction is empty afterwards and can be used again. Never marks the
  // journal committing: what could not be put back stays where it is.
  void Rollback();

  // Destroys every held operation, oldest first, which makes their changes
  // final. The transaction is empty afterwards.
  void Commit();

  bool empty() const { return operations_.empty(); }

  // Makes every operation of this transaction, prerequisites included,
  // write how to undo its change to |journal| before making it; the journal
  // is cleared when the transaction ends. |journal| must outlive the
  // transaction, or be set to null before it goes.
  void set_journal(TransactionJournal* journal) {
    journal_ = journal;
    owns_journal_ = journal != nullptr;
  }
  // Where an operation running through this transaction writes its undo;
  // null when none.
  TransactionJournal* journal() const { return journal_; }

  // Records that an operation of this transaction created the folders from
  // |folder| up to, not including, |existing_ancestor|. Shared with the
  // nested transactions, like the journal.
  void AddCreatedFolders(const base::FilePath& folder,
                         const base::FilePath& existing_ancestor);
  // Whether |folder| (as written, not merely the same folder under another
  // spelling) is one that this transaction created and still holds: no file
  // was put in it but by this transaction, unless another program wrote
  // there meanwhile. Forgotten at any rollback, and at the commit.
  bool IsCreatedFolder(const base::FilePath& folder) const;

  // Makes every Execute on the calling thread consult |injector| until it is
  // set to null again. |injector| must outlive that time.
  static void SetFaultInjectorForTesting(FaultInjector* injector);

  // What a transaction tells an attached debugger (OutputDebugString) once
  // an operation is executed, undone or made final, its journal already
  // saying so. The debugger stops the process at each until it goes on:
  // the one way to hold a run from outside at an exact point, and to end
  // it there as a kill would.
  static const char kExecutedNotice[];
  static const char kUndoneNotice[];
  static const char kCommittedNotice[];

 private:
  int64_t JournalSize() const;
  // Cuts the journal back to |mark| after the operations written since
  // were undone.
  void CutJournalBackTo(int64_t mark);
  // Destroys the operations oldest first and clears the journal;
  // |committing| marks it so first.
  void Finish(bool committing);

  // Every operation here executed successfully and has been neither rolled
  // back nor committed; the prerequisites of an operation stand before it.
  std::vector<std::unique_ptr<Operation>> operations_;
  // For each operation, the journal's size once it and its prerequisites
  // had written their lines. The lines of an operation lie after the mark
  // of the one before it, which stays until that one, a prerequisite
  // perhaps, is undone too.
  std::vector<int64_t> journal_marks_;
  // The journal's size before the first operation here began.
  int64_t journal_start_ = 0;
  TransactionJournal* journal_ = nullptr;
  // The transaction whose operations this one's join: itself unless it is
  // the nested transaction of an operation.
  Transaction* root_ = this;
  // The root's alone: the folders its held operations created.
  std::set<base::FilePath> created_folders_;
  // False for the nested transaction of an operation: its end is not the
  // end of the journal's transaction.
  bool owns_journal_ = false;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_TRANSACTION_H_
