// The machinery behind base::BindOnce and base::BindRepeating.

#ifndef BASE_BIND_INTERNAL_H_
#define BASE_BIND_INTERNAL_H_

#include <cstddef>
#include <functional>
#include <memory>
#include <tuple>
#include <type_traits>
#include <utility>

#include "base/callback.h"
#include "base/logging.h"
#include "base/memory/ref_counted.h"

namespace base {

template <typename T>
class WeakPtr;

namespace internal {

// Wrappers that change how a bound argument is stored and passed.

template <typename T>
class UnretainedWrapper {
 public:
  explicit UnretainedWrapper(T* o) : ptr_(o) {}
  T* get() const { return ptr_; }

 private:
  T* ptr_;
};

template <typename T>
class ConstRefWrapper {
 public:
  explicit ConstRefWrapper(const T& o) : ptr_(&o) {}
  const T& get() const { return *ptr_; }

 private:
  const T* ptr_;
};

template <typename T>
class OwnedWrapper {
 public:
  explicit OwnedWrapper(T* o) : ptr_(o) {}
  T* get() const { return ptr_.get(); }

 private:
  std::unique_ptr<T> ptr_;
};

// Moves its value into the call. A repeating callback holding one may run
// only once.
template <typename T>
class PassedWrapper {
 public:
  explicit PassedWrapper(T&& scoper) : scoper_(std::move(scoper)) {}
  PassedWrapper(PassedWrapper&& other) noexcept
      : is_valid_(other.is_valid_), scoper_(std::move(other.scoper_)) {}
  T Take() const {
    CHECK(is_valid_) << "a Passed() argument was already taken";
    is_valid_ = false;
    return std::move(scoper_);
  }

 private:
  mutable bool is_valid_ = true;
  mutable T scoper_;
};

template <typename T>
struct BindUnwrapTraits {
  template <typename U>
  static U&& Unwrap(U&& o) {
    return std::forward<U>(o);
  }
};
template <typename T>
struct BindUnwrapTraits<UnretainedWrapper<T>> {
  static T* Unwrap(const UnretainedWrapper<T>& o) { return o.get(); }
};
template <typename T>
struct BindUnwrapTraits<ConstRefWrapper<T>> {
  static const T& Unwrap(const ConstRefWrapper<T>& o) { return o.get(); }
};
template <typename T>
struct BindUnwrapTraits<OwnedWrapper<T>> {
  static T* Unwrap(const OwnedWrapper<T>& o) { return o.get(); }
};
template <typename T>
struct BindUnwrapTraits<PassedWrapper<T>> {
  static T Unwrap(const PassedWrapper<T>& o) { return o.Take(); }
};

template <typename U>
decltype(auto) Unwrap(U&& o) {
  return BindUnwrapTraits<std::decay_t<U>>::Unwrap(std::forward<U>(o));
}

// What can be bound: function pointers, methods, lambdas and other functors
// with one operator(), and callbacks. RunType lists a method's receiver as
// its first parameter.

template <typename F, typename = void>
struct FunctorTraits;

template <typename R, typename... A>
struct FunctorTraits<R (*)(A...)> {
  using RunType = R(A...);
  static constexpr bool is_method = false;
};
template <typename R, typename... A>
struct FunctorTraits<R (*)(A...) noexcept> : FunctorTraits<R (*)(A...)> {};

template <typename R, typename C, typename... A>
struct FunctorTraits<R (C::*)(A...)> {
  using RunType = R(C*, A...);
  static constexpr bool is_method = true;
};
template <typename R, typename C, typename... A>
struct FunctorTraits<R (C::*)(A...) const> {
  using RunType = R(const C*, A...);
  static constexpr bool is_method = true;
};
template <typename R, typename C, typename... A>
struct FunctorTraits<R (C::*)(A...) noexcept> : FunctorTraits<R (C::*)(A...)> {
};
template <typename R, typename C, typename... A>
struct FunctorTraits<R (C::*)(A...) const noexcept>
    : FunctorTraits<R (C::*)(A...) const> {};

template <typename Method>
struct CallOperatorTraits;
template <typename R, typename C, typename... A>
struct CallOperatorTraits<R (C::*)(A...)> {
  using RunType = R(A...);
};
template <typename R, typename C, typename... A>
struct CallOperatorTraits<R (C::*)(A...) const> {
  using RunType = R(A...);
};
template <typename R, typename C, typename... A>
struct CallOperatorTraits<R (C::*)(A...) noexcept> {
  using RunType = R(A...);
};
template <typename R, typename C, typename... A>
struct CallOperatorTraits<R (C::*)(A...) const noexcept> {
  using RunType = R(A...);
};

template <typename F>
struct FunctorTraits<F, std::void_t<decltype(&F::operator())>> {
  using RunType =
      typename CallOperatorTraits<decltype(&F::operator())>::RunType;
  static constexpr bool is_method = false;
};

template <typename R, typename... A>
struct FunctorTraits<OnceCallback<R(A...)>> {
  using RunType = R(A...);
  static constexpr bool is_method = false;
};
template <typename R, typename... A>
struct FunctorTraits<RepeatingCallback<R(A...)>> {
  using RunType = R(A...);
  static constexpr bool is_method = false;
};

template <typename F>
struct IsCallback : std::false_type {};
template <typename Sig>
struct IsCallback<OnceCallback<Sig>> : std::true_type {};
template <typename Sig>
struct IsCallback<RepeatingCallback<Sig>> : std::true_type {};

template <typename F>
bool IsNullFunctor(const F& f) {
  if constexpr (IsCallback<F>::value)
    return f.is_null();
  else if constexpr (std::is_pointer_v<F> || std::is_member_pointer_v<F>)
    return f == nullptr;
  else
    return false;
}

template <typename F, typename... CallArgs>
decltype(auto) InvokeFunctor(F&& f, CallArgs&&... args) {
  if constexpr (IsCallback<std::decay_t<F>>::value)
    return std::forward<F>(f).Run(std::forward<CallArgs>(args)...);
  else
    return std::invoke(std::forward<F>(f), std::forward<CallArgs>(args)...);
}

// The signature left after the first N parameters were bound.
template <size_t N, typename RunType>
struct DropParams;
template <typename R, typename... A>
struct DropParams<0, R(A...)> {
  using Type = R(A...);
};
template <size_t N, typename R, typename A0, typename... A>
requires(N > 0) struct DropParams<N, R(A0, A...)> {
  using Type = typename DropParams<N - 1, R(A...)>::Type;
};

template <typename T>
struct IsWeakReceiver : std::false_type {};
template <typename T>
struct IsWeakReceiver<WeakPtr<T>> : std::true_type {};

template <typename T, typename = void>
struct IsRefCountedType : std::false_type {};
template <typename T>
struct IsRefCountedType<T,
                        std::void_t<decltype(std::declval<T*>()->AddRef()),
                                    decltype(std::declval<T*>()->Release())>>
    : std::true_type {};

// How a bound argument is stored. A method's receiver given as a raw
// pointer is kept alive by a reference when its class is reference-counted;
// any other raw receiver must say how its lifetime is handled.
template <bool kIsReceiver, typename A>
struct BoundStorage {
  using Type = std::decay_t<A>;
};
template <typename A>
requires std::is_pointer_v<std::decay_t<A>>
struct BoundStorage<true, A> {
  using Pointee = std::remove_pointer_t<std::decay_t<A>>;
  static_assert(IsRefCountedType<Pointee>::value,
                "A method's receiver may not be a raw pointer: use "
                "base::Unretained(), base::Owned() or a WeakPtr");
  using Type = scoped_refptr<Pointee>;
};

template <bool kIsOnce,
          bool kIsWeakCall,
          typename Functor,
          typename UnboundRunType,
          typename... Bound>
class BindState;

template <bool kIsOnce,
          bool kIsWeakCall,
          typename Functor,
          typename R,
          typename... Unbound,
          typename... Bound>
class BindState<kIsOnce, kIsWeakCall, Functor, R(Unbound...), Bound...> final
    : public BindStateFor<R, Unbound...> {
 public:
  template <typename F, typename... B>
  explicit BindState(F&& functor, B&&... bound)
      : functor_(std::forward<F>(functor)), bound_(std::forward<B>(bound)...) {
    DCHECK(!IsNullFunctor(functor_)) << "binding a null function";
  }

  R Run(Unbound&&... unbound) override {
    if constexpr (kIsWeakCall) {
      static_assert(std::is_void_v<R>,
                    "a call bound to a WeakPtr may be dropped, so it must "
                    "return void");
      if (!std::get<0>(bound_))
        return;
      RunWeak(std::make_index_sequence<sizeof...(Bound) - 1>(),
              std::forward<Unbound>(unbound)...);
    } else {
      return RunBound(std::index_sequence_for<Bound...>(),
                      std::forward<Unbound>(unbound)...);
    }
  }

  bool IsCancelled() const override {
    if constexpr (kIsWeakCall)
      return !std::get<0>(bound_);
    else
      return false;
  }

 private:
  ~BindState() override = default;

  // A once callback hands its bound values over to the call; a repeating
  // one lends them and keeps them for the next run.
  template <typename T>
  static decltype(auto) Pass(T& value) {
    if constexpr (kIsOnce)
      return Unwrap(std::move(value));
    else
      return Unwrap(value);
  }

  decltype(auto) PassFunctor() {
    if constexpr (kIsOnce)
      return std::move(functor_);
    else
      return (functor_);
  }

  template <size_t... I>
  R RunBound(std::index_sequence<I...>, Unbound&&... unbound) {
    return InvokeFunctor(PassFunctor(), Pass(std::get<I>(bound_))...,
                         std::forward<Unbound>(unbound)...);
  }

  template <size_t... I>
  void RunWeak(std::index_sequence<I...>, Unbound&&... unbound) {
    InvokeFunctor(PassFunctor(), std::get<0>(bound_).get(),
                  Pass(std::get<I + 1>(bound_))...,
                  std::forward<Unbound>(unbound)...);
  }

  Functor functor_;
  std::tuple<Bound...> bound_;
};

template <bool kIsOnce, typename Functor, typename... Args>
struct MakeBindStateType;

template <bool kIsOnce, typename Functor>
struct MakeBindStateType<kIsOnce, Functor> {
  using Traits = FunctorTraits<std::decay_t<Functor>>;
  using UnboundRunType = typename Traits::RunType;
  using Type = BindState<kIsOnce, false, std::decay_t<Functor>, UnboundRunType>;
};

template <bool kIsOnce, typename Functor, typename First, typename... Rest>
struct MakeBindStateType<kIsOnce, Functor, First, Rest...> {
  using Traits = FunctorTraits<std::decay_t<Functor>>;
  using UnboundRunType =
      typename DropParams<1 + sizeof...(Rest), typename Traits::RunType>::Type;
  static constexpr bool kIsWeakCall =
      Traits::is_method && IsWeakReceiver<std::decay_t<First>>::value;
  using Type = BindState<kIsOnce,
                         kIsWeakCall,
                         std::decay_t<Functor>,
                         UnboundRunType,
                         typename BoundStorage<Traits::is_method, First>::Type,
                         std::decay_t<Rest>...>;
};

template <bool kIsOnce, typename Functor, typename... Args>
auto MakeBindState(Functor&& functor, Args&&... args) {
  using State = typename MakeBindStateType<kIsOnce, Functor, Args...>::Type;
  return scoped_refptr<State>(
      new State(std::forward<Functor>(functor), std::forward<Args>(args)...));
}

}  // namespace internal
}  // namespace base

#endif  // BASE_BIND_INTERNAL_H_
