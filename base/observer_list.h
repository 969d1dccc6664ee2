// A list of observers for one thread that may change while it notifies:
//
//   for (auto& observer : observers_)
//     observer.OnPathChanged();
//
// During a pass, an observer removed (also one that destroys itself after
// removing) is not called later in that pass; an observer added is called
// only from the next pass on. The list itself may be destroyed during a
// pass; the pass then ends.

#ifndef BASE_OBSERVER_LIST_H_
#define BASE_OBSERVER_LIST_H_

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

#include "base/logging.h"

namespace base {

template <class ObserverType, bool check_empty = false>
class ObserverList {
 public:
  class Iter;

  // Marks the end of a pass.
  class End {};

  ObserverList() = default;
  ObserverList(const ObserverList&) = delete;
  ObserverList& operator=(const ObserverList&) = delete;
  ~ObserverList() {
    if (check_empty) {
      Compact();
      DCHECK(state_->observers.empty()) << "observers left at destruction";
    }
    // Passes still running see no observers and end.
    std::fill(state_->observers.begin(), state_->observers.end(), nullptr);
  }

  // An observer is added once; adding it again is an error.
  void AddObserver(ObserverType* obs) {
    DCHECK(obs);
    if (HasObserver(obs)) {
      NOTREACHED() << "observers can only be added once";
      return;
    }
    state_->observers.push_back(obs);
  }

  // Removing an observer that is not in the list does nothing.
  void RemoveObserver(const ObserverType* obs) {
    auto& list = state_->observers;
    auto it = std::find(list.begin(), list.end(), obs);
    if (it == list.end())
      return;
    if (state_->notify_depth > 0)
      *it = nullptr;  // Compacted when the last pass ends.
    else
      list.erase(it);
  }

  bool HasObserver(const ObserverType* obs) const {
    if (!obs)
      return false;
    const auto& list = state_->observers;
    return std::find(list.begin(), list.end(), obs) != list.end();
  }

  void Clear() {
    if (state_->notify_depth > 0)
      std::fill(state_->observers.begin(), state_->observers.end(), nullptr);
    else
      state_->observers.clear();
  }

  bool might_have_observers() const { return !state_->observers.empty(); }

  Iter begin() const { return Iter(state_); }
  End end() const { return End(); }

 private:
  struct State {
    std::vector<ObserverType*> observers;
    int notify_depth = 0;
  };

  void Compact() {
    auto& list = state_->observers;
    list.erase(std::remove(list.begin(), list.end(), nullptr), list.end());
  }

  // Shared with running passes, so that a pass outlives the list.
  std::shared_ptr<State> state_ = std::make_shared<State>();

 public:
  class Iter {
   public:
    explicit Iter(const std::shared_ptr<State>& state)
        : state_(state), end_(state->observers.size()) {
      ++state_->notify_depth;
      SkipRemoved();
    }
    Iter(const Iter& other)
        : state_(other.state_), index_(other.index_), end_(other.end_) {
      ++state_->notify_depth;
    }
    Iter& operator=(const Iter&) = delete;
    ~Iter() {
      if (--state_->notify_depth == 0) {
        auto& list = state_->observers;
        list.erase(std::remove(list.begin(), list.end(), nullptr), list.end());
      }
    }

    bool operator==(const End&) const { return AtEnd(); }
    bool operator!=(const End&) const { return !AtEnd(); }

    ObserverType& operator*() const {
      DCHECK(!AtEnd());
      return *state_->observers[index_];
    }
    ObserverType* operator->() const { return &**this; }

    Iter& operator++() {
      ++index_;
      SkipRemoved();
      return *this;
    }

   private:
    // Observers added during the pass lie at or after |end_|.
    bool AtEnd() const {
      return index_ >= std::min(end_, state_->observers.size());
    }
    void SkipRemoved() {
      while (!AtEnd() && !state_->observers[index_])
        ++index_;
    }

    std::shared_ptr<State> state_;
    size_t index_ = 0;
    size_t end_;
  };
};

}  // namespace base

// The older form of a notification pass.
#define FOR_EACH_OBSERVER(ObserverType, observer_list, func) \
  do {                                                       \
    if ((observer_list).might_have_observers()) {            \
      for (ObserverType & o : (observer_list))               \
        o.func;                                              \
    }                                                        \
  } while (0)

#endif  // BASE_OBSERVER_LIST_H_
