// The instance that a class's accessor answers instead of its real one while
// a test holds a Scoped override:
//
//   class DriveAccess {
//    public:
//     static DriveAccess* GetInstance();
//     using ScopedOverrideForTesting =
//         base::InstanceOverride<DriveAccess>::Scoped;
//   };
//
//   DriveAccess* DriveAccess::GetInstance() {
//     if (DriveAccess* instance = base::InstanceOverride<DriveAccess>::Get())
//       return instance;
//     ...
//   }
//
// Not thread-safe: set the override before the code under test runs.

#ifndef BASE_INSTANCE_OVERRIDE_H_
#define BASE_INSTANCE_OVERRIDE_H_

#include "base/logging.h"

namespace base {

template <typename T>
class InstanceOverride {
 public:
  // Overrides nest: the innermost one counts, and the one before it is
  // back when it goes away.
  class Scoped {
   public:
    explicit Scoped(T* instance) : previous_(current_) {
      DCHECK(instance);
      current_ = instance;
    }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;
    ~Scoped() { current_ = previous_; }

   private:
    T* const previous_;
  };

  InstanceOverride() = delete;

  // The instance of the innermost Scoped alive; null when there is none.
  static T* Get() { return current_; }

 private:
  static inline T* current_ = nullptr;
};

}  // namespace base

#endif  // BASE_INSTANCE_OVERRIDE_H_
