// The front end of an installation with a window (a run without `silent`).
// One installer window runs per user and product (the UI lock). Nothing is
// installed until the user accepts (or run-immediately accepts on the
// user's behalf); download and installation progress share one bar; errors
// of the fetcher and of the backend wait until the backend has ended and
// are then shown on the error page, where the user can try again, get the
// full installer or cancel. An all-users install whose elevation was
// refused turns into a current-user install. The run has succeeded once the
// runner tells the launched backend's success (its verdict, never a
// message); the user who cancels before that has cancelled it.
//
//   InstallerUIController controller;
//   bool installed = controller.RunUI(&settings, payload_reader,
//                                     download_folder, run_immediately);
//
// Everything runs on the calling thread, which must have a UI message loop.
// Posted and delayed tasks are bound to weak pointers and do nothing once
// the run has ended.

#ifndef DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_UI_CONTROLLER_H_
#define DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_UI_CONTROLLER_H_

#include <windows.h>

#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "base/files/file_path.h"
#include "base/memory/weak_ptr.h"
#include "base/run_loop.h"
#include "base/time/time.h"
#include "desktop/windows/installer/installer_observer.h"
#include "desktop/windows/installer/installer_stats.h"
#include "desktop/windows/installer/package_fetcher/package_fetcher_observer.h"
#include "desktop/windows/installer/settings_observer.h"
#include "desktop/windows/installer/ui/install_progress.h"
#include "desktop/windows/installer/ui/installer_ui_lock.h"
#include "desktop/windows/installer/ui/installer_window_delegate.h"
#include "desktop/windows/installer/wininet/ui_callback_runner.h"

namespace installer {

class InstallerRunner;
class InstallerWindow;
class PackageFetcher;
class PayloadReader;
class PrefDefaultOverridesFetcher;
class Settings;

class InstallerUIController : public SettingsObserver,
                              public InstallerWindowDelegate,
                              public UICallbackRunner,
                              public PackageFetcherObserver,
                              public InstallerObserver {
 public:
  // How long after a failed backend its error is shown: messages still on
  // their way arrive first.
  static constexpr base::TimeDelta kPendingErrorDelay =
      base::TimeDelta::FromMilliseconds(100);
  // The result a UI request gets when the run has ended.
  static constexpr int kRequestCancelled = ERROR_CANCELLED;

  InstallerUIController();
  InstallerUIController(const InstallerUIController&) = delete;
  InstallerUIController& operator=(const InstallerUIController&) = delete;
  ~InstallerUIController() override;

  // Runs the whole interactive installation of |settings|; true when it
  // succeeded. |payload_reader| is null inside an unpacked package;
  // |download_folder| holds downloads and the UI lock. False at once, with
  // the first window brought to the front, when another installer window
  // runs.
  bool RunUI(Settings* settings,
             PayloadReader* payload_reader,
             const base::FilePath& download_folder,
             bool run_immediately);

  // SettingsObserver:
  void OnOptionChanged() override {}
  void OnLanguageChanged() override {}
  void OnPathChanged() override;

  // InstallerWindowDelegate:
  void OnAccept() override;
  void OnCancel() override;
  void OnFullPackage() override;

  // UICallbackRunner:
  void RunUICallbackAndPostReply(
      base::OnceCallback<int(HWND)> callback,
      scoped_refptr<base::SingleThreadTaskRunner> reply_task_runner,
      base::OnceCallback<void(int)> reply) override;

  // PackageFetcherObserver:
  void SetTotalProgress(int total) override;
  void SetCurrentProgress(int current) override;
  void NotifyStalled(int error) override {}
  void NotifyStatusChanged(int status) override;

  // InstallerObserver:
  void OnInstallFolderCreated() override {}
  void OnStartingNewMainProcess(bool value) override {}
  void OnReturnedToPreviousMainProcess() override {}
  void OnTotalSteps(int total_steps) override;
  void OnStep() override;
  void OnError(int code,
               const std::wstring& message,
               const std::string& detail) override;
  void OnSuccess() override;
  void OnInstallerTerminated(bool succeeded) override;

  // For tests: the window while the run shows one.
  InstallerWindow* window() const { return window_.get(); }
  const InstallProgress& progress() const { return progress_; }
  InstallerStats& stats() { return stats_; }

 private:
  // An error kept until the backend has ended.
  struct PendingError {
    int code;
    std::wstring message;  // The "$1" of the code's text.
    std::string detail;
  };
  // A fetcher's request for user interface, run once the user accepted.
  struct UIRequest {
    base::OnceCallback<int(HWND)> callback;
    scoped_refptr<base::SingleThreadTaskRunner> reply_task_runner;
    base::OnceCallback<void(int)> reply;
  };

  void Init();
  void WriteInitialStats();
  void ObserveSettings(bool observe);
  void HandleTrackingData();
  void OnTrackingDataDone();
  void StoreError(int code,
                  const std::wstring& message,
                  const std::string& detail);
  void HandlePendingError();
  // True when the error was turned into a current-user install.
  bool SwitchToCurrentUser();
  void RunUIRequest(UIRequest request);
  void ShowPhase();
  void UpdateProgressBar();
  void OpenFullInstallerPage();
  void DeleteWindow();
  // Ends the run, once: the window goes, the backend is stopped, the
  // statistics are sent, the loop quits.
  void Terminate();

  // The package fetcher of a run outside an unpacked package; it fetches
  // into |download_folder| and unpacks into the package folder.
  void CreatePackageFetcher(PayloadReader* payload_reader,
                            const base::FilePath& download_folder);
  void StartPackageFetcher();
  bool RetryPackageFetcher();
  // The pref default overrides of the tracking data; runs
  // OnTrackingDataDone when done.
  void FetchPrefDefaultOverrides(const std::string& tracking_data);
  // Sends the statistics and quits the loop when done; false when nothing
  // was sent.
  bool SendStats();

  base::RunLoop run_loop_;
  std::string tracking_data_;
  Settings* settings_ = nullptr;
  bool observing_settings_ = false;
  std::deque<UIRequest> pending_ui_requests_;
  bool installation_started_ = false;
  std::optional<PendingError> pending_error_;
  InstallProgress progress_;
  bool fetcher_gave_up_ = false;
  bool run_immediately_ = false;
  bool package_present_ = false;
  bool package_downloaded_ = false;
  bool error_shown_before_ = false;
  bool accept_pending_ = false;
  bool initial_stats_written_ = false;
  bool handling_tracking_data_ = false;
  bool success_ = false;
  bool terminated_ = false;
  base::FilePath package_folder_;
  InstallerUILock ui_lock_;
  InstallerStats stats_;
  std::unique_ptr<InstallerWindow> window_;
  std::unique_ptr<PackageFetcher> package_fetcher_;
  std::unique_ptr<InstallerRunner> runner_;
  std::unique_ptr<PrefDefaultOverridesFetcher> pref_overrides_fetcher_;

  base::WeakPtrFactory<InstallerUIController> weak_factory_{this};
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_UI_CONTROLLER_H_
