#include "base/message_loop/message_pump_for_io.h"

#include <cstring>

#include "base/logging.h"

namespace base {

MessagePumpForIO::IOContext::IOContext() : handler(nullptr) {
  std::memset(&overlapped, 0, sizeof(overlapped));
}

MessagePumpForIO::MessagePumpForIO()
    : port_(::CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1)) {
  // An I/O loop without its port could never run a task.
  CHECK(port_.IsValid()) << "CreateIoCompletionPort failed: "
                         << logging::SystemErrorCodeToString(::GetLastError());
}

MessagePumpForIO::~MessagePumpForIO() = default;

void MessagePumpForIO::ScheduleWork() {
  if (have_work_.exchange(1))
    return;  // A wake-up is queued already.
  // The pump itself as key and context marks the wake-up.
  if (::PostQueuedCompletionStatus(port_.Get(), 0,
                                   reinterpret_cast<ULONG_PTR>(this),
                                   reinterpret_cast<OVERLAPPED*>(this))) {
    return;
  }
  have_work_.store(0);
  LOG(ERROR) << "Could not post the work packet: "
             << logging::SystemErrorCodeToString(::GetLastError());
}

void MessagePumpForIO::ScheduleDelayedWork(const TimeTicks& delayed_work_time) {
  // Runs on the pump's thread, so the next wait already uses this time.
  delayed_work_time_ = delayed_work_time;
}

bool MessagePumpForIO::RegisterIOHandler(HANDLE file_handle,
                                         IOHandler* handler) {
  HANDLE port = ::CreateIoCompletionPort(
      file_handle, port_.Get(), reinterpret_cast<ULONG_PTR>(handler), 1);
  if (!port) {
    LOG(ERROR) << "Could not register a handle with the completion port: "
               << logging::SystemErrorCodeToString(::GetLastError());
    return false;
  }
  return true;
}

void MessagePumpForIO::DoRunLoop() {
  for (;;) {
    bool more_work_is_plausible = state_->delegate->DoWork();
    if (state_->should_quit)
      break;
    more_work_is_plausible |= WaitForIOCompletion(0, nullptr);
    if (state_->should_quit)
      break;
    more_work_is_plausible |=
        state_->delegate->DoDelayedWork(&delayed_work_time_);
    if (state_->should_quit)
      break;
    if (more_work_is_plausible)
      continue;
    more_work_is_plausible = state_->delegate->DoIdleWork();
    if (state_->should_quit)
      break;
    if (more_work_is_plausible)
      continue;
    // Idle: a completion, a posted task or the next delayed task's time
    // ends the wait.
    WaitForIOCompletion(GetCurrentDelay(), nullptr);
  }
}

bool MessagePumpForIO::WaitForIOCompletion(DWORD timeout_ms,
                                           IOHandler* filter) {
  IOItem item;
  if (completed_io_.empty() || !MatchCompletedIOItem(filter, &item)) {
    if (!GetIOItem(timeout_ms, &item))
      return false;
    if (ProcessInternalIOItem(item))
      return true;
  }
  if (filter && item.handler != filter) {
    completed_io_.push_back(item);
    return true;
  }
  item.handler->OnIOCompleted(item.context, item.bytes_transferred, item.error);
  return true;
}

bool MessagePumpForIO::MatchCompletedIOItem(IOHandler* filter, IOItem* item) {
  for (auto it = completed_io_.begin(); it != completed_io_.end(); ++it) {
    if (!filter || it->handler == filter) {
      *item = *it;
      completed_io_.erase(it);
      return true;
    }
  }
  return false;
}

bool MessagePumpForIO::GetIOItem(DWORD timeout_ms, IOItem* item) {
  DWORD bytes = 0;
  ULONG_PTR key = 0;
  OVERLAPPED* overlapped = nullptr;
  BOOL ok = ::GetQueuedCompletionStatus(port_.Get(), &bytes, &key, &overlapped,
                                        timeout_ms);
  if (!ok && !overlapped) {
    // Time-out, or the port failed and dequeued nothing.
    DWORD error = ::GetLastError();
    if (error != WAIT_TIMEOUT) {
      LOG(ERROR) << "GetQueuedCompletionStatus failed: "
                 << logging::SystemErrorCodeToString(error);
    }
    return false;
  }
  item->handler = reinterpret_cast<IOHandler*>(key);
  item->context = reinterpret_cast<IOContext*>(overlapped);
  item->bytes_transferred = bytes;
  item->error = ok ? ERROR_SUCCESS : ::GetLastError();
  return true;
}

bool MessagePumpForIO::ProcessInternalIOItem(const IOItem& item) {
  if (reinterpret_cast<void*>(item.handler) != this ||
      reinterpret_cast<void*>(item.context) != this) {
    return false;
  }
  // A wake-up for tasks: the loop's next DoWork runs them.
  have_work_.store(0);
  return true;
}

}  // namespace base
