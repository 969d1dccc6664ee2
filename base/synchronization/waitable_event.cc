#include "base/synchronization/waitable_event.h"

#include <utility>

#include "base/logging.h"

namespace base {

WaitableEvent::WaitableEvent(ResetPolicy reset_policy,
                             InitialState initial_state)
    : handle_(::CreateEventW(nullptr,
                             reset_policy == ResetPolicy::MANUAL,
                             initial_state == InitialState::SIGNALED,
                             nullptr)) {
  // Without the event nothing built on it can work.
  CHECK(handle_.IsValid()) << "CreateEvent failed: "
                           << logging::SystemErrorCodeToString(
                                  ::GetLastError());
}

WaitableEvent::WaitableEvent(win::ScopedHandle event_handle)
    : handle_(std::move(event_handle)) {
  CHECK(handle_.IsValid()) << "an event needs a handle";
}

WaitableEvent::~WaitableEvent() = default;

void WaitableEvent::Reset() {
  ::ResetEvent(handle_.Get());
}

void WaitableEvent::Signal() {
  ::SetEvent(handle_.Get());
}

bool WaitableEvent::IsSignaled() {
  return TimedWait(TimeDelta());
}

void WaitableEvent::Wait() {
  DWORD result = ::WaitForSingleObject(handle_.Get(), INFINITE);
  CHECK_EQ(result, WAIT_OBJECT_0)
      << logging::SystemErrorCodeToString(::GetLastError());
}

bool WaitableEvent::TimedWait(TimeDelta max_time) {
  DWORD result =
      ::WaitForSingleObject(handle_.Get(), max_time.InMillisecondsForWait());
  if (result == WAIT_OBJECT_0)
    return true;
  CHECK_EQ(result, static_cast<DWORD>(WAIT_TIMEOUT))
      << logging::SystemErrorCodeToString(::GetLastError());
  return false;
}

// static
size_t WaitableEvent::WaitMany(WaitableEvent** events, size_t count) {
  CHECK(count > 0 && count <= MAXIMUM_WAIT_OBJECTS)
      << "cannot wait on " << count << " events";
  HANDLE handles[MAXIMUM_WAIT_OBJECTS];
  for (size_t i = 0; i < count; ++i)
    handles[i] = events[i]->handle();
  DWORD result = ::WaitForMultipleObjects(static_cast<DWORD>(count), handles,
                                          FALSE, INFINITE);
  CHECK_LT(result, WAIT_OBJECT_0 + count)
      << logging::SystemErrorCodeToString(::GetLastError());
  return result - WAIT_OBJECT_0;
}

}  // namespace base
