// What the UI and I/O pumps share: nested run states and the delay until
// the next delayed task.

#ifndef BASE_MESSAGE_LOOP_MESSAGE_PUMP_WIN_H_
#define BASE_MESSAGE_LOOP_MESSAGE_PUMP_WIN_H_

#include <windows.h>

#include <atomic>

#include "base/message_loop/message_pump.h"
#include "base/time/time.h"

namespace base {

class MessagePumpDispatcher;

class MessagePumpWin : public MessagePump {
 public:
  MessagePumpWin();
  ~MessagePumpWin() override;

  void Run(Delegate* delegate) override;
  void Quit() override;

 protected:
  struct RunState {
    Delegate* delegate;
    // Only for the UI pump.
    MessagePumpDispatcher* dispatcher;
    bool should_quit;
    // 1 for the outermost Run.
    int run_depth;
  };

  void RunWithDispatcher(Delegate* delegate, MessagePumpDispatcher* dispatcher);
  virtual void DoRunLoop() = 0;

  // Milliseconds until the next delayed task, INFINITE when there is none.
  DWORD GetCurrentDelay() const;

  // 1 while a wake-up for new work is queued, so that a burst of posts
  // queues one wake-up and not thousands.
  std::atomic<int> have_work_{0};
  TimeTicks delayed_work_time_;
  // The innermost Run; null outside Run.
  RunState* state_ = nullptr;
};

}  // namespace base

#endif  // BASE_MESSAGE_LOOP_MESSAGE_PUMP_WIN_H_
