// The process-wide lazy creation used by the installer's singletons: the
// first caller swaps the state word from 0 to 1 and creates the instance;
// concurrent callers spin with Sleep(0) until it is published. The at-exit
// manager destroys the instance and resets the word, so a later caller
// creates a fresh one.

#ifndef BASE_LAZY_INSTANCE_HELPERS_H_
#define BASE_LAZY_INSTANCE_HELPERS_H_

#include <atomic>
#include <cstdint>

namespace base {
namespace subtle {

constexpr uintptr_t kLazyInstanceStateCreating = 1;

// Returns the instance held in |state|, creating it with |creator| first
// when there is none. |destructor|, when given, is registered with the
// at-exit manager and receives the instance.
void* GetOrCreateLazyPointer(std::atomic<uintptr_t>* state,
                             void* (*creator)(void* creator_arg),
                             void* creator_arg,
                             void (*destructor)(void* instance));

// Takes the instance out of |state| (for the at-exit destructor).
void* ResetLazyPointer(std::atomic<uintptr_t>* state);

}  // namespace subtle

// A lazily created process-wide T, deleted by the at-exit manager.
//   static base::LazySingleton<Foo> g_foo;   // constant-initialised
//   Foo* foo = g_foo.Get();
template <typename T>
class LazySingleton {
 public:
  constexpr LazySingleton() = default;

  T* Get() {
    return static_cast<T*>(subtle::GetOrCreateLazyPointer(
        &state_, &LazySingleton::Create, nullptr, &LazySingleton::Destroy));
  }
  // Whether an instance exists now.
  bool IsCreated() const {
    uintptr_t s = state_.load(std::memory_order_acquire);
    return s != 0 && s != subtle::kLazyInstanceStateCreating;
  }

 private:
  static void* Create(void*) { return new T(); }
  static void Destroy(void* instance) { delete static_cast<T*>(instance); }

  std::atomic<uintptr_t> state_{0};
};

}  // namespace base

#endif  // BASE_LAZY_INSTANCE_HELPERS_H_
