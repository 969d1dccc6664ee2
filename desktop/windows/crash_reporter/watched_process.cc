#include "desktop/windows/crash_reporter/watched_process.h"

#include "base/logging.h"
#include "desktop/windows/crash_reporter/process_exit_waiter.h"

namespace crash_reporter {

WatchedProcess::WatchedProcess(ProcessExitWaiter* waiter) : waiter_(waiter) {
  DCHECK(waiter_);
}

WatchedProcess::~WatchedProcess() {
  if (wait_)
    ::UnregisterWaitEx(wait_, INVALID_HANDLE_VALUE);
  ReleaseCount();
}

bool WatchedProcess::Watch(DWORD pid) {
  DCHECK(!process_.IsValid()) << "one process per watch";
  process_.Set(::OpenProcess(SYNCHRONIZE, FALSE, pid));
  if (!process_.IsValid()) {
    PLOG(ERROR) << "Cannot open process " << pid << " to watch it";
    return false;
  }
  waiter_->AddRef();
  holds_count_ = true;
  if (!::RegisterWaitForSingleObject(&wait_, process_.Get(), &OnProcessEnded,
                                     this, INFINITE, WT_EXECUTEONLYONCE)) {
    PLOG(ERROR) << "Cannot watch process " << pid;
    wait_ = nullptr;
    return false;
  }
  return true;
}

// static
void CALLBACK WatchedProcess::OnProcessEnded(void* param, BOOLEAN) {
  static_cast<WatchedProcess*>(param)->ReleaseCount();
}

void WatchedProcess::ReleaseCount() {
  if (holds_count_.exchange(false))
    waiter_->Release();
}

}  // namespace crash_reporter
