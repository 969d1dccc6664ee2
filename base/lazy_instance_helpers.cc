#include "base/lazy_instance_helpers.h"

#include <windows.h>

#include "base/at_exit.h"
#include "base/logging.h"

namespace base {
namespace subtle {

void* GetOrCreateLazyPointer(std::atomic<uintptr_t>* state,
                             void* (*creator)(void*),
                             void* creator_arg,
                             void (*destructor)(void*)) {
  uintptr_t value = state->load(std::memory_order_acquire);
  if (value != 0 && value != kLazyInstanceStateCreating)
    return reinterpret_cast<void*>(value);

  uintptr_t expected = 0;
  if (state->compare_exchange_strong(expected, kLazyInstanceStateCreating,
                                     std::memory_order_acquire)) {
    void* instance = creator(creator_arg);
    state->store(reinterpret_cast<uintptr_t>(instance),
                 std::memory_order_release);
    if (destructor) {
      AtExitManager::RegisterTask([state, destructor] {
        void* created = ResetLazyPointer(state);
        if (created)
          destructor(created);
      });
    }
    return instance;
  }

  // Another thread is creating it.
  while ((value = state->load(std::memory_order_acquire)) ==
         kLazyInstanceStateCreating) {
    ::Sleep(0);
  }
  if (value == 0) {
    // Destroyed between our two loads: create anew.
    return GetOrCreateLazyPointer(state, creator, creator_arg, destructor);
  }
  return reinterpret_cast<void*>(value);
}

void* ResetLazyPointer(std::atomic<uintptr_t>* state) {
  uintptr_t value = state->load(std::memory_order_acquire);
  // An instance being created right now is left to its creator.
  while (value != kLazyInstanceStateCreating &&
         !state->compare_exchange_weak(value, 0, std::memory_order_acq_rel)) {
  }
  if (value == kLazyInstanceStateCreating)
    return nullptr;
  return reinterpret_cast<void*>(value);
}

}  // namespace subtle
}  // namespace base
