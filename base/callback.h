// Callbacks: a function together with some of its arguments, made by
// base::BindOnce / base::BindRepeating (base/bind.h) and run later, often on
// another thread.
//
// OnceCallback runs at most once and may carry move-only state; running it
// consumes it: std::move(callback).Run(args). RepeatingCallback may be
// copied and run any number of times; it converts to a OnceCallback.
// A default-constructed callback is null; running a null callback crashes.

#ifndef BASE_CALLBACK_H_
#define BASE_CALLBACK_H_

#include <cstddef>
#include <utility>

#include "base/callback_forward.h"
#include "base/callback_internal.h"
#include "base/logging.h"

namespace base {

template <typename R, typename... Args>
class OnceCallback<R(Args...)> {
 public:
  using RunType = R(Args...);
  using StateType = internal::BindStateFor<R, Args...>;

  constexpr OnceCallback() = default;
  OnceCallback(std::nullptr_t) {}
  explicit OnceCallback(scoped_refptr<StateType> state)
      : state_(std::move(state)) {}
  // A repeating callback may stand where a once callback is expected.
  OnceCallback(RepeatingCallback<RunType> other)
      : state_(std::move(other).TakeState()) {}

  OnceCallback(OnceCallback&&) noexcept = default;
  OnceCallback& operator=(OnceCallback&&) noexcept = default;
  OnceCallback(const OnceCallback&) = delete;
  OnceCallback& operator=(const OnceCallback&) = delete;

  bool is_null() const { return !state_; }
  explicit operator bool() const { return !is_null(); }
  bool IsCancelled() const { return state_ && state_->IsCancelled(); }
  void Reset() { state_ = nullptr; }

  R Run(Args... args) && {
    CHECK(state_) << "running a null callback";
    // Null from here on, also while the call runs.
    scoped_refptr<StateType> state = std::move(state_);
    return state->Run(std::forward<Args>(args)...);
  }

 private:
  scoped_refptr<StateType> state_;
};

template <typename R, typename... Args>
class RepeatingCallback<R(Args...)> {
 public:
  using RunType = R(Args...);
  using StateType = internal::BindStateFor<R, Args...>;

  constexpr RepeatingCallback() = default;
  RepeatingCallback(std::nullptr_t) {}
  explicit RepeatingCallback(scoped_refptr<StateType> state)
      : state_(std::move(state)) {}

  RepeatingCallback(const RepeatingCallback&) = default;
  RepeatingCallback& operator=(const RepeatingCallback&) = default;
  RepeatingCallback(RepeatingCallback&&) noexcept = default;
  RepeatingCallback& operator=(RepeatingCallback&&) noexcept = default;

  bool is_null() const { return !state_; }
  explicit operator bool() const { return !is_null(); }
  bool IsCancelled() const { return state_ && state_->IsCancelled(); }
  void Reset() { state_ = nullptr; }
  // Whether both share one bound state (copies of one callback).
  bool Equals(const RepeatingCallback& other) const {
    return state_ == other.state_;
  }

  R Run(Args... args) const& {
    CHECK(state_) << "running a null callback";
    // The call may reset or destroy this callback; the state stays alive.
    scoped_refptr<StateType> state = state_;
    return state->Run(std::forward<Args>(args)...);
  }
  R Run(Args... args) && {
    CHECK(state_) << "running a null callback";
    scoped_refptr<StateType> state = std::move(state_);
    return state->Run(std::forward<Args>(args)...);
  }

 private:
  friend class OnceCallback<RunType>;

  scoped_refptr<StateType> TakeState() && { return std::move(state_); }

  scoped_refptr<StateType> state_;
};

}  // namespace base

#endif  // BASE_CALLBACK_H_
