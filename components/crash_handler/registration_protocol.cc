#include "components/crash_handler/registration_protocol.h"

#include <string.h>

#include "base/logging.h"
#include "base/win/cancel_io.h"
#include "base/win/scoped_handle.h"

namespace crash_handler {

namespace {

// Waits for an overlapped operation started on |pipe| and returns the bytes
// it moved, or -1. Cancels it when it does not finish in time.
int64_t FinishOverlapped(HANDLE pipe,
                         OVERLAPPED* overlapped,
                         BOOL started,
                         DWORD timeout_ms,
                         HANDLE abort_event) {
  if (!started && ::GetLastError() != ERROR_IO_PENDING)
    return -1;
  HANDLE handles[] = {overlapped->hEvent, abort_event};
  DWORD count = abort_event ? 2 : 1;
  DWORD wait = ::WaitForMultipleObjects(count, handles, FALSE, timeout_ms);
  DWORD transferred = 0;
  if (wait != WAIT_OBJECT_0) {
    base::win::CancelOwnIo(pipe, overlapped);
    // The OVERLAPPED and the buffer stay in use until the cancel lands.
    ::GetOverlappedResult(pipe, overlapped, &transferred, TRUE);
    return -1;
  }
  // Counts come from here: the call's own count stays 0 on overlapped
  // handles even when it completed at once.
  if (!::GetOverlappedResult(pipe, overlapped, &transferred, FALSE))
    return -1;
  return transferred;
}

}  // namespace

RequestCheck CheckRegistrationRequest(const RegistrationMessage& request,
                                      DWORD pipe_client_pid) {
  if (request.tag != kRegistrationRequest)
    return RequestCheck::kWrongTag;
  // The server opens, reads and uploads the memory of the process named
  // here: a client may only name itself.
  if (request.pid == 0 || request.pid != pipe_client_pid)
    return RequestCheck::kPidMismatch;
  if (!request.thread_id_address || !request.exception_pointers_address ||
      !request.assertion_info_address) {
    return RequestCheck::kNullAddress;
  }
  if (request.custom_info_count > kMaxCustomInfoCount)
    return RequestCheck::kTooManyEntries;
  if (request.custom_info_count && !request.custom_info_address)
    return RequestCheck::kNullAddress;
  return RequestCheck::kAccepted;
}

bool ReadRegistrationMessage(HANDLE pipe,
                             DWORD timeout_ms,
                             HANDLE abort_event,
                             RegistrationMessage* message) {
  base::win::ScopedHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!event.IsValid())
    return false;
  // One byte more than a message, so that a longer one cannot pass as ours.
  char buffer[sizeof(RegistrationMessage) + 1];
  OVERLAPPED overlapped = {};
  overlapped.hEvent = event.Get();
  BOOL started = ::ReadFile(pipe, buffer, sizeof(buffer), nullptr, &overlapped);
  int64_t read =
      FinishOverlapped(pipe, &overlapped, started, timeout_ms, abort_event);
  if (read != static_cast<int64_t>(sizeof(RegistrationMessage)))
    return false;
  memcpy(message, buffer, sizeof(*message));
  return true;
}

bool WriteRegistrationMessage(HANDLE pipe,
                              DWORD timeout_ms,
                              HANDLE abort_event,
                              const RegistrationMessage& message) {
  base::win::ScopedHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!event.IsValid())
    return false;
  OVERLAPPED overlapped = {};
  overlapped.hEvent = event.Get();
  BOOL started =
      ::WriteFile(pipe, &message, sizeof(message), nullptr, &overlapped);
  int64_t written =
      FinishOverlapped(pipe, &overlapped, started, timeout_ms, abort_event);
  return written == static_cast<int64_t>(sizeof(message));
}

}  // namespace crash_handler
