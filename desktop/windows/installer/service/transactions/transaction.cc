#include "desktop/windows/installer/service/transactions/transaction.h"

#include <windows.h>

#include <utility>

#include "base/logging.h"
#include "desktop/windows/installer/service/transactions/transaction_journal.h"

namespace installer {

namespace {

// A plain pointer, so that the thread-local needs no destructor.
thread_local Transaction::FaultInjector* g_fault_injector = nullptr;

Transaction::InjectedFault AskFaultInjector() {
  return g_fault_injector ? g_fault_injector->OnExecute()
                          : Transaction::InjectedFault::kNone;
}

// Without a debugger this costs nothing: no exception is raised.
void TellDebugger(const char* notice) {
  if (::IsDebuggerPresent())
    ::OutputDebugStringA(notice);
}

}  // namespace

const char Transaction::kExecutedNotice[] = "Transaction: operation executed";
const char Transaction::kUndoneNotice[] = "Transaction: operation undone";
const char Transaction::kCommittedNotice[] = "Transaction: operation committed";

Transaction::Transaction() = default;

Transaction::~Transaction() {
  Commit();
}

bool Transaction::Execute(std::unique_ptr<Operation> operation) {
  DCHECK(operation);
  const InjectedFault fault = AskFaultInjector();
  const int64_t mark = JournalSize();
  Transaction nested;
  nested.journal_ = journal_;
  nested.root_ = root_;
  bool succeeded = false;
  if (fault == InjectedFault::kBeforeChange) {
    LOG(ERROR) << "Injected failure before the operation";
  } else {
    succeeded = operation->Execute(&nested);
    if (succeeded && fault == InjectedFault::kAfterChange) {
      LOG(ERROR) << "Injected failure after the operation";
      succeeded = false;
    }
  }

  if (!succeeded) {
    // The operation goes before the prerequisites it made.
    operation->Rollback();
    nested.Rollback();
    operation.reset();
    // A replay must not undo again what is undone now: a later operation
    // may have made something new at the same place.
    CutJournalBackTo(mark);
    return false;
  }
  if (operations_.empty())
    journal_start_ = mark;
  for (size_t i = 0; i < nested.operations_.size(); ++i) {
    operations_.push_back(std::move(nested.operations_[i]));
    journal_marks_.push_back(nested.journal_marks_[i]);
  }
  nested.operations_.clear();
  nested.journal_marks_.clear();
  operations_.push_back(std::move(operation));
  journal_marks_.push_back(JournalSize());
  TellDebugger(kExecutedNotice);
  return true;
}

void Transaction::Rollback() {
  DCHECK_EQ(operations_.size(), journal_marks_.size());
  // Whatever is undone, the folders may go with it. Rare enough to forget
  // them all.
  root_->created_folders_.clear();
  for (size_t i = operations_.size(); i-- > 0;) {
    operations_[i]->Rollback();
    // Only down to the lines of the operations before it: among them are
    // the prerequisites it needed (a file it moved aside to make room), and
    // a kill before they are undone must leave the next run their undo.
    CutJournalBackTo(i > 0 ? journal_marks_[i - 1] : journal_start_);
    TellDebugger(kUndoneNotice);
  }
  Finish(/*committing=*/false);
}

void Transaction::Commit() {
  // A nested transaction commits when its operation has taken over its
  // prerequisites: the root still holds them.
  if (root_ == this)
    created_folders_.clear();
  Finish(/*committing=*/true);
}

void Transaction::AddCreatedFolders(const base::FilePath& folder,
                                    const base::FilePath& existing_ancestor) {
  for (base::FilePath level = folder;
       existing_ancestor.IsParentIgnoringCase(level); level = level.DirName()) {
    root_->created_folders_.insert(level);
  }
}

bool Transaction::IsCreatedFolder(const base::FilePath& folder) const {
  return root_->created_folders_.count(folder) != 0;
}

int64_t Transaction::JournalSize() const {
  return journal_ ? journal_->size() : 0;
}

void Transaction::CutJournalBackTo(int64_t mark) {
  if (journal_)
    journal_->CutBackTo(mark);
}

void Transaction::Finish(bool committing) {
  const bool journaled = journal_ && owns_journal_;
  // From here a killed run is completed, not undone: what is left to do is
  // deleting what was moved aside.
  if (committing && journaled && !operations_.empty())
    journal_->MarkCommitting();
  // Oldest first: a vector's clear() gives no order of destruction.
  for (std::unique_ptr<Operation>& operation : operations_) {
    operation.reset();
    if (committing)
      TellDebugger(kCommittedNotice);
  }
  operations_.clear();
  journal_marks_.clear();
  if (journaled)
    journal_->Clear();
}

// static
void Transaction::SetFaultInjectorForTesting(FaultInjector* injector) {
  g_fault_injector = injector;
}

}  // namespace installer
