// The bound state behind a callback: the function, its bound arguments and
// the call that combines them with the arguments given at run time. Shared
// by the copies of a callback, and reference-counted across threads because
// a callback is often made on one thread and run or dropped on another.

#ifndef BASE_CALLBACK_INTERNAL_H_
#define BASE_CALLBACK_INTERNAL_H_

#include "base/memory/ref_counted.h"

namespace base {
namespace internal {

class BindStateBase : public RefCountedThreadSafe<BindStateBase> {
 public:
  BindStateBase(const BindStateBase&) = delete;
  BindStateBase& operator=(const BindStateBase&) = delete;

  // True when running would do nothing because its receiver is gone.
  virtual bool IsCancelled() const { return false; }

 protected:
  BindStateBase() = default;
  virtual ~BindStateBase() = default;

 private:
  friend class RefCountedThreadSafe<BindStateBase>;
};

// The run-time arguments arrive as references so that nothing is copied
// twice: a by-value parameter of the signature becomes an rvalue here.
template <typename R, typename... Args>
class BindStateFor : public BindStateBase {
 public:
  virtual R Run(Args&&... args) = 0;
};

}  // namespace internal
}  // namespace base

#endif  // BASE_CALLBACK_INTERNAL_H_
