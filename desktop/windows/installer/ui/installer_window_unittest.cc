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
  std::unique_ptr<Settings> settings_;
  std::unique_ptr<InstallerWindow> window_;
};

TEST_F(InstallerWindowTest, EachInstallPageShowsItsControlsAndFocus) {
  MakeWindow();
  EXPECT_EQ(InstallerWindow::PAGE_WELCOME, window_->current_page());
  EXPECT_EQ((std::vector<int>{IDC_BANNER, IDC_OPTIONS_BUTTON, IDC_ACCEPT_BUTTON,
                              IDC_HEADLINE, IDC_TERMS_LINE}),
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
  MakeWindow();
  window_->RemoveObserver(&delegate_);
  // Deleted by a task that the UI loop runs inside the box's modal loop,
  // the box opened from a window message as a user's click opens it. The
  // box is never answered: deleting its owner closes it.
  {
    base::RunLoop loop;
    auto delete_window = [](std::unique_ptr<InstallerWindow>* window,
                            base::RepeatingClosure quit) {
      window->reset();
      quit.Run();
    };
    base::MessageLoop::current()->task_runner()->PostDelayedTask(
        FROM_HERE, base::BindOnce(delete_window, &window_, loop.QuitClosure()),
        base::TimeDelta::FromMilliseconds(300));
    ::PostMessageW(main(), WM_COMMAND, MAKEWPARAM(IDC_CANCEL_BUTTON, 0), 0);
    loop.Run();
  }
  EXPECT_FALSE(window_);
  EXPECT_EQ(0, delegate_.cancels);
  // And by the delegate that the box's answer calls.
  MakeWindow();
  window_->RemoveObserver(&delegate_);
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
