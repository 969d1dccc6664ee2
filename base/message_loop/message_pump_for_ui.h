// The pump of a UI thread: a Windows message loop that also runs tasks.
//
// Tasks wake the thread through a message to a message-only window. While
// delayed tasks wait, a timer on that window stays armed for the earliest of
// them, so that they also run inside native modal loops (message boxes,
// menus, window drags) that a task or a window message enters: such a loop
// dispatches the window's messages but knows nothing of the pump's own wait.
// The timer is set again only when the earliest time changes or the timer
// fired, and killed only when no delayed task is left: under Wine each call
// is a round trip to the server.
// Each message taken from the queue is first offered to the run loop's
// MessagePumpDispatcher, if it has one. WM_QUIT ends the loop and is posted
// again for the loops outside it.

#ifndef BASE_MESSAGE_LOOP_MESSAGE_PUMP_FOR_UI_H_
#define BASE_MESSAGE_LOOP_MESSAGE_PUMP_FOR_UI_H_

#include <windows.h>

#include "base/message_loop/message_pump_win.h"

namespace base {

class MessagePumpForUI : public MessagePumpWin {
 public:
  // Creates the message window on the calling thread, which must be the
  // thread that runs the pump.
  MessagePumpForUI();
  ~MessagePumpForUI() override;

  using MessagePumpWin::RunWithDispatcher;

  void ScheduleWork() override;
  void ScheduleDelayedWork(const TimeTicks& delayed_work_time) override;

 private:
  static LRESULT CALLBACK WndProcThunk(HWND hwnd,
                                       UINT message,
                                       WPARAM wparam,
                                       LPARAM lparam);
  void DoRunLoop() override;
  void WaitForWork();
  // Work messages dispatched by a loop that is not ours (a modal loop).
  void HandleWorkMessage();
  void HandleTimerMessage();
  // Makes the timer match delayed_work_time_.
  void UpdateTimer();
  void KillTimerIfArmed();
  bool ProcessNextWindowsMessage();
  bool ProcessMessageHelper(const MSG& msg);

  HWND message_hwnd_ = nullptr;
  // Whether a timer may be armed on the message window.
  bool timer_armed_ = false;
  // The delayed run time the timer was last set for; null once it fired (a
  // fired timer's next tick is a whole period later) or was killed.
  TimeTicks timer_time_;
};

}  // namespace base

#endif  // BASE_MESSAGE_LOOP_MESSAGE_PUMP_FOR_UI_H_
