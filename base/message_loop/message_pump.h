// The part of a message loop that waits for work: on an event (default), on
// the Windows message queue (UI) or on an I/O completion port (I/O). The
// loop supplies the work through the Delegate.

#ifndef BASE_MESSAGE_LOOP_MESSAGE_PUMP_H_
#define BASE_MESSAGE_LOOP_MESSAGE_PUMP_H_

#include "base/time/time.h"

namespace base {

class MessagePump {
 public:
  class Delegate {
   public:
    virtual ~Delegate() = default;

    // Runs one immediate task; returns true when more may be waiting.
    virtual bool DoWork() = 0;
    // Runs one due delayed task; sets |next_delayed_work_time| to the run
    // time of the next one, or null when there is none.
    virtual bool DoDelayedWork(TimeTicks* next_delayed_work_time) = 0;
    // Called when there is nothing else to do; returns true when it found
    // more work.
    virtual bool DoIdleWork() = 0;
  };

  MessagePump() = default;
  MessagePump(const MessagePump&) = delete;
  MessagePump& operator=(const MessagePump&) = delete;
  virtual ~MessagePump() = default;

  // Runs until Quit; calls may nest (a task that runs a loop).
  virtual void Run(Delegate* delegate) = 0;
  // Ends the innermost Run once the current work item returns.
  virtual void Quit() = 0;
  // Wakes the pump for new immediate work. Callable from any thread.
  virtual void ScheduleWork() = 0;
  // The next delayed task changed; called on the pump's thread.
  virtual void ScheduleDelayedWork(const TimeTicks& delayed_work_time) = 0;
};

}  // namespace base

#endif  // BASE_MESSAGE_LOOP_MESSAGE_PUMP_H_
