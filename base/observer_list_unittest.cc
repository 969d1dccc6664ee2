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

class Recorder : public Observer {
 public:
  Recorder(std::vector<Observer*>* log, int id) : log_(log), id_(id) {}
  void Notify() override { log_->push_back(this); }
  int id() const { return id_; }

 private:
  std::vector<Observer*>* log_;
  int id_;
};

// Runs an action when notified, then records itself.
class Actor : public Recorder {
 public:
  using Recorder::Recorder;
  std::function<void()> action;
  void Notify() override {
    Recorder::Notify();
    if (action)
      action();
  }
};

TEST(ObserverListTest, NotifiesInOrderOfAddition) {
  std::vector<Observer*> log;
  Recorder a(&log, 1), b(&log, 2);
  ObserverList<Observer> list;
  list.AddObserver(&a);
  list.AddObserver(&b);
  EXPECT_TRUE(list.HasObserver(&a));
  for (auto& observer : list)
    observer.Notify();
  EXPECT_EQ((std::vector<Observer*>{&a, &b}), log);

  list.RemoveObserver(&a);
  list.RemoveObserver(&a);  // Not there: nothing happens.
  log.clear();
  FOR_EACH_OBSERVER(Observer, list, Notify());
  EXPECT_EQ((std::vector<Observer*>{&b}), log);
}

TEST(ObserverListTest, AddingTwiceIsAnError) {
  std::vector<Observer*> log;
  Recorder a(&log, 1);
  ObserverList<Observer> list;
  list.AddObserver(&a);
  EXPECT_DEATH(list.AddObserver(&a), "only be added once");
}

TEST(ObserverListTest, RemovedDuringAPassAreNotCalledLater) {
  std::vector<Observer*> log;
  ObserverList<Observer> list;
  Actor first(&log, 1);
  Recorder second(&log, 2), third(&log, 3);
  first.action = [&] { list.RemoveObserver(&second); };
  list.AddObserver(&first);
  list.AddObserver(&second);
  list.AddObserver(&third);
  for (auto& observer : list)
    observer.Notify();
  EXPECT_EQ((std::vector<Observer*>{&first, &third}), log);
  EXPECT_FALSE(list.HasObserver(&second));
}

TEST(ObserverListTest, AnObserverMayRemoveAndDeleteItself) {
  std::vector<Observer*> log;
  ObserverList<Observer> list;
  auto* self_deleting = new Actor(&log, 1);
  Recorder after(&log, 2);
  self_deleting->action = [&] {
    list.RemoveObserver(self_deleting);
    delete self_deleting;
  };
  list.AddObserver(self_deleting);
  list.AddObserver(&after);
  Observer* deleted_address = self_deleting;
  for (auto& observer : list)
    observer.Notify();
  EXPECT_EQ((std::vector<Observer*>{deleted_address, &after}), log);
  EXPECT_TRUE(list.HasObserver(&after));
  log.clear();
  for (auto& observer : list)
    observer.Notify();
  EXPECT_EQ((std::vector<Observer*>{&after}), log);
}

TEST(ObserverListTest, AddedDuringAPassWaitForTheNextPass) {
  std::vector<Observer*> log;
  ObserverList<Observer> list;
  Actor adder(&log, 1);
  Recorder late(&log, 2);
  adder.action = [&] {
    if (!list.HasObserver(&late))
      list.AddObserver(&late);
  };
  list.AddObserver(&adder);
  for (auto& observer : list)
    observer.Notify();
  EXPECT_EQ((std::vector<Observer*>{&adder}), log);
  log.clear();
  for (auto& observer : list)
    observer.Notify();
  EXPECT_EQ((std::vector<Observer*>{&adder, &late}), log);
}

TEST(ObserverListTest, RemoveAndAddBackDuringAPass) {
  std::vector<Observer*> log;
  ObserverList<Observer> list;
  Actor first(&log, 1);
  Recorder second(&log, 2);
  first.action = [&] {
    list.RemoveObserver(&second);
    list.AddObserver(&second);  // Now at the end, after this pass.
  };
  list.AddObserver(&first);
  list.AddObserver(&second);
  for (auto& observer : list)
    observer.Notify();
  EXPECT_EQ((std::vector<Observer*>{&first}), log);
  log.clear();
  first.action = nullptr;
  for (auto& observer : list)
    observer.Notify();
  EXPECT_EQ((std::vector<Observer*>{&first, &second}), log);
}

TEST(ObserverListTest, NestedPassesAndClear) {
  std::vector<Observer*> log;
  ObserverList<Observer> list;
  Actor outer(&log, 1);
  Recorder other(&log, 2);
  bool nested = false;
  outer.action = [&] {
    if (nested)
      return;
    nested = true;
    for (auto& observer : list)  // A pass inside a pass.
      observer.Notify();
    list.Clear();
  };
  list.AddObserver(&outer);
  list.AddObserver(&other);
  for (auto& observer : list)
    observer.Notify();
  // outer, then the nested pass (outer, other); the outer pass then sees
  // the list cleared.
  EXPECT_EQ((std::vector<Observer*>{&outer, &outer, &other}), log);
  EXPECT_FALSE(list.might_have_observers());
}

TEST(ObserverListTest, TheListMayBeDestroyedDuringAPass) {
  std::vector<Observer*> log;
  auto list = std::make_unique<ObserverList<Observer>>();
  Actor destroyer(&log, 1);
  Recorder after(&log, 2);
  destroyer.action = [&] { list.reset(); };
  list->AddObserver(&destroyer);
  list->AddObserver(&after);
  for (auto& observer : *list)
    observer.Notify();
  EXPECT_EQ((std::vector<Observer*>{&destroyer}), log);
}

}  // namespace
}  // namespace base
