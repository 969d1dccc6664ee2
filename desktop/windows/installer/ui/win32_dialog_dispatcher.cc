#include "desktop/windows/installer/ui/win32_dialog_dispatcher.h"

#include "base/lazy_instance_helpers.h"
#include "base/logging.h"

namespace installer {

namespace {

base::LazySingleton<Win32DialogDispatcher> g_dispatcher;

}  // namespace

Win32DialogDispatcher::Win32DialogDispatcher() = default;

Win32DialogDispatcher::~Win32DialogDispatcher() = default;

// static
Win32DialogDispatcher* Win32DialogDispatcher::GetInstance() {
  return g_dispatcher.Get();
}

uint32_t Win32DialogDispatcher::Dispatch(const MSG& msg) {
  if (!active_dialog_)
    return POST_DISPATCH_PERFORM_DEFAULT;
  // A dialog destroyed without deactivating first must not swallow the
  // messages of the windows that remain.
  if (!::IsWindow(active_dialog_)) {
    active_dialog_ = nullptr;
    return POST_DISPATCH_PERFORM_DEFAULT;
  }
  if (::IsDialogMessageW(active_dialog_, const_cast<MSG*>(&msg)))
    return POST_DISPATCH_NONE;
  return POST_DISPATCH_PERFORM_DEFAULT;
}

void Win32DialogDispatcher::SetActiveDialog(HWND dialog) {
  VLOG(2) << "Switching to hwnd " << dialog;
  active_dialog_ = dialog;
}

void Win32DialogDispatcher::ClearActiveDialog(HWND dialog) {
  VLOG(2) << "Switching away from hwnd " << dialog;
  if (active_dialog_ != dialog) {
    VLOG(2) << "Another hwnd was already selected";
    return;
  }
  active_dialog_ = nullptr;
}

}  // namespace installer
