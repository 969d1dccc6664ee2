// Runs registered clean-up callbacks, newest first, when the manager goes
// away: the process-wide singletons are deleted this way at the end of a
// run, after everything that used them.
//
// Managers nest: a "shadowing" manager (tests) takes the registrations made
// while it lives and runs them when it is destroyed.

#ifndef BASE_AT_EXIT_H_
#define BASE_AT_EXIT_H_

#include <functional>
#include <vector>

#include "base/synchronization/lock.h"

namespace base {

class AtExitManager {
 public:
  using AtExitCallbackType = void (*)(void*);

  AtExitManager();
  AtExitManager(const AtExitManager&) = delete;
  AtExitManager& operator=(const AtExitManager&) = delete;
  // Runs the callbacks of this manager.
  ~AtExitManager();

  // Registers with the innermost live manager. Without one the callback is
  // dropped with an error line: the object then simply lives until the
  // process ends.
  static void RegisterCallback(AtExitCallbackType func, void* param);
  static void RegisterTask(std::function<void()> task);

  // Runs and forgets the callbacks registered so far.
  static void ProcessCallbacksNow();

  // Whether any manager exists.
  static bool IsActive();

 protected:
  // For tests: a manager that hides the current one while it lives.
  explicit AtExitManager(bool shadow);

 private:
  Lock lock_;
  std::vector<std::function<void()>> stack_;
  bool processing_callbacks_ = false;
  AtExitManager* next_manager_;
};

// A manager for a test body: singletons created inside are deleted at its end.
class ShadowingAtExitManager : public AtExitManager {
 public:
  ShadowingAtExitManager() : AtExitManager(true) {}
};

}  // namespace base

#endif  // BASE_AT_EXIT_H_
