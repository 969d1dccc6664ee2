#include "desktop/windows/crash_reporter/process_exit_waiter.h"

#include "base/lazy_instance_helpers.h"
#include "base/logging.h"

namespace crash_reporter {

namespace {

base::LazySingleton<ProcessExitWaiter> g_process_exit_waiter;

}  // namespace

ProcessExitWaiter::ProcessExitWaiter() : count_is_zero_(&lock_) {}

ProcessExitWaiter::~ProcessExitWaiter() = default;

// static
ProcessExitWaiter* ProcessExitWaiter::GetInstance() {
  return g_process_exit_waiter.Get();
}

void ProcessExitWaiter::AddRef() {
  base::AutoLock lock(lock_);
  ++count_;
}

void ProcessExitWaiter::Release() {
  base::AutoLock lock(lock_);
  DCHECK_GT(count_, 0);
  if (--count_ == 0)
    count_is_zero_.Broadcast();
}

void ProcessExitWaiter::Wait() {
  base::AutoLock lock(lock_);
  while (count_ > 0)
    count_is_zero_.Wait();
}

int ProcessExitWaiter::count_for_testing() {
  base::AutoLock lock(lock_);
  return count_;
}

}  // namespace crash_reporter
