#include "desktop/windows/installer/ui/installer_ui_controller.h"

#include <shellapi.h>

#include <utility>

#include "base/base_paths.h"
#include "base/bind.h"
#include "base/cpu.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/strings/string_util.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"
#include "base/threading/thread_task_runner_handle.h"
#include "base/win/windows_version.h"
#include "desktop/windows/installer/installation.h"
#include "desktop/windows/installer/installer_runner.h"
#include "desktop/windows/installer/package_fetcher/package_fetcher.h"
#include "desktop/windows/installer/package_fetcher/payload_reader.h"
#include "desktop/windows/installer/package_fetcher/pref_default_overrides_fetcher.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/product/version_info.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/shell_integration.h"
#include "desktop/windows/installer/status.h"
#include "desktop/windows/installer/ui/installer_window.h"
#include "desktop/windows/installer/ui/win32_dialog_dispatcher.h"
#include "desktop/windows/rc_l10n_handler/rc_l10n_handler.h"

namespace installer {

namespace {

constexpr int kInstallingPhase = 5;
constexpr int kPackageReadyPhase = 4;
constexpr char kFetcherError[] = "Fetcher error";
constexpr wchar_t kInternetExplorerPath[] =
    L"%ProgramFiles%\\Internet Explorer\\iexplore.exe";

// |text| with its environment variables expanded; as it is when that fails.
std::wstring ExpandEnvironmentVariables(const std::wstring& text) {
  const DWORD size = ::ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  std::wstring expanded(size, L'\0');
  const DWORD written =
      size ? ::ExpandEnvironmentStringsW(text.c_str(), expanded.data(), size)
           : 0;
  if (written == 0 || written > size) {
    PLOG(WARNING) << "Cannot expand " << text;
    return text;
  }
  expanded.resize(written - 1);
  return expanded;
}

// A button's text as a sentence quotes it: "Get &full installer" and
// "完整安装程序(&F)" lose their accelerators.
std::wstring WithoutAccelerator(std::wstring text) {
  const size_t marked = text.find(L"(&");
  if (marked != std::wstring::npos && marked + 3 < text.size() &&
      text[marked + 3] == L')') {
    text.erase(marked, 4);
  }
  base::ReplaceSubstringsAfterOffset(&text, 0, L"&", L"");
  while (!text.empty() && text.back() == L' ')
    text.pop_back();
  return text;
}

}  // namespace

InstallerUIController::InstallerUIController()
    : run_loop_(Win32DialogDispatcher::GetInstance()), stats_(this) {}

InstallerUIController::~InstallerUIController() {
  if (runner_)
    runner_->RemoveObserver(this);
  ObserveSettings(false);
  pref_overrides_fetcher_.reset();
  // Interrupts a backend that still runs, before the package goes.
  runner_.reset();
  package_fetcher_.reset();
  window_.reset();
}

bool InstallerUIController::RunUI(Settings* settings,
                                  PayloadReader* payload_reader,
                                  const base::FilePath& download_folder,
                                  bool run_immediately) {
  const DWORD owner = ui_lock_.Acquire(download_folder);
  if (owner != 0 && owner != ::GetCurrentThreadId()) {
    LOG(INFO) << "Another instance of the installer UI is running. "
                 "Switching to it";
    InstallerUILock::BringThreadWindowToFront(owner);
    return false;
  }
  settings_ = settings;
  run_immediately_ = run_immediately;
  package_present_ = !payload_reader;
  if (payload_reader) {
    tracking_data_ = RecordPayloadStats(*payload_reader, stats_.root());
    VLOG(1) << "Initializing controller with fetcher.";
    CreatePackageFetcher(payload_reader, download_folder);
  } else {
    VLOG(1) << "Initializing controller without fetcher.";
    progress_.SetPhase(kPackageReadyPhase);
    if (!base::PathService::Get(base::DIR_EXE, &package_folder_))
      LOG(ERROR) << "Cannot find the folder of the installer executable";
  }
  runner_ = std::make_unique<InstallerRunner>(
      package_folder_,
      package_fetcher_ ? package_fetcher_->suite_folder() : base::FilePath());
  pref_overrides_fetcher_ = std::make_unique<PrefDefaultOverridesFetcher>(
      package_folder_, this, settings_->command_line());
  base::ThreadTaskRunnerHandle::Get()->PostTask(
      FROM_HERE,
      base::BindOnce(&InstallerUIController::Init, weak_factory_.GetWeakPtr()));
  run_loop_.Run();
  LOG(INFO) << "Controller exiting";
  return success_;
}

void InstallerUIController::Init() {
  LOG(INFO) << "Initializing installer UI";
  ObserveSettings(true);
  runner_->AddObserver(this);
  window_ = InstallerWindow::Init(settings_, stats_.root(), run_immediately_);
  if (!window_) {
    constexpr char kNoWindow[] = "Could not initialize installer window";
    LOG(ERROR) << kNoWindow;
    OnError(IDS_ERROR_INSTALL, std::wstring(), kNoWindow);
    // Nobody could ever end a run without a window.
    Terminate();
    return;
  }
  window_->AddObserver(this);
  ShowPhase();
  if (!base::CPU().has_sse2()) {
    LOG(ERROR) << "SSE2 not supported by the computer";
    window_->ShowErrorMessageBox(l10n::GetLocalizedString(IDS_ERROR_NO_SSE2));
    return;
  }
  if (!package_present_) {
    VLOG(1) << "Starting the package fetcher";
    StartPackageFetcher();
  }
  if (!settings_->IsStatusPending())
    WriteInitialStats();
  stats_.root().SetInteger("run_immediately", run_immediately_ ? 1 : 0);
  if (run_immediately_ && !settings_->IsStatusPending()) {
    LOG(INFO) << "runimmediately set and status already fetched.";
    base::ThreadTaskRunnerHandle::Get()->PostTask(
        FROM_HERE, base::BindOnce(&InstallerUIController::OnAccept,
                                  weak_factory_.GetWeakPtr()));
  }
}

void InstallerUIController::WriteInitialStats() {
  settings_->WriteStats("ui.initial_", stats_.root());
  initial_stats_written_ = true;
}

void InstallerUIController::ObserveSettings(bool observe) {
  if (!settings_ || observe == observing_settings_)
    return;
  observing_settings_ = observe;
  if (observe)
    settings_->AddObserver(this);
  else
    settings_->RemoveObserver(this);
}

void InstallerUIController::OnPathChanged() {
  if (terminated_)
    return;
  VLOG(2) << "New status obtained";
  if (progress_.phase() == kInstallingPhase && tracking_data_.empty()) {
    VLOG(2) << "Need to handle tracking data from new path";
    progress_.SetPhase(kPackageReadyPhase);
  }
  if (run_immediately_ || accept_pending_) {
    VLOG(1) << "runimmediately set or Accept already clicked";
    accept_pending_ = false;
    base::ThreadTaskRunnerHandle::Get()->PostTask(
        FROM_HERE, base::BindOnce(&InstallerUIController::OnAccept,
                                  weak_factory_.GetWeakPtr()));
  }
  if (!initial_stats_written_)
    WriteInitialStats();
}

void InstallerUIController::OnAccept() {
  LOG(INFO) << "Accept clicked.";
  if (terminated_)
    return;
  if (installation_started_) {
    LOG(WARNING) << "Installation already in progress.";
    return;
  }
  if (settings_->IsStatusPending()) {
    VLOG(1) << "Still waiting for status";
    accept_pending_ = true;
    return;
  }
  if (progress_.phase() == kPackageReadyPhase) {
    VLOG(1) << "Tracking data is ready for handling";
    HandleTrackingData();
  }
  ObserveSettings(false);
  settings_->WriteStats(std::string(), stats_.root());
  if (base::win::GetVersion() < base::win::VERSION_WIN7) {
    window_->ShowError(
        l10n::GetLocalizedStringF(IDS_ERROR_INCOMPATIBLE_OS,
                                  WithoutAccelerator(l10n::GetLocalizedString(
                                      IDS_GET_FULL_INSTALLER))),
        true,
        "This version of Kelvo doesn't support windows versions prior to "
        "Windows 7");
    return;
  }
  installation_started_ = true;
  if (pending_error_) {
    VLOG(1) << "An error is pending. Show it first.";
    HandlePendingError();
    return;
  }
  if (!runner_->BeginInstallation(settings_)) {
    VLOG(1) << "Failed to run the backend. Show whatever error was reported";
    // Whatever it obtained goes before the user may try again.
    runner_->Stop();
    HandlePendingError();
    return;
  }
  while (!pending_ui_requests_.empty() && !terminated_) {
    VLOG(1) << "Running pending fetcher callback.";
    UIRequest request = std::move(pending_ui_requests_.front());
    pending_ui_requests_.pop_front();
    RunUIRequest(std::move(request));
  }
  if (terminated_ || !window_)
    return;
  if (fetcher_gave_up_) {
    VLOG(1) << "Restarting fetching after background tries failed.";
    fetcher_gave_up_ = false;
    progress_.SetPhase(0);
    StartPackageFetcher();
  }
  window_->StartProgress(progress_.Position(), progress_.Maximum(), false);
  ShowPhase();
}

void InstallerUIController::HandleTrackingData() {
  // The overrides downloader takes one request at a time: an Accept after
  // an error must not start a second fetch while the first one runs.
  if (handling_tracking_data_)
    return;
  handling_tracking_data_ = true;
  const std::string data = tracking_data_.empty()
                               ? settings_->GetStatus().tracking_data()
                               : tracking_data_;
  stats_.root().SetString("tracking_data", data);
  if (settings_->operation() == OPERATION_UNINSTALLING) {
    OnTrackingDataDone();
    return;
  }
  FetchPrefDefaultOverrides(data);
}

void InstallerUIController::OnTrackingDataDone() {
  handling_tracking_data_ = false;
  if (terminated_)
    return;
  VLOG(2) << "Tracking data actions done: package complete.";
  progress_.SetPhase(kInstallingPhase);
  runner_->OnPackageReady();
  if (window_ && installation_started_) {
    VLOG(2) << "Notifying installation phase change.";
    ShowPhase();
  }
}

void InstallerUIController::NotifyStatusChanged(int status) {
  if (terminated_)
    return;
  switch (status) {
    case FETCHER_STATUS_FETCHING_ADDRESS:
      VLOG(2) << "Package will be downloaded.";
      package_downloaded_ = true;
      progress_.SetPhase(0);
      break;
    case FETCHER_STATUS_DOWNLOADING:
      progress_.SetPhase(1);
      break;
    case FETCHER_STATUS_UNPACKING:
    case FETCHER_STATUS_DOWNLOADING_ADDITIONAL_FILES:
      progress_.SetPhase(status == FETCHER_STATUS_UNPACKING ? 2 : 3);
      if (window_ && installation_started_)
        ShowPhase();
      return;
    case FETCHER_STATUS_PACKAGE_READY:
      VLOG(1) << "Package fetched successfully.";
      progress_.SetPhase(kPackageReadyPhase);
      if (installation_started_) {
        VLOG(2) << "Got tracking data from status.";
        HandleTrackingData();
      }
      break;
    case FETCHER_STATUS_INITIALIZATION_FAILED:
    case FETCHER_STATUS_DOWNLOAD_FAILED:
    case FETCHER_STATUS_UNPACKING_FAILED:
      VLOG(1) << "Package fetcher failed.";
      if (RetryPackageFetcher()) {
        progress_.SetPhase(0);
        break;
      }
      fetcher_gave_up_ = true;
      if (installation_started_) {
        VLOG(1) << "Reporting fetcher error.";
        stats_.root().SetString("failure_reason", kFetcherError);
        StoreError(status == FETCHER_STATUS_UNPACKING_FAILED
                       ? IDS_ERROR_EXTRACTION
                       : IDS_ERROR_DOWNLOAD,
                   std::wstring(), kFetcherError);
        // The backend waits for a package that does not come; its end
        // shows the error.
        runner_->Stop();
      } else {
        LOG(WARNING) << "Exceeded maximum number of fetcher retries, we "
                        "won't retry until user decides to.";
      }
      break;
    default:
      return;
  }
  if (window_ && installation_started_)
    ShowPhase();
}

void InstallerUIController::SetTotalProgress(int total) {
  progress_.SetTotal(total);
  UpdateProgressBar();
}

void InstallerUIController::SetCurrentProgress(int current) {
  progress_.SetCurrent(current);
  UpdateProgressBar();
}

void InstallerUIController::OnTotalSteps(int total_steps) {
  progress_.SetTotalSteps(total_steps);
  UpdateProgressBar();
}

void InstallerUIController::OnStep() {
  progress_.Step();
  UpdateProgressBar();
}

void InstallerUIController::UpdateProgressBar() {
  if (!installation_started_ || !window_ || terminated_)
    return;
  VLOG(2) << "Updating installation progress";
  window_->SetProgress(progress_.Position());
}

void InstallerUIController::ShowPhase() {
  if (window_)
    window_->SetPhase(progress_.phase());
}

void InstallerUIController::OnError(int code,
                                    const std::wstring& message,
                                    const std::string& detail) {
  if (terminated_)
    return;
  stats_.root().SetString("failure_reason", detail);
  StoreError(code, message, detail);
}

void InstallerUIController::StoreError(int code,
                                       const std::wstring& message,
                                       const std::string& detail) {
  VLOG(1) << "Reporting error " << code;
  // Shown once the backend has ended, unless it succeeded: any program can
  // write an error message, and the backend it came from rolls back and
  // ends by itself.
  pending_error_ = PendingError{code, message, detail};
}

void InstallerUIController::OnSuccess() {
  // Maybe a nested installer process's, or another program's: only the
  // launched backend's end tells.
  VLOG(1) << "Installer success reported";
}

void InstallerUIController::OnInstallerTerminated(bool succeeded) {
  VLOG(1) << "Installer termination reported";
  if (terminated_) {
    VLOG(2) << "UI already terminated";
    return;
  }
  // The runner's verdict, the silent front end's too, goes by the launched
  // backend's exit code: an error message of a backend that succeeded came
  // from elsewhere, and one of the package fetcher came too late to matter.
  if (succeeded && pending_error_) {
    LOG(WARNING) << "Dropping error " << pending_error_->code
                 << ": the installation succeeded";
    pending_error_.reset();
  }
  success_ = succeeded;
  if (success_) {
    VLOG(1) << "Installer terminated successfully. Finishing.";
    progress_.Complete();
    UpdateProgressBar();
    Terminate();
    return;
  }
  // The folder is free before the user may try again.
  runner_->Stop();
  if (!pending_error_) {
    const bool uninstall = settings_->GetOption(UNINSTALL_FLAG);
    const char* text = uninstall ? "Unreported uninstaller error."
                                 : "Unreported installer error.";
    LOG(ERROR) << text;
    OnError(uninstall ? IDS_ERROR_UNINSTALL : IDS_ERROR_INSTALL, std::wstring(),
            text);
  }
  base::ThreadTaskRunnerHandle::Get()->PostDelayedTask(
      FROM_HERE,
      base::BindOnce(&InstallerUIController::HandlePendingError,
                     weak_factory_.GetWeakPtr()),
      kPendingErrorDelay);
}

void InstallerUIController::HandlePendingError() {
  // The user may have ended the run while the error waited.
  if (terminated_ || !window_)
    return;
  LOG(INFO) << "Handling pending error";
  installation_started_ = false;
  settings_->SetEditable(true);
  ObserveSettings(true);
  if (!pending_error_) {
    LOG(WARNING) << "No error to show";
    return;
  }
  if (SwitchToCurrentUser())
    return;
  const bool offer_full_installer =
      error_shown_before_ && !package_present_ &&
      (progress_.phase() < InstallProgress::kAdditionalFilesPhase ||
       package_downloaded_);
  error_shown_before_ = true;
  const PendingError error = std::move(*pending_error_);
  pending_error_.reset();
  window_->ShowError(
      l10n::GetLocalizedStringWithArgs(error.code, {error.message}),
      offer_full_installer, error.detail);
}

bool InstallerUIController::SwitchToCurrentUser() {
  const Status& status = settings_->GetStatus();
  const base::FilePath default_folder = settings_->GetDefaultInstallFolder(
      INSTALL_FOLDER_REGISTRY | INSTALL_FOLDER_STANDARD);
  const bool default_chosen = base::FilePath::CompareEqualIgnoreCase(
      status.folder().value(), default_folder.value());
  if (pending_error_->code != IDS_ERROR_ELEVATION_FAILED ||
      settings_->operation() != OPERATION_INSTALLING ||
      !settings_->GetOption(ALL_USERS_FLAG) ||
      !(default_chosen || status.has_write_access())) {
    return false;
  }
  LOG(INFO) << "Offering the user to switch to a Current User install";
  settings_->SetAllUsers(false);
  if (default_chosen && NeedsElevation(false, status.has_write_access())) {
    settings_->SelectInstallFolder(
        settings_->GetDefaultInstallFolder(INSTALL_FOLDER_STANDARD));
  }
  pending_error_.reset();
  OnAccept();
  return true;
}

void InstallerUIController::RunUICallbackAndPostReply(
    base::OnceCallback<int(HWND)> callback,
    scoped_refptr<base::SingleThreadTaskRunner> reply_task_runner,
    base::OnceCallback<void(int)> reply) {
  LOG(INFO) << "Obtained UI callback request from fetcher";
  UIRequest request{std::move(callback), std::move(reply_task_runner),
                    std::move(reply)};
  if (terminated_) {
    VLOG(1) << "UI has been terminated already.";
    request.reply_task_runner->PostTask(
        FROM_HERE, base::BindOnce(std::move(request.reply), kRequestCancelled));
    return;
  }
  if (installation_started_ && !pending_error_) {
    VLOG(1) << "Run the callback at once.";
    RunUIRequest(std::move(request));
    return;
  }
  // Queued, never replaced: every requester waits for its own reply.
  VLOG(1) << "Store callback information for later.";
  pending_ui_requests_.push_back(std::move(request));
}

void InstallerUIController::RunUIRequest(UIRequest request) {
  const int result =
      std::move(request.callback).Run(window_ ? window_->hwnd() : nullptr);
  request.reply_task_runner->PostTask(
      FROM_HERE, base::BindOnce(std::move(request.reply), result));
}

void InstallerUIController::OnCancel() {
  stats_.root().SetInteger("installation_cancelled", 1);
  Terminate();
}

void InstallerUIController::OnFullPackage() {
  LOG(INFO) << "Obtaining full package";
  OpenFullInstallerPage();
  stats_.root().SetInteger("installation_cancelled", 2);
  Terminate();
}

void InstallerUIController::OpenFullInstallerPage() {
  std::string address = GetBrandingUrl("download_full_windows");
  if (GetChannel() != CHANNEL_STABLE) {
    address += base::StringPrintf("&product=%s%%20%s", GetProductName().c_str(),
                                  GetStream().c_str());
  }
  std::wstring file = base::UTF8ToWide(address);
  std::wstring parameters;
  // The browser at the install folder that handles web links may be the
  // very installation that just failed: the page opens in the browser
  // every Windows has.
  TargetInstallation installation(settings_->GetStatus().folder());
  if (IsOurAssociation(&installation, L"http", false) ||
      IsOurAssociation(&installation, L"http", true)) {
    VLOG(1) << "Downloading full package with IE";
    // One argument, whatever the branding's address holds.
    parameters = L"\"" + file + L"\"";
    file = ExpandEnvironmentVariables(kInternetExplorerPath);
  } else {
    VLOG(1) << "Downloading full package with default browser";
  }
  SHELLEXECUTEINFOW info = {sizeof(info)};
  // Synchronous: the process may end right after this call.
  info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"open";
  info.lpFile = file.c_str();
  info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!::ShellExecuteExW(&info))
    PLOG(ERROR) << "Could not open the full installer page with " << file;
}

void InstallerUIController::DeleteWindow() {
  window_.reset();
}

void InstallerUIController::Terminate() {
  LOG(INFO) << "Terminating the UI";
  if (terminated_) {
    VLOG(2) << "Installer UI already terminated";
    return;
  }
  terminated_ = true;
  if (window_) {
    // This may run inside the window's own message handling or one of its
    // message boxes: the window goes away from a task of its own.
    window_->RemoveObserver(this);
    window_->Hide();
    base::ThreadTaskRunnerHandle::Get()->PostTask(
        FROM_HERE, base::BindOnce(&InstallerUIController::DeleteWindow,
                                  weak_factory_.GetWeakPtr()));
  }
  ObserveSettings(false);
  if (runner_)
    runner_->Stop();
  ui_lock_.Release();
  while (!pending_ui_requests_.empty()) {
    UIRequest request = std::move(pending_ui_requests_.front());
    pending_ui_requests_.pop_front();
    request.reply_task_runner->PostTask(
        FROM_HERE, base::BindOnce(std::move(request.reply), kRequestCancelled));
  }
  stats_.root().SetInteger("installation_success", success_ ? 1 : 0);
  if (success_)
    stats_.root().Remove("failure_reason");
  // What the run recorded stays readable in the log whether it is sent or
  // not.
  VLOG(1) << "Installer statistics: " << stats_.GetJson();
  if (settings_->GetOption(ENABLE_INSTALLER_STATS) &&
      !settings_->GetOption(AUTOUPDATE)) {
    LOG(INFO) << "Sending stats";
    // A loop whose quit depends on an upload that never started would run
    // for ever.
    if (!SendStats())
      run_loop_.Quit();
    return;
  }
  LOG(INFO) << "Not sending stats";
  run_loop_.Quit();
}

void InstallerUIController::CreatePackageFetcher(
    PayloadReader* payload_reader,
    const base::FilePath& download_folder) {
  package_fetcher_ = std::make_unique<PackageFetcher>(
      download_folder, stats_.root(), this, this, payload_reader,
      settings_->x64_download(), settings_->GetOption(INSTALL_ASSISTANT),
      settings_->command_line());
  package_folder_ = package_fetcher_->package_folder();
}

void InstallerUIController::StartPackageFetcher() {
  package_fetcher_->Start();
}

bool InstallerUIController::RetryPackageFetcher() {
  return package_fetcher_->Retry();
}

void InstallerUIController::FetchPrefDefaultOverrides(
    const std::string& tracking_data) {
  pref_overrides_fetcher_->Fetch(
      tracking_data, base::BindOnce(&InstallerUIController::OnTrackingDataDone,
                                    weak_factory_.GetWeakPtr()));
}

bool InstallerUIController::SendStats() {
  return stats_.Send(settings_->command_line(), run_loop_.QuitClosure(),
                     package_downloaded_);
}

}  // namespace installer
