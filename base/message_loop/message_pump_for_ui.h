// The pump of a UI thread: a Windows message loop that also runs tasks.
//
// Tasks wake the thread through a message to a message-only window; delayed
// tasks also set a timer on that window, so that tasks keep running inside
// native modal loops (message boxes, menus) entered from window messages.
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
  bool ProcessNextWindowsMessage();
  bool ProcessMessageHelper(const MSG& msg);

  HWND message_hwnd_ = nullptr;
};

}  // namespace base

#endif  // BASE_MESSAGE_LOOP_MESSAGE_PUMP_FOR_UI_H_
