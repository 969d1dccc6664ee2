#include "base/message_loop/message_pump_default.h"

namespace base {

MessagePumpDefault::MessagePumpDefault()
    : event_(WaitableEvent::ResetPolicy::AUTOMATIC,
             WaitableEvent::InitialState::NOT_SIGNALED) {}

MessagePumpDefault::~MessagePumpDefault() = default;

void MessagePumpDefault::Run(Delegate* delegate) {
  // A nested Run ends on its own Quit; the outer one then goes on.
  bool outer_keep_running = keep_running_;
  keep_running_ = true;
  const PlatformThreadId outer_running_thread = running_thread_.exchange(
      PlatformThread::CurrentId(), std::memory_order_relaxed);
  for (;;) {
    bool did_work = delegate->DoWork();
    if (!keep_running_)
      break;
    did_work |= delegate->DoDelayedWork(&delayed_work_time_);
    if (!keep_running_)
      break;
    if (did_work)
      continue;
    did_work = delegate->DoIdleWork();
    if (!keep_running_)
      break;
    if (did_work)
      continue;
    // Idle: new work signals the event.
    if (delayed_work_time_.is_null())
      event_.Wait();
    else
      event_.TimedWait(delayed_work_time_ - TimeTicks::Now());
  }
  keep_running_ = outer_keep_running;
  running_thread_.store(outer_running_thread, std::memory_order_relaxed);
}

void MessagePumpDefault::Quit() {
  keep_running_ = false;
}

void MessagePumpDefault::ScheduleWork() {
  if (running_thread_.load(std::memory_order_relaxed) ==
      PlatformThread::CurrentId()) {
    return;
  }
  event_.Signal();
}

void MessagePumpDefault::ScheduleDelayedWork(
    const TimeTicks& delayed_work_time) {
  // Called on the pump's own thread while it runs, so it is awake already.
  delayed_work_time_ = delayed_work_time;
}

}  // namespace base
