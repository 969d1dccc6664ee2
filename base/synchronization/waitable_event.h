// An event that threads wait on, over a Win32 event object.
//
// A manual-reset event stays signalled until Reset(); an automatic-reset
// event releases one waiter and resets itself.

#ifndef BASE_SYNCHRONIZATION_WAITABLE_EVENT_H_
#define BASE_SYNCHRONIZATION_WAITABLE_EVENT_H_

#include <windows.h>

#include <cstddef>

#include "base/time/time.h"
#include "base/win/scoped_handle.h"

namespace base {

class WaitableEvent {
 public:
  enum class ResetPolicy { MANUAL, AUTOMATIC };
  enum class InitialState { SIGNALED, NOT_SIGNALED };

  WaitableEvent(ResetPolicy reset_policy, InitialState initial_state);
  // Takes an existing event handle (for example a named event).
  explicit WaitableEvent(win::ScopedHandle event_handle);
  WaitableEvent(const WaitableEvent&) = delete;
  WaitableEvent& operator=(const WaitableEvent&) = delete;
  ~WaitableEvent();

  void Reset();
  void Signal();

  // Whether the event is signalled; for an automatic-reset event this
  // consumes the signal.
  bool IsSignaled();

  // Waits without a limit: only for events that are certain to be
  // signalled.
  void Wait();
  // Returns true when the event was signalled before |max_time| passed.
  bool TimedWait(TimeDelta max_time);

  // Waits until one of |events| is signalled and returns its index; the
  // lowest index wins when several are. At most MAXIMUM_WAIT_OBJECTS.
  static size_t WaitMany(WaitableEvent** events, size_t count);

  HANDLE handle() const { return handle_.Get(); }

 private:
  win::ScopedHandle handle_;
};

}  // namespace base

#endif  // BASE_SYNCHRONIZATION_WAITABLE_EVENT_H_
