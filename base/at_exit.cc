#include "base/at_exit.h"

#include <utility>

#include "base/logging.h"

namespace base {

namespace {
// The innermost manager. Managers are created and destroyed on the main
// thread, before and after every other thread of a run.
AtExitManager* g_top_manager = nullptr;
}  // namespace

AtExitManager::AtExitManager() : next_manager_(g_top_manager) {
  DCHECK(!g_top_manager) << "use ShadowingAtExitManager to nest managers";
  g_top_manager = this;
}

AtExitManager::AtExitManager(bool shadow) : next_manager_(g_top_manager) {
  DCHECK(shadow || !g_top_manager);
  g_top_manager = this;
}

AtExitManager::~AtExitManager() {
  if (g_top_manager != this) {
    LOG(ERROR) << "AtExitManager destroyed out of order";
    return;
  }
  ProcessCallbacksNow();
  g_top_manager = next_manager_;
}

// static
void AtExitManager::RegisterCallback(AtExitCallbackType func, void* param) {
  DCHECK(func);
  RegisterTask([func, param] { func(param); });
}

// static
void AtExitManager::RegisterTask(std::function<void()> task) {
  if (!g_top_manager) {
    LOG(ERROR) << "No AtExitManager: clean-up at exit is skipped";
    return;
  }
  AutoLock lock(g_top_manager->lock_);
  DCHECK(!g_top_manager->processing_callbacks_)
      << "registration while the at-exit callbacks run";
  g_top_manager->stack_.push_back(std::move(task));
}

// static
void AtExitManager::ProcessCallbacksNow() {
  if (!g_top_manager)
    return;
  std::vector<std::function<void()>> tasks;
  {
    AutoLock lock(g_top_manager->lock_);
    tasks.swap(g_top_manager->stack_);
    g_top_manager->processing_callbacks_ = true;
  }
  // Newest first: what was created last may use what was created before.
  for (auto it = tasks.rbegin(); it != tasks.rend(); ++it)
    (*it)();
  AutoLock lock(g_top_manager->lock_);
  g_top_manager->processing_callbacks_ = false;
}

// static
bool AtExitManager::IsActive() {
  return g_top_manager != nullptr;
}

}  // namespace base
