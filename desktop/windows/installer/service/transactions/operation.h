// One reversible change to the machine: a file copied, moved or deleted, a
// folder created, a registry key created or deleted, a registry value set or
// removed. Operations are only run through a Transaction, which keeps every
// operation that succeeded so that the whole run can be undone or made final.
//
//   Transaction transaction;
//   if (!transaction.Execute(
//           std::make_unique<CopyFileOperation>(source, destination))) {
//     transaction.Rollback();
//   }
//
// An operation records, at the moment its change takes effect, what it
// changed; Rollback and the destructor act only on that record, so both are
// safe on an operation whose Execute failed early or found nothing to do.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_OPERATION_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_OPERATION_H_

namespace installer {

class Transaction;

class Operation {
 public:
  Operation(const Operation&) = delete;
  Operation& operator=(const Operation&) = delete;

  // The commit point: destroying an executed operation makes its change
  // final. An operation that holds something back until then (a file moved
  // aside, loosened permissions) finishes or releases it here. After a
  // Rollback the destructor finishes nothing: what could not be undone is
  // left where it is, never destroyed.
  virtual ~Operation() = default;

  // Performs the change; true on success. Prerequisite changes (a missing
  // parent folder or key, a file in the way) are made as further operations
  // run through |nested|, never directly. A failing Execute logs its error.
  virtual bool Execute(Transaction* nested) = 0;

  // Undoes what this operation itself changed and nothing else. It never
  // fails; a step that cannot be undone is logged and its remains are kept.
  virtual void Rollback() = 0;

 protected:
  Operation() = default;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_OPERATION_H_
