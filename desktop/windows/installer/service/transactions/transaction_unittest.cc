// The transaction's order of execution, rollback and commit, with operations
// that only record what is done to them.

#include "desktop/windows/installer/service/transactions/transaction.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/test/scoped_log_capture.h"
#include "desktop/windows/installer/test/scoped_operation_fault.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using testing::ElementsAre;

using Events = std::vector<std::string>;

// Records "execute N", "rollback N" and "destroy N"; runs its prerequisites
// through the nested transaction and then succeeds or fails as told.
class RecordingOperation : public Operation {
 public:
  RecordingOperation(std::string name, Events* events, bool succeed = true)
      : name_(std::move(name)), events_(events), succeed_(succeed) {}
  ~RecordingOperation() override { events_->push_back("destroy " + name_); }

  RecordingOperation* Needs(std::unique_ptr<Operation> prerequisite) {
    prerequisites_.push_back(std::move(prerequisite));
    return this;
  }

  bool Execute(Transaction* nested) override {
    events_->push_back("execute " + name_);
    for (std::unique_ptr<Operation>& prerequisite : prerequisites_) {
      if (!nested->Execute(std::move(prerequisite)))
        return false;
    }
    return succeed_;
  }

  void Rollback() override { events_->push_back("rollback " + name_); }

 private:
  const std::string name_;
  Events* const events_;
  const bool succeed_;
  std::vector<std::unique_ptr<Operation>> prerequisites_;
};

class TransactionTest : public testing::Test {
 protected:
  std::unique_ptr<RecordingOperation> Op(const std::string& name,
                                         bool succeed = true) {
    return std::make_unique<RecordingOperation>(name, &events_, succeed);
  }

  // A with the prerequisites P1 and P2.
  std::unique_ptr<RecordingOperation> OpWithPrerequisites() {
    auto a = Op("A");
    a->Needs(Op("P1"))->Needs(Op("P2"));
    return a;
  }

  Events events_;
};

TEST_F(TransactionTest, FailingPrerequisiteFailsItsOperation) {
  Transaction transaction;
  auto a = Op("A");
  a->Needs(Op("P1"))->Needs(Op("P2", /*succeed=*/false))->Needs(Op("P3"));
  EXPECT_FALSE(transaction.Execute(std::move(a)));
  EXPECT_THAT(events_, ElementsAre("execute A", "execute P1", "execute P2",
                                   "rollback P2", "destroy P2", "rollback A",
                                   "rollback P1", "destroy P1", "destroy A",
                                   // Never started.
                                   "destroy P3"));
  EXPECT_TRUE(transaction.empty());
}

TEST_F(TransactionTest, InjectedFaultsCountPrerequisitesInStartOrder) {
  base::ScopedLogCapture log;
  // Operation 3 is P2 (Before, A, P1, P2): before its change it is never
  // executed, and A is undone before the prerequisite it made.
  {
    test::ScopedOperationFault fault(3,
                                     Transaction::InjectedFault::kBeforeChange);
    Transaction transaction;
    ASSERT_TRUE(transaction.Execute(Op("Before")));
    events_.clear();
    EXPECT_FALSE(transaction.Execute(OpWithPrerequisites()));
    EXPECT_TRUE(fault.fired());
    EXPECT_THAT(events_, ElementsAre("execute A", "execute P1", "rollback P2",
                                     "destroy P2", "rollback A", "rollback P1",
                                     "destroy P1", "destroy A"));
    // Only the operation before it is held.
    events_.clear();
    transaction.Rollback();
    EXPECT_THAT(events_, ElementsAre("rollback Before", "destroy Before"));
  }
  EXPECT_TRUE(log.ContainsError("Injected failure before the operation"));
}

}  // namespace
}  // namespace installer
