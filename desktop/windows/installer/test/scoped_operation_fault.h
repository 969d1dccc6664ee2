// Makes one chosen operation fail while it lives. Operations are counted from
// 0 in the order in which every Transaction on this thread starts them,
// prerequisites included: a copy that first creates its folder counts as two.
//
//   // How many operations does the install make?
//   int count;
//   {
//     ScopedOperationFault counter;
//     RunInstall();
//     count = counter.operations_started();
//   }
//   for (int k = 0; k < count; ++k) {
//     ScopedOperationFault fault(k, Transaction::InjectedFault::kAfterChange);
//     ... RunInstall() must fail and leave the machine as it was ...
//   }

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_OPERATION_FAULT_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_OPERATION_FAULT_H_

#include "desktop/windows/installer/service/transactions/transaction.h"

namespace installer {
namespace test {

class ScopedOperationFault : public Transaction::FaultInjector {
 public:
  // Only counts.
  ScopedOperationFault();
  // Operation |index| fails as |fault| says.
  ScopedOperationFault(int index, Transaction::InjectedFault fault);
  ScopedOperationFault(const ScopedOperationFault&) = delete;
  ScopedOperationFault& operator=(const ScopedOperationFault&) = delete;
  ~ScopedOperationFault() override;

  int operations_started() const { return operations_started_; }
  // Whether the chosen operation has been reached.
  bool fired() const { return fired_; }

  // Transaction::FaultInjector:
  Transaction::InjectedFault OnExecute() override;

 private:
  const int index_;
  const Transaction::InjectedFault fault_;
  int operations_started_ = 0;
  bool fired_ = false;
};

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_OPERATION_FAULT_H_
