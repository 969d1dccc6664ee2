#include "base/win/wrapped_window_proc.h"

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

LRESULT CALLBACK TestWindowProc(HWND, UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_USER)
    *g_null_pointer = 1;
  return static_cast<LRESULT>(wparam) + 1;
}

TEST(WrappedWindowProcTest, ExceptionsGoToTheFilter) {
  WinProcExceptionFilter previous = SetWinProcExceptionFilter(&TestFilter);
  g_filter_calls = 0;
  WNDPROC proc = WrappedWindowProc<TestWindowProc>;

  EXPECT_EQ(42, proc(nullptr, WM_NULL, 41, 0));
  EXPECT_EQ(0, g_filter_calls);

  // The filter handles the fault: the message's result is 0 and the caller
  // goes on.
  EXPECT_EQ(0, proc(nullptr, WM_USER, 41, 0));
  EXPECT_EQ(1, g_filter_calls);
  EXPECT_EQ(static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION), g_filtered_code);

  EXPECT_EQ(8, proc(nullptr, WM_NULL, 7, 0));
  EXPECT_EQ(&TestFilter, SetWinProcExceptionFilter(previous));
  EXPECT_EQ(EXCEPTION_CONTINUE_SEARCH, CallExceptionFilter(nullptr));
}

}  // namespace
}  // namespace win
}  // namespace base
