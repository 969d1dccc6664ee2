// The front end of an installation without a window (`silent`): once the
// Settings know their Status it starts the installation through an
// InstallerRunner, waits until the launched backend process has ended,
// records the run's statistics and returns whether the installation
// succeeded. It never shows anything; every problem ends the run with
// failure.
//
//   SilentInstallerController controller;
//   bool succeeded =
//       controller.Run(&settings, payload_reader, download_folder);
//
// The outcome is the runner's verdict at the launched backend's end, the
// one the window goes by too (InstallerOutcome): its exit code. Messages
// only inform, since any program can write them; none ends the run while
// the launched backend still works: a success may come from a nested
// installer process, which its parent may still undo.
//
// Inside an unpacked package (no payload reader) the package is ready at
// once. Any other installer (a net installer with tracking data, one given
// "server-tracking-blob", a full installer) obtains it through a
// PackageFetcher, started at once: the backend is launched meanwhile and
// waits for the package; a fetcher that gives up after its retries ends
// the run with failure.
//
// Before the package is handed to the backend, the pref default overrides
// of the tracking data are fetched into it; at the end the statistics are
// sent, unless the run was a successful autoupdate. Nobody can answer a
// dialog, so every request for one (proxy credentials) is refused.
// Everything runs on the calling thread, which must have a message loop.

#ifndef DESKTOP_WINDOWS_INSTALLER_ROLES_SILENT_INSTALLER_CONTROLLER_H_
#define DESKTOP_WINDOWS_INSTALLER_ROLES_SILENT_INSTALLER_CONTROLLER_H_

#include <memory>
#include <string>

#include "base/files/file_path.h"
#include "base/memory/weak_ptr.h"
#include "base/run_loop.h"
#include "base/time/time.h"
#include "desktop/windows/installer/installer_observer.h"
#include "desktop/windows/installer/installer_stats.h"
#include "desktop/windows/installer/package_fetcher/package_fetcher_observer.h"
#include "desktop/windows/installer/settings_observer.h"
#include "desktop/windows/installer/wininet/ui_callback_runner.h"

namespace installer {

class InstallerRunner;
class PackageFetcher;
class PayloadReader;
class PrefDefaultOverridesFetcher;
class Settings;

class SilentInstallerController : public SettingsObserver,
                                  public UICallbackRunner,
                                  public PackageFetcherObserver,
                                  public InstallerObserver {
 public:
  // How long the run waits for a backend it interrupted (the package could
  // not be fetched) to end.
  static constexpr base::TimeDelta kInterruptedBackendTimeLimit =
      base::TimeDelta::FromSeconds(60);

  SilentInstallerController();
  SilentInstallerController(const SilentInstallerController&) = delete;
  SilentInstallerController& operator=(const SilentInstallerController&) =
      delete;
  // Ends a pref overrides fetch, stops the runner, which interrupts a
  // backend that still runs, and then the package fetcher, which deletes
  // what it downloaded.
  ~SilentInstallerController() override;

  // Performs the whole installation of |settings|. |payload_reader| is null
  // when the installer runs inside an unpacked package; |download_folder|
  // is where a package would be downloaded.
  bool Run(Settings* settings,
           PayloadReader* payload_reader,
           const base::FilePath& download_folder);

  // SettingsObserver:
  void OnOptionChanged() override {}
  void OnLanguageChanged() override {}
  void OnPathChanged() override;

  // UICallbackRunner:
  void RunUICallbackAndPostReply(
      base::OnceCallback<int(HWND)> ui_callback,
      scoped_refptr<base::SingleThreadTaskRunner> reply_task_runner,
      base::OnceCallback<void(int)> reply) override;

  // PackageFetcherObserver:
  void SetTotalProgress(int total) override {}
  void SetCurrentProgress(int current) override {}
  void NotifyStalled(int error) override {}
  void NotifyStatusChanged(int status) override;

  // InstallerObserver:
  void OnInstallFolderCreated() override;
  void OnStartingNewMainProcess(bool value) override;
  void OnReturnedToPreviousMainProcess() override;
  void OnTotalSteps(int total_steps) override;
  void OnStep() override;
  void OnError(int code,
               const std::wstring& argument,
               const std::string& message) override;
  void OnSuccess() override;
  void OnInstallerTerminated(bool succeeded) override;

 private:
  // False (logged) when the run cannot go on.
  bool InitWithPayload(PayloadReader* payload_reader,
                       const base::FilePath& download_folder);
  bool InitInsidePackage();
  // The fetcher's retries are spent: the backend that waits for the
  // package is interrupted, and its end ends the run.
  void OnFetcherGaveUp();
  // Ends the run once the interrupted backend has ended, or after
  // kInterruptedBackendTimeLimit.
  void TerminateAfterBackend();
  void Start();
  void HandleTrackingData();
  void OnTrackingDataDone();
  // Ends the run, once: records the result and quits the loop.
  void Terminate();

  base::RunLoop run_loop_;
  bool result_ = false;
  bool terminated_ = false;
  bool started_ = false;
  // The package came from the network, which the statistics may then wait
  // for longer.
  bool package_downloaded_ = false;
  bool package_ready_ = false;
  // A failure reason is recorded; the first one stays.
  bool error_reported_ = false;
  bool success_reported_ = false;
  // From the payload; empty when none.
  std::string tracking_data_;
  Settings* settings_ = nullptr;
  InstallerStats stats_{this};
  std::unique_ptr<PackageFetcher> package_fetcher_;
  std::unique_ptr<InstallerRunner> runner_;
  std::unique_ptr<PrefDefaultOverridesFetcher> pref_overrides_fetcher_;

  base::WeakPtrFactory<SilentInstallerController> weak_factory_{this};
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_ROLES_SILENT_INSTALLER_CONTROLLER_H_
