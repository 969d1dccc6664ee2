// Binds a function to some of its arguments, giving a callback for the rest.
//
//   base::OnceClosure task = base::BindOnce(&Fetcher::Start, weak_this, url);
//   base::RepeatingCallback<void(int)> cb =
//       base::BindRepeating(&Window::SetProgress, base::Unretained(window));
//
// A method's receiver is the first bound argument:
//   - a WeakPtr: the call is dropped when the object is gone (void only);
//   - a raw pointer to a reference-counted object: the callback holds a ref;
//   - base::Unretained(p): no lifetime handling, the caller guarantees it;
//   - base::Owned(p): the callback owns and finally deletes the object.
// Bound arguments are copied (or moved) into the callback. base::Passed(x)
// moves a move-only value in a repeating callback; base::ConstRef(x) passes
// a reference to an object that outlives the callback.

#ifndef BASE_BIND_H_
#define BASE_BIND_H_

#include <memory>
#include <type_traits>
#include <utility>

#include "base/bind_internal.h"
#include "base/callback.h"

namespace base {

template <typename Functor, typename... Args>
auto BindOnce(Functor&& functor, Args&&... args) {
  using Type = typename internal::MakeBindStateType<true, Functor,
                                                    Args...>::UnboundRunType;
  return OnceCallback<Type>(internal::MakeBindState<true>(
      std::forward<Functor>(functor), std::forward<Args>(args)...));
}

template <typename Functor, typename... Args>
auto BindRepeating(Functor&& functor, Args&&... args) {
  static_assert(!std::is_same_v<std::decay_t<Functor>,
                                OnceCallback<typename internal::FunctorTraits<
                                    std::decay_t<Functor>>::RunType>>,
                "a OnceCallback can only be bound with BindOnce");
  using Type = typename internal::MakeBindStateType<false, Functor,
                                                    Args...>::UnboundRunType;
  return RepeatingCallback<Type>(internal::MakeBindState<false>(
      std::forward<Functor>(functor), std::forward<Args>(args)...));
}

// The older name: a repeating callback.
template <typename Functor, typename... Args>
auto Bind(Functor&& functor, Args&&... args) {
  return BindRepeating(std::forward<Functor>(functor),
                       std::forward<Args>(args)...);
}

template <typename T>
internal::UnretainedWrapper<T> Unretained(T* o) {
  return internal::UnretainedWrapper<T>(o);
}

template <typename T>
internal::OwnedWrapper<T> Owned(T* o) {
  return internal::OwnedWrapper<T>(o);
}
template <typename T>
internal::OwnedWrapper<T> Owned(std::unique_ptr<T>&& o) {
  return internal::OwnedWrapper<T>(o.release());
}

template <typename T>
requires(!std::is_lvalue_reference_v<T>) internal::PassedWrapper<T> Passed(
    T&& scoper) {
  return internal::PassedWrapper<T>(std::move(scoper));
}
template <typename T>
internal::PassedWrapper<T> Passed(T* scoper) {
  return internal::PassedWrapper<T>(std::move(*scoper));
}

template <typename T>
internal::ConstRefWrapper<T> ConstRef(const T& o) {
  return internal::ConstRefWrapper<T>(o);
}

}  // namespace base

#endif  // BASE_BIND_H_
