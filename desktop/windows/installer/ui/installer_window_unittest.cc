#include "desktop/windows/installer/ui/installer_window.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/at_exit.h"
#include "base/bind.h"
#include "base/command_line.h"
#include "base/files/scoped_temp_dir.h"
#include "base/logging.h"
#include "base/message_loop/message_loop.h"
#include "base/run_loop.h"
#include "base/test/scoped_log_capture.h"
#include "base/win/scoped_com_initializer.h"
#include "desktop/windows/installer/host/resource_ids.h"
#include "desktop/windows/installer/installer_stats.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/status.h"
#include "desktop/windows/installer/test/download_test_util.h"
#include "desktop/windows/installer/test/installer_window_driver.h"
#include "desktop/windows/installer/test/window_capture.h"
#include "desktop/windows/rc_l10n_handler/rc_l10n_handler.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using test::ClickControl;
using test::GetControlText;
using test::GetPageSequence;
using test::HasVisibleStyle;

class DelegateRecorder : public InstallerWindowDelegate {
 public:
  void OnAccept() override { ++accepts; }
  void OnCancel() override { ++cancels; }
  void OnFullPackage() override { ++full_packages; }

  int accepts = 0;
  int cancels = 0;
  int full_packages = 0;
};

class InstallerWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    SetLanguages({L"en-US", L"de"});
    ASSERT_TRUE(temp_.CreateUniqueTempDir());
    folder_ = temp_.GetPath().Append(L"Kelvo");
  }

  void TearDown() override {
    if (window_)
      window_->RemoveObserver(&delegate_);
    window_.reset();
    settings_.reset();
  }

  void MakeWindow(bool uninstall = false, bool run_immediately = false) {
    // The window observes the settings it was made with.
    window_.reset();
    settings_ = std::make_unique<Settings>(command_line_, uninstall, false,
                                           false, folder_, false, 1);
    WaitForStatus();
    window_ =
        InstallerWindow::Init(settings_.get(), stats_.root(), run_immediately);
    ASSERT_TRUE(window_);
    window_->AddObserver(&delegate_);
    test::PumpUntilIdle(window_->hwnd());
  }

  void SetLanguages(std::vector<std::wstring> available) {
    languages_.reset();
    languages_.emplace(std::move(available),
                       std::vector<std::wstring>{L"en-US"});
  }

  void WaitForStatus() {
    while (settings_->IsStatusPending())
      test::PumpUntilIdle(nullptr);
  }

  HWND main() const { return window_->hwnd(); }
  HWND options() const { return window_->options_hwnd(); }

  // The ids of the main dialog's controls that have the visible style, in
  // ascending order; the options panel is not one of them.
  std::vector<int> Shown() const {
    std::vector<int> shown;
    for (HWND child = ::GetWindow(main(), GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
      const int id = ::GetDlgCtrlID(child);
      if (child != options() && HasVisibleStyle(main(), id))
        shown.push_back(id);
    }
    std::sort(shown.begin(), shown.end());
    return shown;
  }

  int FocusedId() const { return ::GetDlgCtrlID(::GetFocus()); }

  // From tasks of the UI loop: once |dialog| shows a message box (or after
  // a limit), records whether it did, deletes the window and makes a new
  // one; then runs |replaced_| when set.
  void ReplaceWindowOnceItsBoxIsUp(HWND dialog, bool* box_was_up) {
    ReplaceWhenBoxIsUp(
        dialog, box_was_up,
        base::TimeTicks::Now() + base::TimeDelta::FromSeconds(20));
  }

  void ReplaceWhenBoxIsUp(HWND dialog,
                          bool* box_was_up,
                          base::TimeTicks deadline) {
    const HWND box = test::FindMessageBox(dialog);
    if (!box && base::TimeTicks::Now() < deadline) {
      base::MessageLoop::current()->task_runner()->PostDelayedTask(
          FROM_HERE,
          base::BindOnce(&InstallerWindowTest::ReplaceWhenBoxIsUp,
                         base::Unretained(this), dialog, box_was_up, deadline),
          base::TimeDelta::FromMilliseconds(20));
      return;
    }
    *box_was_up = box && ::IsWindowVisible(box);
    window_.reset();
    // Of the same settings, whose status is in: nothing to wait for inside
    // the box's loop.
    window_ = InstallerWindow::Init(settings_.get(), stats_.root(), false);
    ASSERT_TRUE(window_);
    window_->AddObserver(&delegate_);
    if (replaced_)
      std::move(replaced_).Run();
  }

  base::ShadowingAtExitManager at_exit_;
  base::win::ScopedCOMInitializer com_;
  base::MessageLoopForUI loop_;
  const base::CommandLine command_line_{base::CommandLine::NO_PROGRAM};
  std::optional<l10n::ScopedLanguagesForTesting> languages_;
  base::ScopedTempDir temp_;
  base::FilePath folder_;
  test::RefusingUICallbackRunner no_ui_;
  InstallerStats stats_{&no_ui_};
  DelegateRecorder delegate_;
  base::OnceClosure replaced_;
  std::unique_ptr<Settings> settings_;
  std::unique_ptr<InstallerWindow> window_;
};

TEST_F(InstallerWindowTest, EachInstallPageShowsItsControlsAndFocus) {
  MakeWindow();
  EXPECT_EQ(InstallerWindow::PAGE_WELCOME, window_->current_page());
  EXPECT_EQ((std::vector<int>{IDC_BANNER, IDC_OPTIONS_BUTTON, IDC_ACCEPT_BUTTON,
                              IDC_HEADLINE, IDC_TERMS_LINE, IDC_MAIN_PATH_COMBO,
                              IDC_MAIN_BROWSE_BUTTON}),
            Shown());
  EXPECT_EQ(IDC_ACCEPT_BUTTON, FocusedId());
  EXPECT_FALSE(::IsWindowVisible(options()));

  ClickControl(main(), IDC_OPTIONS_BUTTON);
  EXPECT_EQ((std::vector<int>{IDC_ACCEPT_BUTTON, IDC_BACK_BUTTON}), Shown());
  EXPECT_TRUE(::IsWindowVisible(options()));
  EXPECT_EQ(IDC_ACCEPT_BUTTON, FocusedId());

  ClickControl(main(), IDC_BACK_BUTTON);
  test::ClickTermsLink(main());
  EXPECT_EQ(InstallerWindow::PAGE_TOS, window_->current_page());
  EXPECT_EQ(
      (std::vector<int>{IDC_ACCEPT_BUTTON, IDC_TERMS_TEXT, IDC_BACK_BUTTON}),
      Shown());
  EXPECT_FALSE(::IsWindowVisible(options()));

  window_->StartProgress(5, 1303, false);
  EXPECT_EQ((std::vector<int>{IDC_BANNER, IDC_PROGRESS_HEADING, IDC_STATUS_TEXT,
                              IDC_PROGRESS_BAR}),
            Shown());

  window_->ShowError(L"It broke", false, "detail");
  EXPECT_EQ(
      (std::vector<int>{IDC_BANNER, IDC_TRY_AGAIN_BUTTON, IDC_ERROR_HEADING,
                        IDC_STATUS_TEXT, IDC_BACK_BUTTON}),
      Shown());
  EXPECT_EQ(L"It broke", GetControlText(main(), IDC_STATUS_TEXT));
  EXPECT_EQ(IDC_TRY_AGAIN_BUTTON, FocusedId());
  window_->ShowError(L"Again", true, "detail");
  EXPECT_TRUE(HasVisibleStyle(main(), IDC_FULL_INSTALLER_BUTTON));
  EXPECT_NE(std::string::npos,
            stats_.GetJson().find("\"failure_reason\":\"detail\""));
}

TEST_F(InstallerWindowTest, UninstallPagesUseTheUninstallHeading) {
  MakeWindow(/*uninstall=*/true);
  EXPECT_EQ(InstallerWindow::PAGE_UNINSTALL, window_->current_page());
  EXPECT_EQ(
      (std::vector<int>{IDC_BANNER, IDC_CANCEL_BUTTON, IDC_UNINSTALL_BUTTON,
                        IDC_UNINSTALL_QUESTION, IDC_DELETE_PROFILE_CHECK}),
      Shown());
  EXPECT_EQ(IDC_UNINSTALL_BUTTON, FocusedId());
  window_->ShowError(L"No", false, "detail");
  // No Back from an uninstall error: there is no page to go back to.
  EXPECT_EQ((std::vector<int>{IDC_BANNER, IDC_TRY_AGAIN_BUTTON, IDC_STATUS_TEXT,
                              IDC_UNINSTALL_ERROR_HEADING}),
            Shown());
  ClickControl(main(), IDC_UNINSTALL_BUTTON);
  EXPECT_EQ("UNINSTALL", test::GetPageValue(&stats_, -1, "navigation_action"));
}

TEST_F(InstallerWindowTest, NavigationRecordsEachPageChangeOnce) {
  MakeWindow();
  ClickControl(main(), IDC_OPTIONS_BUTTON);
  ClickControl(main(), IDC_OPTIONS_BUTTON);  // Already there: no entry.
  ClickControl(main(), IDC_BACK_BUTTON);
  // An action belongs to the page it was taken on.
  EXPECT_EQ("OPTIONS", test::GetPageValue(&stats_, 0, "navigation_action"));
  EXPECT_EQ("BACK", test::GetPageValue(&stats_, 1, "navigation_action"));
  ClickControl(main(), IDC_ACCEPT_BUTTON);
  EXPECT_EQ(1, delegate_.accepts);
  EXPECT_EQ("ACCEPT", test::GetPageValue(&stats_, -1, "navigation_action"));
  window_->StartProgress(0, 10, false);
  EXPECT_EQ(
      (std::vector<std::string>{"WELCOME", "OPTIONS", "WELCOME", "PROGRESS"}),
      GetPageSequence(&stats_));
  EXPECT_EQ("", test::GetPageValue(&stats_, -1, "navigation_action"));
}

TEST_F(InstallerWindowTest, OptionBoxesChangeTheSettingsOnlyWhileEditable) {
  MakeWindow();
  ClickControl(main(), IDC_OPTIONS_BUTTON);
  const bool import = settings_->GetOption(IMPORT_BROWSER_DATA);
  ClickControl(options(), IDC_IMPORT_CHECK);
  EXPECT_EQ(!import, settings_->GetOption(IMPORT_BROWSER_DATA));
  ClickControl(options(), IDC_STATS_CHECK);
  EXPECT_FALSE(settings_->GetOption(ENABLE_KELVO_STATS));
  EXPECT_FALSE(settings_->GetOption(ENABLE_INSTALLER_STATS));
  ClickControl(options(), IDC_STATS_CHECK);
  EXPECT_TRUE(settings_->GetOption(ENABLE_KELVO_STATS));
  EXPECT_TRUE(settings_->GetOption(ENABLE_INSTALLER_STATS));
  EXPECT_EQ("2", test::GetPageValue(&stats_, -1, "changed_enable_stats"));

  test::SelectComboItem(options(), IDC_INSTALL_MODE_COMBO,
                        INSTALL_MODE_STANDALONE);
  EXPECT_TRUE(settings_->GetOption(COPY_ONLY));
  EXPECT_EQ("1", test::GetPageValue(&stats_, -1, "changed_install_mode"));
  WaitForStatus();
  // A standalone copy has no default browser: the box follows the setting.
  EXPECT_FALSE(
      ::IsWindowEnabled(::GetDlgItem(options(), IDC_DEFAULT_BROWSER_CHECK)));

  settings_->SetEditable(false);
  ClickControl(options(), IDC_IMPORT_CHECK);
  EXPECT_EQ(!import, settings_->GetOption(IMPORT_BROWSER_DATA));
  EXPECT_EQ(
      !import ? BST_CHECKED : BST_UNCHECKED,
      ::SendDlgItemMessageW(options(), IDC_IMPORT_CHECK, BM_GETCHECK, 0, 0));
  EXPECT_EQ("1", test::GetPageValue(&stats_, -1, "changed_import_data"));
}

TEST_F(InstallerWindowTest, InvalidPathDisablesAcceptAndBack) {
  MakeWindow();
  ClickControl(main(), IDC_OPTIONS_BUTTON);
  EXPECT_FALSE(HasVisibleStyle(options(), IDC_INVALID_PATH_NOTE));
  HWND path = ::GetDlgItem(options(), IDC_PATH_COMBO);
  ::SetWindowTextW(path, L"relative\\folder");
  ::SendMessageW(options(), WM_COMMAND,
                 MAKEWPARAM(IDC_PATH_COMBO, CBN_EDITCHANGE),
                 reinterpret_cast<LPARAM>(path));
  WaitForStatus();
  EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(main(), IDC_ACCEPT_BUTTON)));
  EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(main(), IDC_BACK_BUTTON)));
  EXPECT_TRUE(HasVisibleStyle(options(), IDC_INVALID_PATH_NOTE));
  EXPECT_EQ("1", test::GetPageValue(&stats_, -1, "edited_install_path"));
  // The text typed stays as typed.
  EXPECT_EQ(L"relative\\folder", GetControlText(options(), IDC_PATH_COMBO));

  test::SelectComboItem(options(), IDC_PATH_COMBO, 0);
  WaitForStatus();
  EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(main(), IDC_ACCEPT_BUTTON)));
  EXPECT_FALSE(HasVisibleStyle(options(), IDC_INVALID_PATH_NOTE));
}

// Where |id| lies in |dialog|'s client area.
RECT ControlRect(HWND dialog, int id) {
  RECT rect = {};
  ::GetWindowRect(::GetDlgItem(dialog, id), &rect);
  ::MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

TEST_F(InstallerWindowTest, MainScreenPathBoxSitsBetweenTermsAndButtons) {
  MakeWindow();
  const RECT terms = ControlRect(main(), IDC_TERMS_LINE);
  const RECT path = ControlRect(main(), IDC_MAIN_PATH_COMBO);
  const RECT browse = ControlRect(main(), IDC_MAIN_BROWSE_BUTTON);
  const RECT accept = ControlRect(main(), IDC_ACCEPT_BUTTON);
  const RECT options_button = ControlRect(main(), IDC_OPTIONS_BUTTON);
  EXPECT_GE(path.top, terms.bottom);
  EXPECT_LE(path.bottom, accept.top);
  EXPECT_LE(path.bottom, options_button.top);
  // The browse button beside the box, as tall as the box itself.
  EXPECT_GT(browse.left, path.right);
  EXPECT_EQ(path.top, browse.top);
  EXPECT_EQ(path.bottom, browse.bottom);
  RECT client;
  ::GetClientRect(main(), &client);
  EXPECT_GE(path.left, 0);
  EXPECT_LE(browse.right, client.right);
  EXPECT_EQ(l10n::GetLocalizedString(IDS_CHANGE),
            GetControlText(main(), IDC_MAIN_BROWSE_BUTTON));
}

TEST_F(InstallerWindowTest, MainScreenPathBoxChoosesTheFolder) {
  MakeWindow();
  EXPECT_EQ(folder_.value(), GetControlText(main(), IDC_MAIN_PATH_COMBO));
  const base::FilePath other = temp_.GetPath().Append(L"Elsewhere");
  HWND path = ::GetDlgItem(main(), IDC_MAIN_PATH_COMBO);
  ::SetWindowTextW(path, other.value().c_str());
  ::SendMessageW(main(), WM_COMMAND,
                 MAKEWPARAM(IDC_MAIN_PATH_COMBO, CBN_EDITCHANGE),
                 reinterpret_cast<LPARAM>(path));
  WaitForStatus();
  EXPECT_EQ(other, settings_->GetStatus().folder());
  EXPECT_EQ("1", test::GetPageValue(&stats_, -1,
                                    "edited_install_path_from_main_screen"));
  EXPECT_EQ("", test::GetPageValue(&stats_, -1, "edited_install_path"));
  // The options panel shows the folder chosen on the main screen.
  EXPECT_EQ(other.value(), GetControlText(options(), IDC_PATH_COMBO));

  const int candidates =
      static_cast<int>(::SendMessageW(path, CB_GETCOUNT, 0, 0));
  ASSERT_GT(candidates, 0);
  wchar_t first[MAX_PATH] = {};
  ::SendMessageW(path, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(first));
  test::SelectComboItem(main(), IDC_MAIN_PATH_COMBO, 0);
  WaitForStatus();
  EXPECT_TRUE(base::FilePath::CompareEqualIgnoreCase(
      first, settings_->GetStatus().folder().value()));
  EXPECT_EQ("1", test::GetPageValue(&stats_, -1,
                                    "changed_install_path_from_main_screen"));
  EXPECT_EQ("", test::GetPageValue(&stats_, -1, "changed_install_path"));

  // Once the installation began, the box shows the folder it runs for.
  settings_->SetEditable(false);
  const base::FilePath chosen = settings_->GetStatus().folder();
  ::SetWindowTextW(path, other.value().c_str());
  ::SendMessageW(main(), WM_COMMAND,
                 MAKEWPARAM(IDC_MAIN_PATH_COMBO, CBN_EDITCHANGE),
                 reinterpret_cast<LPARAM>(path));
  EXPECT_FALSE(settings_->IsStatusPending());
  EXPECT_EQ(chosen, settings_->GetStatus().folder());
  EXPECT_TRUE(base::FilePath::CompareEqualIgnoreCase(
      chosen.value(), GetControlText(main(), IDC_MAIN_PATH_COMBO)));
  EXPECT_EQ("1", test::GetPageValue(&stats_, -1,
                                    "edited_install_path_from_main_screen"));
}

TEST_F(InstallerWindowTest, LanguageSkippedInTheListKeepsTheOthersMapped) {
  // "xx" has no string table: its entry cannot be shown.
  SetLanguages({L"en-US", L"xx", L"de"});
  base::ScopedLogCapture log;
  MakeWindow();
  EXPECT_TRUE(log.Contains("Adding item #1to the language dropdown failed"));
  HWND list = ::GetDlgItem(options(), IDC_LANGUAGE_COMBO);
  ASSERT_EQ(2, ::SendMessageW(list, CB_GETCOUNT, 0, 0));
  ClickControl(main(), IDC_OPTIONS_BUTTON);
  test::SelectComboItem(options(), IDC_LANGUAGE_COMBO, 1);
  EXPECT_EQ(L"de", settings_->language());
  EXPECT_EQ(L"&Optionen", GetControlText(main(), IDC_OPTIONS_BUTTON));
  EXPECT_EQ(L"Akzeptieren und installieren",
            GetControlText(main(), IDC_ACCEPT_BUTTON));
  EXPECT_EQ("1", test::GetPageValue(&stats_, -1, "changed_language"));
}

TEST_F(InstallerWindowTest, RunImmediatelyStartsOnProgressWithoutBack) {
  MakeWindow(false, /*run_immediately=*/true);
  EXPECT_EQ(InstallerWindow::PAGE_PROGRESS, window_->current_page());
  window_->StartProgress(0, 10, false);
  EXPECT_EQ((std::vector<std::string>{"PROGRESS"}), GetPageSequence(&stats_));
  window_->ShowError(L"First", false, "one");
  window_->StartProgress(0, 10, false);
  window_->ShowError(L"Second", true, "two");
  EXPECT_FALSE(HasVisibleStyle(main(), IDC_BACK_BUTTON));
  EXPECT_TRUE(HasVisibleStyle(main(), IDC_FULL_INSTALLER_BUTTON));
}

TEST_F(InstallerWindowTest, ProgressStepsForwardOnly) {
  MakeWindow();
  window_->StartProgress(100, 200, false);
  HWND bar = ::GetDlgItem(main(), IDC_PROGRESS_BAR);
  EXPECT_EQ(100, ::SendMessageW(bar, PBM_GETPOS, 0, 0));
  window_->SetProgress(105);
  EXPECT_EQ(105, ::SendMessageW(bar, PBM_GETPOS, 0, 0));
  window_->SetProgress(103);
  EXPECT_EQ(105, ::SendMessageW(bar, PBM_GETPOS, 0, 0));
  window_->SetProgress(190);
  EXPECT_EQ(190, ::SendMessageW(bar, PBM_GETPOS, 0, 0));
}

TEST_F(InstallerWindowTest, MessageBoxesSpeakTheInstallerLanguage) {
  MakeWindow();
  settings_->SetLanguage(L"de");
  {
    test::MessageBoxAnswerer answerer(main(), IDNO);
    ClickControl(main(), IDC_OPTIONS_BUTTON);
    ClickControl(main(), IDC_CANCEL_BUTTON);
    ASSERT_TRUE(answerer.Wait());
    EXPECT_EQ(L"YES=&Ja;NO=&Nein;", answerer.buttons());
    EXPECT_EQ(l10n::GetLocalizedString(IDS_QUIT_INSTALLATION_CONFIRMATION),
              answerer.text());
  }
  EXPECT_EQ(0, delegate_.cancels);
  {
    test::MessageBoxAnswerer answerer(main(), IDYES);
    ::SendMessageW(main(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(answerer.Wait());
  }
  EXPECT_EQ(1, delegate_.cancels);
  EXPECT_EQ("CANCEL", test::GetPageValue(&stats_, -1, "navigation_action"));
  {
    test::MessageBoxAnswerer answerer(main(), IDOK);
    window_->ShowErrorMessageBox(L"Kaputt");
    ASSERT_TRUE(answerer.Wait());
    EXPECT_EQ(L"OK=OK;", answerer.buttons());
  }
  EXPECT_EQ(2, delegate_.cancels);
  EXPECT_NE(std::string::npos,
            stats_.GetJson().find("\"error_displayed\":\"Kaputt\""));
}

// A delegate that ends everything from inside the message box, as a
// controller whose backend finished meanwhile does.
class DestroyingDelegate : public InstallerWindowDelegate {
 public:
  explicit DestroyingDelegate(std::unique_ptr<InstallerWindow>* window)
      : window_(window) {}
  void OnAccept() override {}
  void OnCancel() override { window_->reset(); }
  void OnFullPackage() override {}

 private:
  std::unique_ptr<InstallerWindow>* window_;
};

TEST_F(InstallerWindowTest, WindowDeletedWhileItsMessageBoxIsUp) {
  // Each box of the window: the cancel confirmation, opened from a window
  // message as a user's click opens it, and the error box the controller
  // opens. A task that the UI loop runs inside the box's modal loop deletes
  // the window, as the end of a run does, and at once makes a new one with
  // the same delegate, which is likely to take the old one's memory: code
  // of the old window that went on after its box would reach the delegate
  // through it. Deleting the box's owner closes the box unanswered.
  enum class Box { kCancelConfirmation, kError };
  for (Box box : {Box::kCancelConfirmation, Box::kError}) {
    SCOPED_TRACE(box == Box::kError ? "error box" : "cancel confirmation");
    MakeWindow();
    const HWND old_dialog = main();
    bool box_was_up = false;
    base::RunLoop loop;
    replaced_ = loop.QuitClosure();
    ReplaceWindowOnceItsBoxIsUp(old_dialog, &box_was_up);
    if (box == Box::kError) {
      // Opened by a task, as the controller opens it; the UI loop's tasks
      // run inside it as they do inside a box that a window message opened.
      base::MessageLoop::current()->task_runner()->PostTask(
          FROM_HERE, base::BindOnce(
                         [](InstallerWindow* window) {
                           base::MessageLoop::ScopedNestableTaskAllower allow(
                               base::MessageLoop::current());
                           window->ShowErrorMessageBox(L"Kaputt");
                         },
                         base::Unretained(window_.get())));
    } else {
      ::PostMessageW(old_dialog, WM_COMMAND,
                     MAKEWPARAM(IDC_CANCEL_BUTTON, BN_CLICKED), 0);
    }
    loop.Run();
    EXPECT_TRUE(box_was_up);
    EXPECT_FALSE(::IsWindow(old_dialog));
    ASSERT_TRUE(window_);
    EXPECT_NE(old_dialog, main());
    EXPECT_EQ(0, delegate_.cancels);
    EXPECT_EQ(InstallerWindow::PAGE_WELCOME, window_->current_page());
  }

  // And deleted by the delegate that the box's answer calls.
  DestroyingDelegate destroying(&window_);
  window_->AddObserver(&destroying);
  HWND dialog = main();
  {
    test::MessageBoxAnswerer answerer(dialog, IDYES);
    ClickControl(dialog, IDC_CANCEL_BUTTON);
    ASSERT_TRUE(answerer.Wait());
  }
  EXPECT_FALSE(window_);
  EXPECT_FALSE(::IsWindow(dialog));
  EXPECT_EQ(1, delegate_.cancels);
}

TEST_F(InstallerWindowTest, TermsLinkShowsTheTerms) {
  MakeWindow();
  test::ClickTermsLink(main(), 0);  // Plain text, no link there.
  EXPECT_EQ(InstallerWindow::PAGE_WELCOME, window_->current_page());
  test::ClickTermsLink(main());
  EXPECT_EQ(InstallerWindow::PAGE_TOS, window_->current_page());
  EXPECT_EQ((std::vector<std::string>{"WELCOME", "TOS"}),
            GetPageSequence(&stats_));
  EXPECT_FALSE(GetControlText(main(), IDC_TERMS_TEXT).empty());
}

TEST(InstallerWindowPageNameTest, NamesEveryPageAndRejectsOthers) {
  EXPECT_STREQ("WELCOME", InstallerWindow::GetPageName(0));
  EXPECT_STREQ("ERROR", InstallerWindow::GetPageName(5));
  EXPECT_STREQ("invalid", InstallerWindow::GetPageName(6));
  EXPECT_STREQ("invalid", InstallerWindow::GetPageName(-1));
}

}  // namespace
}  // namespace installer
