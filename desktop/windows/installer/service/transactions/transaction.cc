#include "desktop/windows/installer/service/transactions/transaction.h"

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

}  // namespace

Transaction::Transaction() = default;

Transaction::~Transaction() {
  Commit();
}

bool Transaction::Execute(std::unique_ptr<Operation> operation) {
  DCHECK(operation);
  const InjectedFault fault = AskFaultInjector();
  Transaction nested;
  nested.journal_ = journal_;
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
    return false;
  }
  for (std::unique_ptr<Operation>& prerequisite : nested.operations_)
    operations_.push_back(std::move(prerequisite));
  nested.operations_.clear();
  operations_.push_back(std::move(operation));
  return true;
}

void Transaction::Rollback() {
  for (auto it = operations_.rbegin(); it != operations_.rend(); ++it)
    (*it)->Rollback();
  Commit();
}

void Transaction::Commit() {
  const bool journaled = journal_ && owns_journal_;
  // From here a killed run is completed, not undone: what is left to do is
  // deleting what was moved aside.
  if (journaled && !operations_.empty())
    journal_->MarkCommitting();
  // Oldest first: a vector's clear() gives no order of destruction.
  for (std::unique_ptr<Operation>& operation : operations_)
    operation.reset();
  operations_.clear();
  if (journaled)
    journal_->Clear();
}

// static
void Transaction::SetFaultInjectorForTesting(FaultInjector* injector) {
  g_fault_injector = injector;
}

}  // namespace installer
