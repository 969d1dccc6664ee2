#include "base/observer_list.h"

#include <functional>
#include <memory>
#include <vector>

#include "gtest/gtest.h"

namespace base {
namespace {

class Observer {
 public:
  virtual ~Observer() = default;
  virtual void Notify() = 0;
};

// Records itself when notified, then runs its action.
class Actor : public Observer {
 public:
  explicit Actor(std::vector<Observer*>* log) : log_(log) {}
  void Notify() override {
    log_->push_back(this);
    if (action)
      action();
  }
  std::function<void()> action;

 private:
  std::vector<Observer*>* log_;
};

void NotifyAll(ObserverList<Observer>* list) {
  for (auto& observer : *list)
    observer.Notify();
}

using Log = std::vector<Observer*>;

TEST(ObserverListTest, NotifiesInOrderOfAddition) {
  Log log;
  Actor a(&log), b(&log);
  ObserverList<Observer> list;
  list.AddObserver(&a);
  list.AddObserver(&b);
  NotifyAll(&list);
  EXPECT_EQ((Log{&a, &b}), log);
  list.RemoveObserver(&a);
  list.RemoveObserver(&a);  // Not there: nothing happens.
  log.clear();
  NotifyAll(&list);
  EXPECT_EQ((Log{&b}), log);
  EXPECT_DEATH(list.AddObserver(&b), "only be added once");
}

TEST(ObserverListTest, ChangesDuringAPass) {
  Log log;
  ObserverList<Observer> list;
  Actor first(&log), removed(&log), added(&log);
  // Removed during a pass: not called later in it. Added: waits for the
  // next pass.
  first.action = [&] {
    list.RemoveObserver(&removed);
    if (!list.HasObserver(&added))
      list.AddObserver(&added);
  };
  list.AddObserver(&first);
  list.AddObserver(&removed);
  NotifyAll(&list);
  EXPECT_EQ((Log{&first}), log);
  log.clear();
  NotifyAll(&list);
  EXPECT_EQ((Log{&first, &added}), log);
}

TEST(ObserverListTest, AnObserverMayRemoveAndDeleteItself) {
  Log log;
  ObserverList<Observer> list;
  auto* self_deleting = new Actor(&log);
  Actor after(&log);
  self_deleting->action = [&] {
    list.RemoveObserver(self_deleting);
    delete self_deleting;
  };
  list.AddObserver(self_deleting);
  list.AddObserver(&after);
  Observer* deleted_address = self_deleting;
  NotifyAll(&list);
  EXPECT_EQ((Log{deleted_address, &after}), log);
  log.clear();
  NotifyAll(&list);
  EXPECT_EQ((Log{&after}), log);
}

TEST(ObserverListTest, TheListMayBeDestroyedDuringAPass) {
  Log log;
  auto list = std::make_unique<ObserverList<Observer>>();
  Actor destroyer(&log), after(&log);
  destroyer.action = [&] { list.reset(); };
  list->AddObserver(&destroyer);
  list->AddObserver(&after);
  NotifyAll(list.get());
  EXPECT_EQ((Log{&destroyer}), log);
}

}  // namespace
}  // namespace base
