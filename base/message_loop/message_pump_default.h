// The pump of a loop that only runs tasks: it sleeps on an event.

#ifndef BASE_MESSAGE_LOOP_MESSAGE_PUMP_DEFAULT_H_
#define BASE_MESSAGE_LOOP_MESSAGE_PUMP_DEFAULT_H_

#include <atomic>

#include "base/message_loop/message_pump.h"
#include "base/synchronization/waitable_event.h"
#include "base/threading/platform_thread.h"
#include "base/time/time.h"

namespace base {

class MessagePumpDefault : public MessagePump {
 public:
  MessagePumpDefault();
  ~MessagePumpDefault() override;

  void Run(Delegate* delegate) override;
  void Quit() override;
  void ScheduleWork() override;
  void ScheduleDelayedWork(const TimeTicks& delayed_work_time) override;

 private:
  // False once the innermost Run should end.
  bool keep_running_ = true;
  // The thread inside Run, 0 outside it. Work scheduled from that thread
  // needs no wake-up: it is not waiting, and it looks for work before it
  // waits. Signalling would cost two kernel round trips per task.
  std::atomic<PlatformThreadId> running_thread_{0};
  WaitableEvent event_;
  TimeTicks delayed_work_time_;
};

}  // namespace base

#endif  // BASE_MESSAGE_LOOP_MESSAGE_PUMP_DEFAULT_H_
