#include "desktop/windows/installer/test/scoped_operation_fault.h"

namespace installer {
namespace test {

ScopedOperationFault::ScopedOperationFault()
    : ScopedOperationFault(-1, Transaction::InjectedFault::kNone) {}

ScopedOperationFault::ScopedOperationFault(int index,
                                           Transaction::InjectedFault fault)
    : index_(index), fault_(fault) {
  Transaction::SetFaultInjectorForTesting(this);
}

ScopedOperationFault::~ScopedOperationFault() {
  Transaction::SetFaultInjectorForTesting(nullptr);
}

Transaction::InjectedFault ScopedOperationFault::OnExecute() {
  const int index = operations_started_++;
  if (index != index_)
    return Transaction::InjectedFault::kNone;
  fired_ = true;
  return fault_;
}

}  // namespace test
}  // namespace installer
