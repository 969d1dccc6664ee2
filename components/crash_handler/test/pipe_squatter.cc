#include "components/crash_handler/test/pipe_squatter.h"

namespace crash_handler {

namespace {

constexpr DWORD kBufferSize = 4096;

}  // namespace

PipeSquatter::PipeSquatter(const std::wstring& pipe_name,
                           DWORD connect_timeout_ms,
                           DWORD read_timeout_ms)
    : SimpleThread("PipeSquatter"),
      connect_timeout_ms_(connect_timeout_ms),
      read_timeout_ms_(read_timeout_ms),
      pipe_(::CreateNamedPipeW(
          pipe_name.c_str(),
          PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
          PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
          PIPE_UNLIMITED_INSTANCES,
          kBufferSize,
          kBufferSize,
          0,
          nullptr)) {}

PipeSquatter::~PipeSquatter() {
  if (HasBeenStarted() && !HasBeenJoined())
    Join();
}

PipeSquatter::Visit PipeSquatter::TakeVisit() {
  if (HasBeenStarted() && !HasBeenJoined())
    Join();
  return visit_;
}

void PipeSquatter::Run() {
  if (!pipe_.IsValid())
    return;
  base::win::ScopedHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  OVERLAPPED connect = {};
  connect.hEvent = event.Get();
  DWORD unused = 0;
  if (!::ConnectNamedPipe(pipe_.Get(), &connect)) {
    DWORD error = ::GetLastError();
    if (error == ERROR_IO_PENDING) {
      if (!Finish(&connect, connect_timeout_ms_, &unused))
        return;
    } else if (error != ERROR_PIPE_CONNECTED) {
      return;
    }
  }
  visit_.connected = true;
  const ULONGLONG connected_at = ::GetTickCount64();
  char buffer[kBufferSize];
  OVERLAPPED read = {};
  ::ResetEvent(event.Get());
  read.hEvent = event.Get();
  DWORD bytes = 0;
  DWORD error = ERROR_SUCCESS;
  if (!::ReadFile(pipe_.Get(), buffer, sizeof(buffer), nullptr, &read))
    error = ::GetLastError();
  if (error == ERROR_SUCCESS || error == ERROR_IO_PENDING ||
      error == ERROR_MORE_DATA) {
    error = Finish(&read, read_timeout_ms_, &bytes) ? ERROR_SUCCESS
                                                    : ::GetLastError();
  }
  // A message longer than the buffer counts with what fitted.
  if (error == ERROR_SUCCESS || error == ERROR_MORE_DATA)
    visit_.bytes_received = bytes;
  visit_.closed =
      error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED;
  visit_.milliseconds_connected = ::GetTickCount64() - connected_at;
}

bool PipeSquatter::Finish(OVERLAPPED* overlapped,
                          DWORD timeout_ms,
                          DWORD* bytes) {
  if (::WaitForSingleObject(overlapped->hEvent, timeout_ms) != WAIT_OBJECT_0) {
    ::CancelIoEx(pipe_.Get(), overlapped);
    ::GetOverlappedResult(pipe_.Get(), overlapped, bytes, TRUE);
    ::SetLastError(WAIT_TIMEOUT);
    return false;
  }
  return ::GetOverlappedResult(pipe_.Get(), overlapped, bytes, FALSE);
}

}  // namespace crash_handler
