#include "base/message_loop/message_pump_for_ui.h"

#include "base/logging.h"
#include "base/message_loop/message_pump_dispatcher.h"
#include "base/win/wrapped_window_proc.h"

namespace base {

namespace {

constexpr wchar_t kWindowClassName[] = L"base_MessagePumpWindow";

// Posted to the message window when tasks are waiting.
constexpr UINT kMsgHaveWork = WM_USER + 1;

// The module that holds this code (the library, not the host executable).
HMODULE GetCurrentModule() {
  HMODULE module = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&GetCurrentModule), &module);
  return module;
}

}  // namespace

MessagePumpForUI::MessagePumpForUI() {
  static const ATOM window_class = [] {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    // Tasks run inside this procedure: their crashes go to the process's
    // window-procedure filter, not to the system's callback guard.
    wc.lpfnWndProc = &win::WrappedWindowProc<&MessagePumpForUI::WndProcThunk>;
    wc.hInstance = GetCurrentModule();
    wc.lpszClassName = kWindowClassName;
    ATOM atom = ::RegisterClassExW(&wc);
    if (!atom) {
      LOG(ERROR) << "RegisterClassEx failed: "
                 << logging::SystemErrorCodeToString(::GetLastError());
    }
    return atom;
  }();
  message_hwnd_ =
      ::CreateWindowExW(0, MAKEINTATOM(window_class), nullptr, 0, 0, 0, 0, 0,
                        HWND_MESSAGE, nullptr, GetCurrentModule(), nullptr);
  // A UI loop without its window could never run a task.
  CHECK(message_hwnd_) << "Could not create the message window: "
                       << logging::SystemErrorCodeToString(::GetLastError());
  ::SetWindowLongPtrW(message_hwnd_, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(this));
}

MessagePumpForUI::~MessagePumpForUI() {
  ::DestroyWindow(message_hwnd_);
}

void MessagePumpForUI::ScheduleWork() {
  if (have_work_.exchange(1))
    return;  // A wake-up is queued already.
  if (::PostMessageW(message_hwnd_, kMsgHaveWork, 0, 0))
    return;
  // The queue is full. The work is still found by the next pass of the
  // loop, which any other message causes.
  have_work_.store(0);
  LOG(ERROR) << "Could not post the work message: "
             << logging::SystemErrorCodeToString(::GetLastError());
}

void MessagePumpForUI::ScheduleDelayedWork(const TimeTicks& delayed_work_time) {
  delayed_work_time_ = delayed_work_time;
  // Our own loop waits with the right time-out anyway; the timer is for
  // modal loops that are not ours, which the caller may enter next.
  UpdateTimer();
}

// static
LRESULT CALLBACK MessagePumpForUI::WndProcThunk(HWND hwnd,
                                                UINT message,
                                                WPARAM wparam,
                                                LPARAM lparam) {
  auto* pump = reinterpret_cast<MessagePumpForUI*>(
      ::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (pump && message == kMsgHaveWork) {
    pump->HandleWorkMessage();
    return 0;
  }
  if (pump && message == WM_TIMER && wparam == reinterpret_cast<WPARAM>(pump)) {
    pump->HandleTimerMessage();
    return 0;
  }
  return ::DefWindowProcW(hwnd, message, wparam, lparam);
}

void MessagePumpForUI::DoRunLoop() {
  for (;;) {
    bool more_work_is_plausible = ProcessNextWindowsMessage();
    if (state_->should_quit)
      break;
    more_work_is_plausible |= state_->delegate->DoWork();
    if (state_->should_quit)
      break;
    more_work_is_plausible |=
        state_->delegate->DoDelayedWork(&delayed_work_time_);
    UpdateTimer();
    if (state_->should_quit)
      break;
    if (more_work_is_plausible)
      continue;
    more_work_is_plausible = state_->delegate->DoIdleWork();
    if (state_->should_quit)
      break;
    if (more_work_is_plausible)
      continue;
    WaitForWork();
  }
}

void MessagePumpForUI::WaitForWork() {
  // Any message, a posted task (its message) or the next delayed task's
  // time ends the wait.
  DWORD result = ::MsgWaitForMultipleObjectsEx(
      0, nullptr, GetCurrentDelay(), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  if (result == WAIT_FAILED) {
    LOG(ERROR) << "MsgWaitForMultipleObjectsEx failed: "
               << logging::SystemErrorCodeToString(::GetLastError());
  }
}

void MessagePumpForUI::HandleWorkMessage() {
  have_work_.store(0);
  // Outside Run the loop finds the work when it runs.
  if (!state_)
    return;
  // A modal loop is running: do one task per message and ask for the next.
  if (state_->delegate->DoWork())
    ScheduleWork();
  state_->delegate->DoDelayedWork(&delayed_work_time_);
  UpdateTimer();
}

void MessagePumpForUI::HandleTimerMessage() {
  timer_time_ = TimeTicks();
  if (!state_) {
    // No task can run outside Run; Run arms the timer again.
    KillTimerIfArmed();
    return;
  }
  state_->delegate->DoDelayedWork(&delayed_work_time_);
  UpdateTimer();
}

void MessagePumpForUI::UpdateTimer() {
  if (delayed_work_time_.is_null()) {
    // With no delayed work left, the timer would only wake us.
    KillTimerIfArmed();
    return;
  }
  if (timer_time_ == delayed_work_time_)
    return;
  timer_time_ = delayed_work_time_;
  DWORD delay_ms = GetCurrentDelay();
  if (delay_ms < USER_TIMER_MINIMUM)
    delay_ms = USER_TIMER_MINIMUM;
  if (delay_ms > USER_TIMER_MAXIMUM)
    delay_ms = USER_TIMER_MAXIMUM;
  // Setting it again replaces the timer of the same id.
  if (!::SetTimer(message_hwnd_, reinterpret_cast<UINT_PTR>(this), delay_ms,
                  nullptr)) {
    // Our own loop still runs the task on time; only modal loops miss it.
    // Try again when the time changes, not on every pass.
    LOG(ERROR) << "SetTimer failed: "
               << logging::SystemErrorCodeToString(::GetLastError());
    return;
  }
  timer_armed_ = true;
}

void MessagePumpForUI::KillTimerIfArmed() {
  timer_time_ = TimeTicks();
  if (!timer_armed_)
    return;
  timer_armed_ = false;
  ::KillTimer(message_hwnd_, reinterpret_cast<UINT_PTR>(this));
}

bool MessagePumpForUI::ProcessNextWindowsMessage() {
  MSG msg;
  if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    return false;
  return ProcessMessageHelper(msg);
}

bool MessagePumpForUI::ProcessMessageHelper(const MSG& msg) {
  if (msg.message == WM_QUIT) {
    state_->should_quit = true;
    ::PostQuitMessage(static_cast<int>(msg.wParam));
    return false;
  }

  // The pump's own messages are not window messages of the application.
  if (msg.hwnd == message_hwnd_) {
    if (msg.message == kMsgHaveWork) {
      have_work_.store(0);
      return true;  // DoWork comes next.
    }
    if (msg.message == WM_TIMER &&
        msg.wParam == reinterpret_cast<WPARAM>(this)) {
      // Its next tick is a whole period away: DoDelayedWork, which comes
      // next, sets it for the next task. A task that DoWork runs first
      // only runs tasks in a modal loop after allowing nestable tasks,
      // which wakes the pump (HandleWorkMessage) to set it there.
      timer_time_ = TimeTicks();
      return true;
    }
  }

  uint32_t action = MessagePumpDispatcher::POST_DISPATCH_PERFORM_DEFAULT;
  if (state_->dispatcher)
    action = state_->dispatcher->Dispatch(msg);
  if (action & MessagePumpDispatcher::POST_DISPATCH_QUIT_LOOP)
    state_->should_quit = true;
  if (action & MessagePumpDispatcher::POST_DISPATCH_PERFORM_DEFAULT) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return true;
}

}  // namespace base
