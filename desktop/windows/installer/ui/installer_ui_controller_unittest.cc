#include "desktop/windows/installer/ui/installer_ui_controller.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/at_exit.h"
#include "base/base_paths.h"
#include "base/bind.h"
#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/json/json_reader.h"
#include "base/message_loop/message_loop.h"
#include "base/run_loop.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/scoped_environment_variable_override.h"
#include "base/test/scoped_log_capture.h"
#include "base/test/scoped_path_override.h"
#include "base/threading/thread_task_runner_handle.h"
#include "base/values.h"
#include "base/win/registry.h"
#include "base/win/scoped_com_initializer.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/host/resource_ids.h"
#include "desktop/windows/installer/installer_object_names.h"
#include "desktop/windows/installer/package_fetcher/package_fetcher.h"
#include "desktop/windows/installer/package_fetcher/payload_reader.h"
#include "desktop/windows/installer/process/temp_folder.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/status.h"
#include "desktop/windows/installer/test/fake_security_access.h"
#include "desktop/windows/installer/test/installer_process.h"
#include "desktop/windows/installer/test/installer_window_driver.h"
#include "desktop/windows/installer/test/net_install_test_util.h"
#include "desktop/windows/installer/test/sample_package.h"
#include "desktop/windows/installer/test/scoped_http_handler.h"
#include "desktop/windows/installer/test/scoped_registry_value.h"
#include "desktop/windows/installer/test/test_util.h"
#include "desktop/windows/installer/ui/install_progress.h"
#include "desktop/windows/installer/ui/installer_ui_lock.h"
#include "desktop/windows/installer/ui/installer_window.h"
#include "desktop/windows/rc_l10n_handler/rc_l10n_handler.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using base::FilePath;

constexpr base::TimeDelta kPoll = base::TimeDelta::FromMilliseconds(20);
constexpr base::TimeDelta kLimit = base::TimeDelta::FromSeconds(60);
// A run that has not ended by then is ended, and the test fails: a run of
// these tests takes a second or two.
constexpr base::TimeDelta kRunLimit = base::TimeDelta::FromSeconds(45);

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Runs |action| once |condition| holds, polling on the current loop; fails
// the test when it never does.
void RunWhen(std::function<bool()> condition, std::function<void()> action) {
  struct Poller {
    static void Poll(std::function<bool()> condition,
                     std::function<void()> action,
                     base::TimeTicks deadline) {
      if (condition()) {
        action();
        return;
      }
      if (base::TimeTicks::Now() > deadline) {
        ADD_FAILURE() << "A condition of the test never came true";
        return;
      }
      base::ThreadTaskRunnerHandle::Get()->PostDelayedTask(
          FROM_HERE,
          base::BindOnce(&Poller::Poll, std::move(condition), std::move(action),
                         deadline),
          kPoll);
    }
  };
  Poller::Poll(std::move(condition), std::move(action),
               base::TimeTicks::Now() + kLimit);
}

void PostCommand(HWND dialog, int id) {
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

// The UI controller in this process, with a scripted or stand-in backend
// in the package folder (the executable's folder).
class InstallerUIControllerTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.CreateUniqueTempDir());
    package_ = temp_.GetPath().Append(L"package");
    download_ = temp_.GetPath().Append(L"download");
    folder_ = temp_.GetPath().Append(L"Programs").Append(L"Kelvo");
    ASSERT_TRUE(base::CreateDirectory(package_));
    ASSERT_TRUE(base::CreateDirectory(download_));
    exe_dir_.emplace(base::DIR_EXE, package_, true, false);
    command_line_ = base::CommandLine::FromString(
        L"installer.exe --launchkelvo=0 " +
        std::wstring(test::kNoUpdateServerSwitches) + L" --installfolder=" +
        folder_.value());
  }

  void MakeSettings() {
    settings_ = std::make_unique<Settings>(command_line_, false, false, false,
                                           folder_, false, 1);
  }

  // The backend: a stand-in that exits with |exit_code| after |wait_ms|.
  void MakeBackend(int exit_code, int wait_ms = 0) {
    backend_ = test::MakeScriptedBackend(package_, L"installer.exe", exit_code,
                                         wait_ms);
  }
  size_t BackendRuns() const { return test::StandInRuns(backend_).size(); }

  // Clicks the full package's link once the status tells the folder whose
  // browser may handle web links, and runs the window to its end.
  void AskForTheFullPackage() {
    RunWhen(
        [&] {
          return OnPage(InstallerWindow::PAGE_WELCOME) &&
                 !settings_->IsStatusPending();
        },
        [&] { controller_.OnFullPackage(); });
    EXPECT_FALSE(RunUI());
  }

  // The runs of a stand-in that may have been started before the call that
  // started it returned: its record follows shortly, within 5 s.
  static std::vector<std::string> WaitForRuns(const FilePath& stand_in) {
    std::vector<std::string> runs;
    for (int i = 0; i < 100 && runs.empty(); ++i) {
      ::Sleep(50);
      runs = test::StandInRuns(stand_in);
    }
    return runs;
  }

  bool RunUI(bool run_immediately = false) {
    if (!settings_)
      MakeSettings();
    // Whatever the run waits for, it ends: a failure is told in time, and
    // the tests after it run.
    auto ended = std::make_shared<bool>(false);
    base::ThreadTaskRunnerHandle::Get()->PostDelayedTask(
        FROM_HERE,
        base::BindOnce(&InstallerUIControllerTest::EndStuckRun,
                       base::Unretained(this), ended),
        kRunLimit);
    const bool result = controller_.RunUI(settings_.get(), payload_.get(),
                                          download_, run_immediately);
    *ended = true;
    return result;
  }

  void EndStuckRun(std::shared_ptr<bool> ended) {
    if (*ended)
      return;
    ADD_FAILURE() << "The run did not end within " << kRunLimit.InSeconds()
                  << " s";
    if (window()) {
      // This runs inside the loop of a box the run may wait in.
      if (HWND box = test::FindMessageBox(window()->hwnd()))
        ::EndDialog(box, IDNO);
    }
    controller_.OnCancel();
  }

  // The installer that runs carries |payload|, so the run fetches the
  // package; the backend it launches waits for the package until it is
  // interrupted.
  void UsePayload(const std::string& payload) {
    const FilePath installer = temp_.GetPath().Append(L"net_installer.exe");
    ASSERT_TRUE(test::CopyWithPayload(
        test::GetBuildBinDir().Append(L"stand_in.exe"), payload, installer));
    payload_ = std::make_unique<PayloadReader>(installer);
    backend_ = test::MakeScriptedBackend(temp_.GetPath().Append(L"own"),
                                         L"installer.exe", 1);
    test::WriteTextFile(
        FilePath(backend_.value() + L".script"),
        "connect\nwait-event " +
            base::WideToUTF8(
                InstallerObjectNames::ForFolder(folder_).interrupted_event) +
            " 40000\nclose\nexit 1\n");
    own_exe_.emplace(base::FILE_EXE, backend_, true, false);
  }

  // Whether |count| fetch attempts have ended.
  bool FetchesEnded(int count) {
    return Contains(Json(), "\"fetcher_restarts\":" + base::IntToString(count));
  }

  // Accept, once the fetcher gave up in the background.
  void AcceptAfterTheFetcherGaveUp() {
    RunWhen(
        [&] {
          return OnPage(InstallerWindow::PAGE_WELCOME) &&
                 !settings_->IsStatusPending() &&
                 FetchesEnded(PackageFetcher::kMaxFailedAttempts);
        },
        [&] { PostCommand(window()->hwnd(), IDC_ACCEPT_BUTTON); });
  }

  bool FullInstallerOffered() const {
    return ::IsWindowVisible(
        ::GetDlgItem(window()->hwnd(), IDC_FULL_INSTALLER_BUTTON));
  }

  InstallerWindow* window() const { return controller_.window(); }
  bool OnPage(InstallerWindow::Page page) const {
    return window() && window()->current_page() == page;
  }
  std::string Json() { return controller_.stats().GetJson(); }

  // Lets tasks still queued (delayed ones within |time|) run.
  void RunFor(base::TimeDelta time) {
    base::RunLoop loop;
    base::ThreadTaskRunnerHandle::Get()->PostDelayedTask(
        FROM_HERE, loop.QuitClosure(), time);
    loop.Run();
  }

  base::ShadowingAtExitManager at_exit_;
  base::win::ScopedCOMInitializer com_;
  base::MessageLoopForUI loop_;
  l10n::ScopedLanguagesForTesting languages_{{L"en-US", L"de"}, {L"en-US"}};
  base::ScopedTempDir temp_;
  FilePath package_;
  FilePath download_;
  FilePath folder_;
  FilePath backend_;
  std::optional<base::ScopedPathOverride> exe_dir_;
  std::optional<base::ScopedPathOverride> own_exe_;
  base::CommandLine command_line_{base::CommandLine::NO_PROGRAM};
  std::unique_ptr<Settings> settings_;
  // Outlives the controller's package fetcher.
  std::unique_ptr<PayloadReader> payload_;
  InstallerUIController controller_;
};

TEST_F(InstallerUIControllerTest, FailedBackendShowsItsErrorThenTryAgain) {
  MakeBackend(1);
  base::TimeTicks accepted;
  base::TimeDelta until_error;
  std::unique_ptr<test::MessageBoxAnswerer> answerer;
  RunWhen([&] { return OnPage(InstallerWindow::PAGE_WELCOME); },
          [&] {
            accepted = base::TimeTicks::Now();
            PostCommand(window()->hwnd(), IDC_ACCEPT_BUTTON);
          });
  RunWhen([&] { return OnPage(InstallerWindow::PAGE_ERROR); },
          [&] {
            until_error = base::TimeTicks::Now() - accepted;
            EXPECT_EQ(l10n::GetLocalizedString(IDS_ERROR_INSTALL),
                      test::GetControlText(window()->hwnd(), IDC_STATUS_TEXT));
            EXPECT_EQ(1u, BackendRuns());
            // Editable again: the user may change the options first.
            EXPECT_TRUE(settings_->IsEditable());
            PostCommand(window()->hwnd(), IDC_TRY_AGAIN_BUTTON);
          });
  RunWhen(
      [&] {
        return BackendRuns() == 2 && OnPage(InstallerWindow::PAGE_ERROR) &&
               test::GetPageSequence(&controller_.stats()).size() == 5;
      },
      [&] {
        answerer =
            std::make_unique<test::MessageBoxAnswerer>(window()->hwnd(), IDYES);
        ::PostMessageW(window()->hwnd(), WM_CLOSE, 0, 0);
      });
  EXPECT_FALSE(RunUI());
  ASSERT_TRUE(answerer && answerer->Wait());
  EXPECT_GE(until_error, InstallerUIController::kPendingErrorDelay);
  EXPECT_EQ((std::vector<std::string>{"WELCOME", "PROGRESS", "ERROR",
                                      "PROGRESS", "ERROR"}),
            test::GetPageSequence(&controller_.stats()));
  const std::string json = Json();
  EXPECT_TRUE(Contains(json, "\"installation_cancelled\":1"));
  EXPECT_TRUE(Contains(json, "\"installation_success\":0"));
  EXPECT_TRUE(
      Contains(json, "\"failure_reason\":\"Unreported installer error.\""));
  EXPECT_TRUE(Contains(json, "\"run_immediately\":0"));
  // The package was there from the start: no full installer to offer.
  EXPECT_EQ(2u, BackendRuns());
  EXPECT_TRUE(Contains(test::StandInRuns(backend_)[0], "--backend"));
}

// Any program can write an error message into the mailslot: the backend it
// did not come from is neither interrupted nor taken to have failed, and
// the window shows no error.
TEST_F(InstallerUIControllerTest, AnErrorMessageNeitherStopsNorFailsTheRun) {
  MakeBackend(0);
  test::WriteTextFile(FilePath(backend_.value() + L".script"),
                      "connect\nerror 37055 - 6E6F\nsleep 300\nsuccess\nclose\n"
                      "exit 0\n");
  base::win::ScopedHandle interrupted;
  RunWhen([&] { return OnPage(InstallerWindow::PAGE_WELCOME); },
          [&] { PostCommand(window()->hwnd(), IDC_ACCEPT_BUTTON); });
  RunWhen(
      [&] { return BackendRuns() == 1; },
      [&] {
        // Held open beyond the run: whether it was ever signalled.
        interrupted.Set(::OpenEventW(SYNCHRONIZE, FALSE,
                                     InstallerObjectNames::ForFolder(folder_)
                                         .interrupted_event.c_str()));
      });
  EXPECT_TRUE(RunUI());
  ASSERT_TRUE(interrupted.IsValid());
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT),
            ::WaitForSingleObject(interrupted.Get(), 0));
  EXPECT_EQ(1u, BackendRuns());
  EXPECT_EQ((std::vector<std::string>{"WELCOME", "PROGRESS"}),
            test::GetPageSequence(&controller_.stats()));
  const std::string json = Json();
  EXPECT_TRUE(Contains(json, "\"installation_success\":1"));
  EXPECT_FALSE(Contains(json, "failure_reason"));
}

// A success message may be a nested installer process's, which the backend
// the run launched may still undo: until that backend ends, a confirmed
// cancel cancels the run, and the statistics record that outcome alone.
TEST_F(InstallerUIControllerTest, CancelAfterASuccessMessageCancelsTheRun) {
  MakeBackend(1);
  test::WriteTextFile(
      FilePath(backend_.value() + L".script"),
      "connect\nsuccess\nwait-event " +
          base::WideToUTF8(
              InstallerObjectNames::ForFolder(folder_).interrupted_event) +
          " 40000\nclose\nexit 1\n");
  base::ScopedLogCapture log;
  std::unique_ptr<test::MessageBoxAnswerer> answerer;
  RunWhen([&] { return OnPage(InstallerWindow::PAGE_WELCOME); },
          [&] { PostCommand(window()->hwnd(), IDC_ACCEPT_BUTTON); });
  RunWhen([&] { return log.Contains("IPC_MESSAGE_SUCCESS received"); },
          [&] {
            answerer = std::make_unique<test::MessageBoxAnswerer>(
                window()->hwnd(), IDYES);
            ::PostMessageW(window()->hwnd(), WM_CLOSE, 0, 0);
          });
  EXPECT_FALSE(RunUI());
  ASSERT_TRUE(answerer && answerer->Wait());
  const std::string json = Json();
  EXPECT_TRUE(Contains(json, "\"installation_cancelled\":1"));
  EXPECT_TRUE(Contains(json, "\"installation_success\":0"));
}

TEST_F(InstallerUIControllerTest, CancelWhileTheErrorWaitsEndsTheRun) {
  RunWhen([&] { return OnPage(InstallerWindow::PAGE_WELCOME); },
          [&] {
            // The backend ended, and within the delay the user confirmed
            // cancelling.
            controller_.OnInstallerTerminated(false);
            controller_.OnCancel();
          });
  EXPECT_FALSE(RunUI());
  RunFor(InstallerUIController::kPendingErrorDelay * 3);
  EXPECT_FALSE(window());
  EXPECT_EQ((std::vector<std::string>{"WELCOME"}),
            test::GetPageSequence(&controller_.stats()));
  // The accept that a current-user switch would make never happens.
  EXPECT_FALSE(settings_->IsStatusPending());
  EXPECT_TRUE(Contains(Json(), "\"installation_cancelled\":1"));
}

TEST_F(InstallerUIControllerTest, BackendEndsWhileTheCancelBoxIsUp) {
  // The backend reports its success only once the box is up, which a poll
  // of the loop sees: a delayed task queued before the box opened, as the
  // controller's own are, that runs inside the box's modal loop.
  const std::wstring box_up_name =
      L"KelvoUITestBoxUp" + base::NumberToString16(::GetCurrentProcessId());
  base::win::ScopedHandle box_up(
      ::CreateEventW(nullptr, TRUE, FALSE, box_up_name.c_str()));
  ASSERT_TRUE(box_up.IsValid());
  backend_ = test::MakeScriptedBackend(package_, L"installer.exe", 0, 0);
  test::WriteTextFile(FilePath(backend_.value() + L".script"),
                      "connect\nwait-event " + base::WideToUTF8(box_up_name) +
                          " 40000\nsuccess\nclose\nexit 0\n");
  HWND box = nullptr;
  RunWhen(
      [&] {
        box = window() ? test::FindMessageBox(window()->hwnd()) : nullptr;
        return box != nullptr;
      },
      [&] { ::SetEvent(box_up.Get()); });
  // When the loop never sees the box, or the box never goes, RunUI ends
  // the run after its limit, and the test fails.
  RunWhen([&] { return OnPage(InstallerWindow::PAGE_WELCOME); },
          [&] { PostCommand(window()->hwnd(), IDC_ACCEPT_BUTTON); });
  RunWhen([&] { return BackendRuns() == 1; },
          [&] { ::PostMessageW(window()->hwnd(), WM_CLOSE, 0, 0); });
  // The box stays up until the backend's success ends the run, which
  // closes it with the window.
  EXPECT_TRUE(RunUI());
  RunFor(InstallerUIController::kPendingErrorDelay * 3);
  ASSERT_TRUE(box);
  EXPECT_FALSE(::IsWindow(box));
  EXPECT_EQ(1u, BackendRuns());
  EXPECT_FALSE(window());
  const std::string json = Json();
  EXPECT_TRUE(Contains(json, "\"installation_success\":1"));
  EXPECT_FALSE(Contains(json, "installation_cancelled"));
}

// The update server cannot be reached: the fetcher gives up before the user
// accepts, Accept fetches again, and its failure shows the download error
// once the backend, which waited for the package, has ended. The full
// installer is offered from the second error on.
TEST_F(InstallerUIControllerTest, FailedDownloadIsShownAndAcceptFetchesAgain) {
  ASSERT_NO_FATAL_FAILURE(UsePayload("eyJ1dG0iOiB7fX0="));
  ASSERT_EQ(PAYLOAD_TYPE_TRACKING_DATA, payload_->payload_type());
  const std::wstring download_error =
      l10n::GetLocalizedString(IDS_ERROR_DOWNLOAD);
  AcceptAfterTheFetcherGaveUp();
  RunWhen([&] { return OnPage(InstallerWindow::PAGE_ERROR); },
          [&] {
            EXPECT_EQ(download_error,
                      test::GetControlText(window()->hwnd(), IDC_STATUS_TEXT));
            EXPECT_FALSE(FullInstallerOffered());
            EXPECT_TRUE(FetchesEnded(PackageFetcher::kMaxFailedAttempts + 1));
            PostCommand(window()->hwnd(), IDC_TRY_AGAIN_BUTTON);
          });
  RunWhen(
      [&] {
        return OnPage(InstallerWindow::PAGE_ERROR) &&
               test::GetPageSequence(&controller_.stats()).size() == 5;
      },
      [&] {
        EXPECT_EQ(download_error,
                  test::GetControlText(window()->hwnd(), IDC_STATUS_TEXT));
        EXPECT_TRUE(FullInstallerOffered());
        EXPECT_TRUE(FetchesEnded(PackageFetcher::kMaxFailedAttempts + 2));
        controller_.OnCancel();
      });
  EXPECT_FALSE(RunUI());
  EXPECT_EQ((std::vector<std::string>{"WELCOME", "PROGRESS", "ERROR",
                                      "PROGRESS", "ERROR"}),
            test::GetPageSequence(&controller_.stats()));
  EXPECT_EQ(2u, BackendRuns());
  EXPECT_TRUE(Contains(Json(), "\"failure_reason\":\"Fetcher error\""));
}

// A full installer whose own package cannot be unpacked shows the unpacking
// error.
TEST_F(InstallerUIControllerTest, FailedUnpackingShowsItsOwnError) {
  ASSERT_NO_FATAL_FAILURE(
      UsePayload(std::string("7z\xBC\xAF\x27\x1C", 6) + "broken header"));
  ASSERT_EQ(PAYLOAD_TYPE_FULL_PACKAGE, payload_->payload_type());
  AcceptAfterTheFetcherGaveUp();
  RunWhen([&] { return OnPage(InstallerWindow::PAGE_ERROR); },
          [&] {
            EXPECT_EQ(l10n::GetLocalizedString(IDS_ERROR_EXTRACTION),
                      test::GetControlText(window()->hwnd(), IDC_STATUS_TEXT));
            controller_.OnCancel();
          });
  EXPECT_FALSE(RunUI());
  EXPECT_EQ(1u, BackendRuns());
}

TEST_F(InstallerUIControllerTest, RunImmediatelyInstallsWithoutAClick) {
  MakeBackend(0);
  EXPECT_TRUE(RunUI(/*run_immediately=*/true));
  EXPECT_EQ(1u, BackendRuns());
  EXPECT_EQ((std::vector<std::string>{"PROGRESS"}),
            test::GetPageSequence(&controller_.stats()));
  EXPECT_TRUE(Contains(Json(), "\"run_immediately\":1"));
}

TEST_F(InstallerUIControllerTest, AcceptWhileTheStatusIsComputedWaitsForIt) {
  MakeBackend(0);
  const FilePath other = temp_.GetPath().Append(L"Elsewhere");
  RunWhen([&] { return OnPage(InstallerWindow::PAGE_WELCOME); },
          [&] {
            settings_->SelectInstallFolder(other);
            ASSERT_TRUE(settings_->IsStatusPending());
            controller_.OnAccept();
            EXPECT_EQ(0u, BackendRuns());
          });
  EXPECT_TRUE(RunUI());
  ASSERT_EQ(1u, BackendRuns());
  // The backend installs where the user pointed, not where the status was.
  EXPECT_TRUE(Contains(test::StandInRuns(backend_)[0],
                       base::WideToUTF8(other.value())));
}

TEST_F(InstallerUIControllerTest, RefusedElevationTurnsIntoCurrentUserInstall) {
  MakeBackend(0);
  MakeSettings();
  ASSERT_TRUE(settings_->GetOption(ALL_USERS_FLAG));
  RunWhen([&] { return OnPage(InstallerWindow::PAGE_WELCOME); },
          [&] {
            // What the backend reports when the user refused elevation.
            controller_.OnError(IDS_ERROR_ELEVATION_FAILED, std::wstring(),
                                "elevation refused");
            controller_.OnInstallerTerminated(false);
          });
  EXPECT_TRUE(RunUI());
  EXPECT_FALSE(settings_->GetOption(ALL_USERS_FLAG));
  // The writable folder stays; no error page was shown.
  EXPECT_EQ(folder_, settings_->GetStatus().folder());
  EXPECT_EQ((std::vector<std::string>{"WELCOME", "PROGRESS"}),
            test::GetPageSequence(&controller_.stats()));
  ASSERT_EQ(1u, BackendRuns());
  EXPECT_TRUE(Contains(test::StandInRuns(backend_)[0], "--allusers=0"));
}

TEST_F(InstallerUIControllerTest, RefusedElevationInAFolderNeedingItIsShown) {
  command_line_ = base::CommandLine::FromString(
      L"installer.exe --launchkelvo=0 --allusers=1 " +
      std::wstring(test::kNoUpdateServerSwitches) + L" --installfolder=" +
      folder_.value());
  FakeSecurityAccess security;
  security.set_admin(false, false);
  SecurityAccess::ScopedOverrideForTesting security_override(&security);
  // Nobody may write where the folder would be made.
  security.SetObject(folder_.DirName().value(), L"O:SYG:SYD:(A;;FA;;;SY)");
  ASSERT_TRUE(base::CreateDirectory(folder_.DirName()));
  MakeSettings();
  while (settings_->IsStatusPending())
    RunFor(kPoll);
  ASSERT_FALSE(settings_->GetStatus().has_write_access());
  RunWhen([&] { return OnPage(InstallerWindow::PAGE_WELCOME); },
          [&] {
            controller_.OnError(IDS_ERROR_ELEVATION_FAILED, std::wstring(),
                                "elevation refused");
            controller_.OnInstallerTerminated(false);
          });
  RunWhen([&] { return OnPage(InstallerWindow::PAGE_ERROR); },
          [&] {
            EXPECT_EQ(l10n::GetLocalizedString(IDS_ERROR_ELEVATION_FAILED),
                      test::GetControlText(window()->hwnd(), IDC_STATUS_TEXT));
            controller_.OnCancel();
          });
  EXPECT_FALSE(RunUI());
  EXPECT_TRUE(settings_->GetOption(ALL_USERS_FLAG));
}

TEST_F(InstallerUIControllerTest, FetcherRequestsAreQueuedAndAllAnswered) {
  std::vector<int> replies;
  auto request = [&](int result) {
    controller_.RunUICallbackAndPostReply(
        base::BindOnce([](int result, HWND) { return result; }, result),
        base::ThreadTaskRunnerHandle::Get(),
        base::BindOnce([](std::vector<int>* replies,
                          int reply) { replies->push_back(reply); },
                       &replies));
  };
  RunWhen([&] { return OnPage(InstallerWindow::PAGE_WELCOME); },
          [&] {
            // Two requests before the user accepted: neither runs yet,
            // neither is dropped.
            request(1);
            request(2);
            controller_.OnCancel();
          });
  EXPECT_FALSE(RunUI());
  RunFor(kPoll);
  request(3);  // After the end.
  RunFor(kPoll);
  EXPECT_EQ(
      (std::vector<int>{ERROR_CANCELLED, ERROR_CANCELLED, ERROR_CANCELLED}),
      replies);
}

TEST_F(InstallerUIControllerTest, FullInstallerPageOpensBeforeTheRunEnds) {
  // The page's address goes to a handler that records it, instead of a
  // browser. Machine-wide: Wine's classes root holds only those.
  const FilePath handler =
      test::MakeStandIn(temp_.GetPath(), L"page_handler.exe", 0);
  const std::wstring scheme_key = L"Software\\Classes\\kelvotestpage";
  base::win::RegKey scheme(HKEY_LOCAL_MACHINE, scheme_key.c_str(),
                           KEY_ALL_ACCESS);
  scheme.WriteValue(L"URL Protocol", L"");
  base::win::RegKey(HKEY_LOCAL_MACHINE,
                    (scheme_key + L"\\shell\\open\\command").c_str(),
                    KEY_ALL_ACCESS)
      .WriteValue(nullptr, (L"\"" + handler.value() + L"\" \"%1\"").c_str());
  BrandingConfig::ScopedOverrideForTesting branding(
      "{\"product_name\": \"Kelvo\", \"urls\": {\"download_full_windows\": "
      "\"kelvotestpage://full/?opsys=windows\"}}");
  base::ScopedLogCapture log;
  AskForTheFullPackage();
  ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, scheme_key.c_str());
  EXPECT_TRUE(log.Contains("Downloading full package with default browser"));
  EXPECT_TRUE(Contains(Json(), "\"installation_cancelled\":2"));
  const std::vector<std::string> runs = WaitForRuns(handler);
  ASSERT_EQ(1u, runs.size());
  EXPECT_TRUE(Contains(runs[0],
                       "kelvotestpage://full/?opsys=windows&product=Kelvo%"
                       "20developer"));
}

TEST_F(InstallerUIControllerTest, FullInstallerPageOpensInIEWhenWeHandleWeb) {
  // The browser at the install folder handles web links: the page goes to
  // Internet Explorer, a stand-in in the program files folder of this test.
  test::ScopedHttpHandler http_handler(L"KelvoUIControllerTestHTML");
  http_handler.SetCommand(L"\"" + folder_.Append(L"launcher.exe").value() +
                          L"\" -- \"%1\"");
  const FilePath program_files = temp_.GetPath().Append(L"Program Files");
  const FilePath ie = test::MakeStandIn(
      program_files.Append(L"Internet Explorer"), L"iexplore.exe", 0);
  base::ScopedEnvironmentVariableOverride program_files_variable(
      "ProgramFiles", base::WideToUTF8(program_files.value()));
  BrandingConfig::ScopedOverrideForTesting branding(
      "{\"product_name\": \"Kelvo\", \"urls\": {\"download_full_windows\": "
      "\"kelvotestpage://full/?opsys=windows\"}}");
  base::ScopedLogCapture log;
  AskForTheFullPackage();
  EXPECT_TRUE(log.Contains("Downloading full package with IE"));
  EXPECT_TRUE(Contains(Json(), "\"installation_cancelled\":2"));
  const std::vector<std::string> runs = WaitForRuns(ie);
  ASSERT_EQ(1u, runs.size());
  // The address is one argument; no scheme handler of the machine took it.
  EXPECT_TRUE(Contains(runs[0],
                       "\"kelvotestpage://full/"
                       "?opsys=windows&product=Kelvo%20developer\""));
}

TEST_F(InstallerUIControllerTest, WithoutAWindowTheRunEndsWithFailure) {
  // The main dialog's rich edit class is gone: the dialog cannot be made.
  MakeSettings();
  WNDCLASSEXW rich_edit = {sizeof(rich_edit)};
  HMODULE library = ::LoadLibraryW(L"Msftedit.dll");
  ASSERT_TRUE(::GetClassInfoExW(library, L"RICHEDIT50W", &rich_edit));
  ASSERT_TRUE(::UnregisterClassW(L"RICHEDIT50W", rich_edit.hInstance));
  base::ScopedLogCapture log;
  const bool result = RunUI();
  ::RegisterClassExW(&rich_edit);
  ::FreeLibrary(library);
  EXPECT_FALSE(result);
  EXPECT_TRUE(log.Contains("Window creation failed."));
  EXPECT_TRUE(Contains(
      Json(), "\"failure_reason\":\"Could not initialize installer window\""));
}

TEST(InstallProgressTest, WeightsThePhases) {
  InstallProgress progress;
  EXPECT_EQ(1303, progress.Maximum());
  EXPECT_EQ(0, progress.Position());
  progress.SetPhase(1);
  progress.SetTotal(1000);
  progress.SetCurrent(500);
  EXPECT_EQ(501, progress.Position());
  // Beyond the total, the phase ends where it ends.
  progress.SetCurrent(5000);
  EXPECT_EQ(1001, progress.Position());
  // 200 MB of download: 1000 times the bytes does not fit 32 bits.
  progress.SetTotal(200 * 1024 * 1024);
  progress.SetCurrent(150 * 1024 * 1024);
  EXPECT_EQ(751, progress.Position());
  // No total: nothing of the phase, and current is not taken.
  progress.SetPhase(2);
  progress.SetTotal(0);
  progress.SetCurrent(7);
  EXPECT_EQ(1001, progress.Position());
  // Additional files do not move the bar.
  progress.SetPhase(InstallProgress::kAdditionalFilesPhase);
  progress.SetTotal(10);
  progress.SetCurrent(5);
  EXPECT_EQ(1201, progress.Position());
  // The backend's steps start with the first one done.
  progress.SetPhase(5);
  progress.SetTotalSteps(4);
  EXPECT_EQ(1203 + 25, progress.Position());
  progress.Step();
  progress.Complete();
  EXPECT_EQ(1303, progress.Position());
  progress.SetPhase(9);
  EXPECT_EQ(5, progress.phase());
}

TEST(InstallerUILockTest, SecondInstanceFindsTheFirstAndTheFileGoes) {
  base::ScopedTempDir temp;
  ASSERT_TRUE(temp.CreateUniqueTempDir());
  std::optional<InstallerUILock> first(std::in_place);
  EXPECT_EQ(::GetCurrentThreadId(), first->Acquire(temp.GetPath()));
  const FilePath file = temp.GetPath().Append(L"installer.lck");
  EXPECT_TRUE(base::PathExists(file));

  // Another thread's instance: it learns the owner and does not take over.
  DWORD seen = 0;
  std::thread([&] {
    InstallerUILock second;
    seen = second.Acquire(temp.GetPath());
  }).join();
  EXPECT_EQ(::GetCurrentThreadId(), seen);
  EXPECT_TRUE(base::PathExists(file));
  first.reset();
  EXPECT_FALSE(base::PathExists(file));
}

// installer.exe without `silent`, as a user starts it.
class InteractiveInstallTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.CreateUniqueTempDir());
    ASSERT_TRUE(dir_.CreateUniqueTempDir());
    package_ = dir_.GetPath().Append(L"package");
    ASSERT_TRUE(base::CreateDirectory(package_));
    folder_ = dir_.GetPath().Append(L"Programs").Append(L"KelvoUI");
    test::MakeSamplePackage(package_);
  }
  void TearDown() override {
    test::RemoveRegisteredKeys(folder_.Append(L"installation_status.xml"));
  }

  base::win::ScopedCOMInitializer com_;
  base::ScopedTempDir temp_;
  base::ScopedTempDir dir_;
  FilePath package_;
  FilePath folder_;
  test::ScopedRegistryValue last_path_{HKEY_CURRENT_USER,
                                       GetProductRegistryKey(),
                                       L"Last developer Install Path"};
};

struct WindowSearch {
  std::wstring program;  // The image of the process the window belongs to.
  HWND found = nullptr;
};

// The visible installer window of the process running |search->program|;
// other tests may show installer windows at the same time.
BOOL CALLBACK FindInstallerWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  wchar_t title[64] = {};
  ::GetWindowTextW(window, title, 64);
  if (!::IsWindowVisible(window) || std::wstring(title) != L"Kelvo Installer")
    return TRUE;
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  base::win::ScopedHandle process(
      ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  wchar_t image[MAX_PATH * 2] = {};
  DWORD size = MAX_PATH * 2;
  if (process.IsValid() &&
      ::QueryFullProcessImageNameW(process.Get(), 0, image, &size) &&
      base::FilePath::CompareEqualIgnoreCase(image, search->program)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

TEST_F(InteractiveInstallTest, AcceptInstallsThroughTheBackend) {
  test::InstallerRunResult run;
  std::thread installer([&] {
    run = test::RunProgram(package_.Append(L"installer.exe"),
                           L"--allusers=0 --launchkelvo=0 --desktopshortcut=0 "
                           L"--startmenushortcut=0 --quicklaunchshortcut=0 "
                           L"--pintotaskbar=0 --v=1 " +
                               std::wstring(test::kNoUpdateServerSwitches) +
                               L" --installfolder=" + folder_.value(),
                           temp_.GetPath());
  });
  HWND window = nullptr;
  for (int i = 0; i < 1000 && !window; ++i) {
    ::Sleep(30);
    WindowSearch search{package_.Append(L"installer.exe").value()};
    ::EnumWindows(&FindInstallerWindow, reinterpret_cast<LPARAM>(&search));
    window = search.found;
    // Accept turns on once the folder's status is in.
    if (window && !::IsWindowEnabled(::GetDlgItem(window, IDC_ACCEPT_BUTTON)))
      window = nullptr;
  }
  if (window) {
    ::SendMessageW(::GetDlgItem(window, IDC_ACCEPT_BUTTON), BM_CLICK, 0, 0);
  }
  installer.join();
  ASSERT_TRUE(window);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(0, run.exit_code);
  EXPECT_TRUE(base::PathExists(folder_.Append(L"installation_status.xml")));
  const std::string log = test::ReadInstallerLogs(temp_.GetPath());
  EXPECT_TRUE(Contains(log, "Running UI controller"));
  const size_t stats = log.find("Installer statistics: ");
  ASSERT_NE(std::string::npos, stats);
  const std::string json =
      log.substr(stats + 22, log.find('\n', stats) - stats - 22);
  std::unique_ptr<base::Value> value = base::JSONReader::Read(json);
  const base::DictionaryValue* root = nullptr;
  const base::ListValue* pages = nullptr;
  ASSERT_TRUE(value && value->GetAsDictionary(&root));
  ASSERT_TRUE(root->GetList("ui.page_sequence", &pages));
  std::vector<std::string> sequence;
  for (size_t i = 0; i < pages->GetSize(); ++i) {
    const base::DictionaryValue* page = nullptr;
    std::string type;
    if (pages->GetDictionary(i, &page) && page->GetString("page_type", &type))
      sequence.push_back(type);
  }
  EXPECT_EQ((std::vector<std::string>{"WELCOME", "PROGRESS"}), sequence);
  int run_immediately = -1;
  EXPECT_TRUE(root->GetInteger("run_immediately", &run_immediately));
  EXPECT_EQ(0, run_immediately);
}

// A full installer with a window: the package fetcher unpacks the
// installer's own payload while the window is up, and run-immediately
// installs it without a click.
TEST_F(InteractiveInstallTest, FullInstallerUnpacksAndInstallsItsPackage) {
  const FilePath full_installer = dir_.GetPath().Append(L"kelvo_full.exe");
  ASSERT_TRUE(test::CopyWithPayload(
      test::GetBuildBinDir().Append(L"installer_standalone.exe"),
      test::MakeArchiveOfTree(package_), full_installer));
  test::InstallerRunResult run = test::RunProgram(
      full_installer,
      L"--runimmediately --allusers=0 --launchkelvo=0 --desktopshortcut=0 "
      L"--startmenushortcut=0 --quicklaunchshortcut=0 --pintotaskbar=0 " +
          std::wstring(test::kNoUpdateServerSwitches) + L" --installfolder=" +
          folder_.value(),
      temp_.GetPath());
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(0, run.exit_code);
  EXPECT_TRUE(base::PathExists(folder_.Append(L"installation_status.xml")));
  const std::string log = test::ReadInstallerLogs(temp_.GetPath());
  EXPECT_TRUE(Contains(log, "Running UI controller"));
  EXPECT_TRUE(Contains(log, "Package ready."));
  test::ExpectOnlyLogsIn(temp_.GetPath().Append(GetInstallerTempFolderName()));
}

TEST_F(InteractiveInstallTest, SecondInstanceBringsTheFirstToTheFront) {
  const FilePath downloads =
      temp_.GetPath().Append(GetInstallerTempFolderName());
  ASSERT_TRUE(base::CreateDirectory(downloads));
  InstallerUILock first;
  ASSERT_EQ(::GetCurrentThreadId(), first.Acquire(downloads));
  HWND own = ::CreateWindowExW(0, L"STATIC", L"first", WS_POPUP | WS_VISIBLE, 0,
                               0, 50, 50, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(own) << ::GetLastError();
  // Another program's window is in front until the second instance runs.
  HWND other = nullptr;
  std::thread other_program([&other] {
    other = ::CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 60,
                              0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    ::SetForegroundWindow(other);
  });
  other_program.join();
  ASSERT_NE(own, ::GetForegroundWindow());
  const base::TimeTicks start = base::TimeTicks::Now();
  test::InstallerRunResult run =
      test::RunProgram(package_.Append(L"installer.exe"),
                       std::wstring(test::kNoUpdateServerSwitches) +
                           L" --installfolder=" + folder_.value(),
                       temp_.GetPath());
  EXPECT_TRUE(run.finished);
  EXPECT_NE(0, run.exit_code);
  EXPECT_LT(base::TimeTicks::Now() - start, base::TimeDelta::FromSeconds(30));
  EXPECT_TRUE(Contains(test::ReadInstallerLogs(temp_.GetPath()),
                       "Another instance of the installer UI is running. "
                       "Switching to it"));
  EXPECT_FALSE(base::PathExists(folder_));
  EXPECT_EQ(own, ::GetForegroundWindow());
  ::DestroyWindow(own);
}

}  // namespace
}  // namespace installer
