// Hands every message of the UI run loop to the active modeless dialog
// first, so that keyboard navigation (Tab, arrows, default and cancel
// buttons, mnemonics) works in dialogs that no modal loop serves.
//
//   base::RunLoop run_loop(Win32DialogDispatcher::GetInstance());
//   // The main dialog, on WM_ACTIVATE:
//   Win32DialogDispatcher::GetInstance()->SetActiveDialog(hwnd);
//
// Used on the UI thread only; the instance is created safely on first use
// and deleted by the at-exit manager.

#ifndef DESKTOP_WINDOWS_INSTALLER_UI_WIN32_DIALOG_DISPATCHER_H_
#define DESKTOP_WINDOWS_INSTALLER_UI_WIN32_DIALOG_DISPATCHER_H_

#include <windows.h>

#include "base/message_loop/message_pump_dispatcher.h"

namespace installer {

class Win32DialogDispatcher : public base::MessagePumpDispatcher {
 public:
  Win32DialogDispatcher();
  Win32DialogDispatcher(const Win32DialogDispatcher&) = delete;
  Win32DialogDispatcher& operator=(const Win32DialogDispatcher&) = delete;
  ~Win32DialogDispatcher() override;

  static Win32DialogDispatcher* GetInstance();

  // base::MessagePumpDispatcher:
  uint32_t Dispatch(const MSG& msg) override;

  void SetActiveDialog(HWND dialog);
  // Forgets |dialog| unless another dialog became active in between.
  void ClearActiveDialog(HWND dialog);

  HWND active_dialog() const { return active_dialog_; }

 private:
  HWND active_dialog_ = nullptr;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_UI_WIN32_DIALOG_DISPATCHER_H_
