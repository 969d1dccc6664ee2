#include "desktop/windows/installer/ui/win32_dialog_dispatcher.h"

#include <windows.h>

#include "base/bind.h"
#include "base/message_loop/message_loop.h"
#include "base/run_loop.h"
#include "base/threading/thread_task_runner_handle.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

constexpr int kFirstEdit = 100;
constexpr int kSecondEdit = 101;

// Counts the keys that reach an edit control's own window procedure.
WNDPROC g_edit_proc = nullptr;
int g_tab_keys = 0;

LRESULT CALLBACK CountingEditProc(HWND edit,
                                  UINT message,
                                  WPARAM wparam,
                                  LPARAM lparam) {
  if (message == WM_KEYDOWN && wparam == VK_TAB)
    ++g_tab_keys;
  return ::CallWindowProcW(g_edit_proc, edit, message, wparam, lparam);
}

INT_PTR CALLBACK EmptyDialogProc(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG;
}

// A dialog with two edit boxes, made from an in-memory template.
class DialogDispatcherTest : public testing::Test {
 protected:
  void SetUp() override {
    g_tab_keys = 0;
    struct alignas(4) Template {
      DLGTEMPLATE dialog;
      WORD menu, window_class, title;
    } dialog_template = {};
    dialog_template.dialog.style = WS_POPUP | WS_VISIBLE;
    dialog_template.dialog.cx = 200;
    dialog_template.dialog.cy = 100;
    dialog_ = ::CreateDialogIndirectParamW(nullptr, &dialog_template.dialog,
                                           nullptr, &EmptyDialogProc, 0);
    ASSERT_TRUE(dialog_);
    for (int id : {kFirstEdit, kSecondEdit}) {
      HWND edit = ::CreateWindowExW(
          0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10,
          id == kFirstEdit ? 10 : 40, 100, 20, dialog_,
          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
      g_edit_proc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
          edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingEditProc)));
    }
    ::SetFocus(::GetDlgItem(dialog_, kFirstEdit));
  }
  void TearDown() override {
    dispatcher_.ClearActiveDialog(dialog_);
    ::DestroyWindow(dialog_);
  }

  // Posts a Tab press to the focused control and runs the loop until the
  // queue is empty.
  void PressTab() {
    HWND focus = ::GetFocus();
    ::PostMessageW(focus, WM_KEYDOWN, VK_TAB, 0x000F0001);
    ::PostMessageW(focus, WM_KEYUP, VK_TAB, 0xC00F0001);
    base::RunLoop loop(&dispatcher_);
    loop.RunUntilIdle();
  }

  int FocusedId() const { return ::GetDlgCtrlID(::GetFocus()); }

  base::MessageLoopForUI loop_;
  Win32DialogDispatcher dispatcher_;
  HWND dialog_ = nullptr;
};

TEST_F(DialogDispatcherTest, WithoutActiveDialogKeysReachTheControl) {
  ASSERT_EQ(kFirstEdit, FocusedId());
  PressTab();
  EXPECT_EQ(1, g_tab_keys);
  EXPECT_EQ(kFirstEdit, FocusedId());
}

TEST_F(DialogDispatcherTest, ActiveDialogTakesTabForNavigation) {
  dispatcher_.SetActiveDialog(dialog_);
  PressTab();
  EXPECT_EQ(0, g_tab_keys);
  EXPECT_EQ(kSecondEdit, FocusedId());
}

TEST_F(DialogDispatcherTest, ClearingAnotherDialogKeepsTheActiveOne) {
  dispatcher_.SetActiveDialog(dialog_);
  HWND other = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1,
                                 nullptr, nullptr, nullptr, nullptr);
  dispatcher_.ClearActiveDialog(other);
  EXPECT_EQ(dialog_, dispatcher_.active_dialog());
  dispatcher_.ClearActiveDialog(dialog_);
  EXPECT_EQ(nullptr, dispatcher_.active_dialog());
  ::DestroyWindow(other);
  // A destroyed active dialog is forgotten, not asked.
  dispatcher_.SetActiveDialog(other);
  MSG message = {dialog_, WM_NULL};
  EXPECT_EQ(base::MessagePumpDispatcher::POST_DISPATCH_PERFORM_DEFAULT,
            dispatcher_.Dispatch(message));
  EXPECT_EQ(nullptr, dispatcher_.active_dialog());
}

// Ends the loop at the first message it sees.
class QuittingDispatcher : public base::MessagePumpDispatcher {
 public:
  uint32_t Dispatch(const MSG& msg) override {
    ++seen;
    return POST_DISPATCH_QUIT_LOOP;
  }
  int seen = 0;
};

TEST_F(DialogDispatcherTest, QuitAnswerEndsTheRunLoop) {
  QuittingDispatcher quitting;
  base::RunLoop loop(&quitting);
  ::PostMessageW(dialog_, WM_NULL, 0, 0);
  loop.Run();
  EXPECT_EQ(1, quitting.seen);
}

}  // namespace
}  // namespace installer
