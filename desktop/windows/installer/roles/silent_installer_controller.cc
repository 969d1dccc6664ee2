#include "desktop/windows/installer/roles/silent_installer_controller.h"

#include "base/base_paths.h"
#include "base/bind.h"
#include "base/cpu.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/threading/thread_task_runner_handle.h"
#include "base/win/windows_version.h"
#include "desktop/windows/installer/installer_runner.h"
#include "desktop/windows/installer/package_fetcher/package_fetcher.h"
#include "desktop/windows/installer/package_fetcher/payload_reader.h"
#include "desktop/windows/installer/package_fetcher/pref_default_overrides_fetcher.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/shell_integration.h"
#include "desktop/windows/installer/status.h"

namespace installer {

SilentInstallerController::SilentInstallerController() = default;

SilentInstallerController::~SilentInstallerController() {
  if (settings_)
    settings_->RemoveObserver(this);
  pref_overrides_fetcher_.reset();
  // The runner's destructor interrupts a backend that still runs.
  runner_.reset();
  package_fetcher_.reset();
}

bool SilentInstallerController::Run(Settings* settings,
                                    PayloadReader* payload_reader,
                                    const base::FilePath& download_folder) {
  settings_ = settings;
  settings_->AddObserver(this);
  const bool ready = payload_reader
                         ? InitWithPayload(payload_reader, download_folder)
                         : InitInsidePackage();
  if (!ready) {
    Terminate();
  } else if (!settings_->IsStatusPending()) {
    VLOG(1) << "Settings already obtained. Starting.";
    base::ThreadTaskRunnerHandle::Get()->PostTask(
        FROM_HERE, base::BindOnce(&SilentInstallerController::Start,
                                  weak_factory_.GetWeakPtr()));
  }
  run_loop_.Run();
  LOG(INFO) << "Controller exiting";
  if (runner_)
    runner_->RemoveObserver(this);
  settings_->RemoveObserver(this);
  return result_;
}

bool SilentInstallerController::InitWithPayload(
    PayloadReader* payload_reader,
    const base::FilePath& download_folder) {
  tracking_data_ = RecordPayloadStats(*payload_reader, stats_.root());
  VLOG(1) << "Initializing controller with fetcher.";
  package_fetcher_ = std::make_unique<PackageFetcher>(
      download_folder, stats_.root(), this, this, payload_reader,
      settings_->x64_download(), settings_->GetOption(INSTALL_ASSISTANT),
      settings_->command_line());
  package_fetcher_->Start();
  runner_ = std::make_unique<InstallerRunner>(
      package_fetcher_->package_folder(), package_fetcher_->suite_folder());
  pref_overrides_fetcher_ = std::make_unique<PrefDefaultOverridesFetcher>(
      package_fetcher_->package_folder(), this, settings_->command_line());
  runner_->AddObserver(this);
  return true;
}

bool SilentInstallerController::InitInsidePackage() {
  VLOG(1) << "Initializing controller without fetcher.";
  base::FilePath exe_dir;
  if (!base::PathService::Get(base::DIR_EXE, &exe_dir)) {
    LOG(ERROR) << "Cannot find the folder of the installer executable";
    return false;
  }
  runner_ = std::make_unique<InstallerRunner>(exe_dir, base::FilePath());
  package_ready_ = true;
  pref_overrides_fetcher_ = std::make_unique<PrefDefaultOverridesFetcher>(
      exe_dir, this, settings_->command_line());
  runner_->AddObserver(this);
  return true;
}

void SilentInstallerController::OnPathChanged() {
  if (started_ || terminated_)
    return;
  const Status& status = settings_->GetStatus();
  if (!settings_->GetOption(AUTOUPDATE) &&
      NeedsElevation(settings_->GetOption(ALL_USERS_FLAG),
                     status.has_write_access())) {
    // Nobody can confirm an elevation: the default folder of the current
    // options may need none.
    const base::FilePath folder = settings_->GetDefaultInstallFolder(
        INSTALL_FOLDER_COMMAND_LINE | INSTALL_FOLDER_STANDARD);
    if (!folder.empty() &&
        !base::FilePath::CompareEqualIgnoreCase(folder.value(),
                                                status.folder().value()) &&
        settings_->SelectInstallFolder(folder)) {
      LOG(INFO) << "The folder needs elevation; trying " << folder;
      return;
    }
  }
  VLOG(1) << "Settings obtained. Starting.";
  Start();
}

void SilentInstallerController::Start() {
  if (started_ || terminated_)
    return;
  started_ = true;
  settings_->WriteStats(std::string(), stats_.root());
  if (base::win::GetVersion() < base::win::VERSION_WIN7) {
    LOG(ERROR) << "This version of Kelvo doesn't support windows versions "
                  "prior to Windows 7";
    Terminate();
    return;
  }
  if (!base::CPU().has_sse2()) {
    LOG(ERROR) << "SSE2 not supported by the computer";
    Terminate();
    return;
  }
  if (package_ready_) {
    VLOG(2) << "Got tracking data from package.";
    HandleTrackingData();
  }
  VLOG(2) << "Preparing to run the installer.";
  // A failure has been reported to OnError already.
  if (!runner_->BeginInstallation(settings_))
    Terminate();
}

void SilentInstallerController::HandleTrackingData() {
  const std::string& data = tracking_data_.empty()
                                ? settings_->GetStatus().tracking_data()
                                : tracking_data_;
  stats_.root().SetString("tracking_data", data);
  if (settings_->operation() == OPERATION_UNINSTALLING) {
    OnTrackingDataDone();
    return;
  }
  pref_overrides_fetcher_->Fetch(
      data, base::BindOnce(&SilentInstallerController::OnTrackingDataDone,
                           weak_factory_.GetWeakPtr()));
}

void SilentInstallerController::OnTrackingDataDone() {
  if (terminated_)
    return;
  VLOG(2) << "Tracking data actions done: package complete.";
  runner_->OnPackageReady();
}

void SilentInstallerController::NotifyStatusChanged(int status) {
  if (terminated_)
    return;
  switch (status) {
    case FETCHER_STATUS_FETCHING_ADDRESS:
      VLOG(2) << "Package will be downloaded.";
      package_downloaded_ = true;
      return;
    case FETCHER_STATUS_PACKAGE_READY:
      VLOG(1) << "Package fetched successfully.";
      package_ready_ = true;
      // Before Start (the status may still be computed) Start takes the
      // package as it is.
      if (!started_)
        return;
      VLOG(2) << "Got tracking data from status.";
      HandleTrackingData();
      return;
    case FETCHER_STATUS_INITIALIZATION_FAILED:
    case FETCHER_STATUS_DOWNLOAD_FAILED:
    case FETCHER_STATUS_UNPACKING_FAILED:
      if (!package_fetcher_->Retry())
        OnFetcherGaveUp();
      return;
    default:
      return;
  }
}

void SilentInstallerController::OnFetcherGaveUp() {
  VLOG(1) << "Package fetcher failed.";
  if (!error_reported_)
    stats_.root().SetString("failure_reason", "Fetcher error");
  error_reported_ = true;
  if (runner_->backend_running()) {
    // Its transaction is rolled back before the run ends.
    runner_->Stop();
    TerminateAfterBackend();
    return;
  }
  Terminate();
}

void SilentInstallerController::OnInstallFolderCreated() {}

void SilentInstallerController::OnStartingNewMainProcess(bool value) {}

void SilentInstallerController::OnReturnedToPreviousMainProcess() {}

void SilentInstallerController::OnTotalSteps(int total_steps) {}

void SilentInstallerController::OnStep() {}

void SilentInstallerController::OnError(int code,
                                        const std::wstring& argument,
                                        const std::string& message) {
  if (terminated_)
    return;
  if (!error_reported_)
    stats_.root().SetString("failure_reason", message);
  error_reported_ = true;
  VLOG(2) << "Installer error: terminating";
  // Any program can write an error message: the run ends with the launched
  // backend, whose exit code decides (a backend that failed rolled back
  // first).
  VLOG(2) << "Waiting for the installer backend to end";
}

void SilentInstallerController::TerminateAfterBackend() {
  // The interrupted backend ends soon after; should it not, the run ends
  // anyway.
  base::ThreadTaskRunnerHandle::Get()->PostDelayedTask(
      FROM_HERE,
      base::BindOnce(&SilentInstallerController::Terminate,
                     weak_factory_.GetWeakPtr()),
      kInterruptedBackendTimeLimit);
}

void SilentInstallerController::OnSuccess() {
  if (terminated_)
    return;
  // Possibly from a nested installer process: only the launched backend's
  // end settles the outcome.
  VLOG(2) << "Installer succeeded: terminating";
  VLOG(2) << "Waiting for the installer backend to end";
  success_reported_ = true;
}

void SilentInstallerController::OnInstallerTerminated(bool succeeded) {
  if (terminated_)
    return;
  if (!succeeded && success_reported_)
    LOG(WARNING) << "The installer backend failed after a success message";
  if (succeeded && error_reported_) {
    LOG(WARNING) << "Dropping the failure reason: the installation "
                    "succeeded";
    stats_.root().Remove("failure_reason");
  }
  result_ = succeeded;
  VLOG(2) << "Installer ended. Success is " << result_ << ". terminating";
  // The runner reports the end after the backend's last message, so
  // nothing is left in flight.
  Terminate();
}

void SilentInstallerController::Terminate() {
  if (terminated_) {
    VLOG(2) << "Termination already done.";
    return;
  }
  terminated_ = true;
  stats_.root().SetInteger("installation_success", result_ ? 1 : 0);
  if (settings_->GetOption(ENABLE_INSTALLER_STATS) &&
      !(settings_->GetOption(AUTOUPDATE) && result_)) {
    LOG(INFO) << "Sending stats";
    // The sending ends the run, however it goes.
    if (!stats_.Send(settings_->command_line(), run_loop_.QuitClosure(),
                     package_downloaded_)) {
      run_loop_.Quit();
    }
  } else {
    LOG(INFO) << "Not sending stats";
    run_loop_.Quit();
  }
}

void SilentInstallerController::RunUICallbackAndPostReply(
    base::OnceCallback<int(HWND)> ui_callback,
    scoped_refptr<base::SingleThreadTaskRunner> reply_task_runner,
    base::OnceCallback<void(int)> reply) {
  LOG(ERROR) << "Cannot display UI requested by fetcher when running silently";
  reply_task_runner->PostTask(FROM_HERE, base::BindOnce(std::move(reply), 0));
}

}  // namespace installer
