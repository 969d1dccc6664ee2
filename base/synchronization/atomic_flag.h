// A flag that one thread sets once and others read, such as a cancel flag
// checked by a worker between steps.

#ifndef BASE_SYNCHRONIZATION_ATOMIC_FLAG_H_
#define BASE_SYNCHRONIZATION_ATOMIC_FLAG_H_

#include <atomic>

namespace base {

class AtomicFlag {
 public:
  AtomicFlag() = default;
  AtomicFlag(const AtomicFlag&) = delete;
  AtomicFlag& operator=(const AtomicFlag&) = delete;

  // Writes made before Set() are visible to a thread that sees IsSet().
  void Set() { flag_.store(true, std::memory_order_release); }
  bool IsSet() const { return flag_.load(std::memory_order_acquire); }

 private:
  std::atomic<bool> flag_{false};
};

}  // namespace base

#endif  // BASE_SYNCHRONIZATION_ATOMIC_FLAG_H_
