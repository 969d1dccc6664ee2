#include "base/message_loop/message_pump_win.h"

#include "base/logging.h"

namespace base {

MessagePumpWin::MessagePumpWin() = default;
MessagePumpWin::~MessagePumpWin() = default;

void MessagePumpWin::Run(Delegate* delegate) {
  RunWithDispatcher(delegate, nullptr);
}

void MessagePumpWin::Quit() {
  DCHECK(state_) << "Quit outside Run";
  if (state_)
    state_->should_quit = true;
}

void MessagePumpWin::RunWithDispatcher(Delegate* delegate,
                                       MessagePumpDispatcher* dispatcher) {
  RunState state;
  state.delegate = delegate;
  state.dispatcher = dispatcher;
  state.should_quit = false;
  state.run_depth = state_ ? state_->run_depth + 1 : 1;

  RunState* previous_state = state_;
  state_ = &state;
  DoRunLoop();
  state_ = previous_state;
}

DWORD MessagePumpWin::GetCurrentDelay() const {
  if (delayed_work_time_.is_null())
    return INFINITE;
  return (delayed_work_time_ - TimeTicks::Now()).InMillisecondsForWait();
}

}  // namespace base
