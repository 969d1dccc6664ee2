#include "base/win/wrapped_window_proc.h"

#include <windows.h>

#include <commctrl.h>

#include "gtest/gtest.h"

namespace base {
namespace win {
namespace {

DWORD g_filtered_code = 0;
int g_filter_calls = 0;

int TestFilter(EXCEPTION_POINTERS* info) {
  ++g_filter_calls;
  g_filtered_code = info->ExceptionRecord->ExceptionCode;
  return EXCEPTION_EXECUTE_HANDLER;
}

int* volatile g_null_pointer = nullptr;

LRESULT CALLBACK TestWindowProc(HWND hwnd,
                                UINT message,
                                WPARAM wparam,
                                LPARAM lparam) {
  if (message == WM_USER)
    *g_null_pointer = 1;
  if (message == WM_USER + 1)
    return static_cast<LRESULT>(wparam) + 1;
  return hwnd ? ::DefWindowProcW(hwnd, message, wparam, lparam)
              : static_cast<LRESULT>(wparam) + 1;
}

INT_PTR CALLBACK TestDialogProc(HWND dialog,
                                UINT message,
                                WPARAM wparam,
                                LPARAM) {
  if (message == WM_USER)
    *g_null_pointer = 1;
  if (message == WM_USER + 1) {
    // A dialog's answer to a sent message.
    ::SetWindowLongPtrW(dialog, DWLP_MSGRESULT, wparam + 2);
    return TRUE;
  }
  return message == WM_INITDIALOG;
}

LRESULT CALLBACK TestSubclassProc(HWND hwnd,
                                  UINT message,
                                  WPARAM wparam,
                                  LPARAM lparam,
                                  UINT_PTR id,
                                  DWORD_PTR data) {
  if (message == WM_USER)
    *g_null_pointer = 1;
  if (message == WM_USER + 1)
    return static_cast<LRESULT>(wparam + id * 100 + data * 1000);
  return ::DefSubclassProc(hwnd, message, wparam, lparam);
}

// Installs TestFilter while alive and counts from zero.
class WrappedWindowProcTest : public testing::Test {
 protected:
  void SetUp() override {
    previous_ = SetWinProcExceptionFilter(&TestFilter);
    g_filter_calls = 0;
    g_filtered_code = 0;
  }
  void TearDown() override {
    EXPECT_EQ(&TestFilter, SetWinProcExceptionFilter(previous_));
  }

  WinProcExceptionFilter previous_ = nullptr;
};

TEST_F(WrappedWindowProcTest, ExceptionsGoToTheFilter) {
  WNDPROC proc = WrappedWindowProc<TestWindowProc>;

  EXPECT_EQ(42, proc(nullptr, WM_NULL, 41, 0));
  EXPECT_EQ(0, g_filter_calls);

  // The filter handles the fault: the message's result is 0 and the caller
  // goes on.
  EXPECT_EQ(0, proc(nullptr, WM_USER, 41, 0));
  EXPECT_EQ(1, g_filter_calls);
  EXPECT_EQ(static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION), g_filtered_code);

  EXPECT_EQ(8, proc(nullptr, WM_NULL, 7, 0));

  // Without a filter the exception goes on outwards.
  SetWinProcExceptionFilter(nullptr);
  EXPECT_EQ(EXCEPTION_CONTINUE_SEARCH, CallExceptionFilter(nullptr));
  SetWinProcExceptionFilter(&TestFilter);
}

// The system calls a window's procedure from inside its own code, where an
// exception that nobody handles is swallowed: the filter must see it there.
TEST_F(WrappedWindowProcTest, RealWindowsDialogsAndSubclasses) {
  WNDCLASSEXW window_class = {sizeof(window_class)};
  window_class.lpfnWndProc = WrappedWindowProc<TestWindowProc>;
  window_class.hInstance = ::GetModuleHandleW(nullptr);
  window_class.lpszClassName = L"WrappedWindowProcTest";
  const ATOM atom = ::RegisterClassExW(&window_class);
  ASSERT_TRUE(atom);
  HWND window =
      ::CreateWindowExW(0, MAKEINTATOM(atom), L"", 0, 0, 0, 10, 10,
                        HWND_MESSAGE, nullptr, window_class.hInstance, nullptr);
  ASSERT_TRUE(window);
  EXPECT_EQ(6, ::SendMessageW(window, WM_USER + 1, 5, 0));
  EXPECT_EQ(0, ::SendMessageW(window, WM_USER, 5, 0));
  EXPECT_EQ(1, g_filter_calls);
  EXPECT_EQ(static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION), g_filtered_code);
  // Messages that the queue dispatches go the same way.
  ::PostMessageW(window, WM_USER, 0, 0);
  MSG message;
  while (::PeekMessageW(&message, window, 0, 0, PM_REMOVE))
    ::DispatchMessageW(&message);
  EXPECT_EQ(2, g_filter_calls);
  ::DestroyWindow(window);
  ::UnregisterClassW(MAKEINTATOM(atom), window_class.hInstance);

  // A dialog from a template in memory: no controls, no text.
  struct {
    DLGTEMPLATE header;
    WORD menu, window_class, title;
  } dialog_template = {{WS_POPUP, 0, 0, 0, 0, 50, 50}, 0, 0, 0};
  HWND dialog =
      ::CreateDialogIndirectParamW(nullptr, &dialog_template.header, nullptr,
                                   WrappedDialogProc<TestDialogProc>, 0);
  ASSERT_TRUE(dialog);
  EXPECT_EQ(9, ::SendMessageW(dialog, WM_USER + 1, 7, 0));
  ::SendMessageW(dialog, WM_USER, 0, 0);
  EXPECT_EQ(3, g_filter_calls);

  HWND control = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10,
                                   dialog, nullptr, nullptr, nullptr);
  ASSERT_TRUE(control);
  ASSERT_TRUE(::SetWindowSubclass(control,
                                  WrappedSubclassProc<TestSubclassProc>, 3, 4));
  // The subclass's id and data arrive as they were given.
  EXPECT_EQ(4301, ::SendMessageW(control, WM_USER + 1, 1, 0));
  EXPECT_EQ(0, ::SendMessageW(control, WM_USER, 1, 0));
  EXPECT_EQ(4, g_filter_calls);
  ::RemoveWindowSubclass(control, WrappedSubclassProc<TestSubclassProc>, 3);
  ::DestroyWindow(dialog);
}

}  // namespace
}  // namespace win
}  // namespace base
