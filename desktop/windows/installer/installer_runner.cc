#include "desktop/windows/installer/installer_runner.h"

#include <stdint.h>
#include <string.h>

#include <utility>

#include "base/base_paths.h"
#include "base/bind.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/process/launch.h"
#include "base/process/process_handle.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "base/synchronization/lock.h"
#include "base/task_runner_util.h"
#include "base/threading/worker_pool.h"
#include "desktop/windows/installer/abandoned_run_repair.h"
#include "desktop/windows/installer/installer_object_names.h"
#include "desktop/windows/installer/ipc/installer_message.h"
#include "desktop/windows/installer/ipc/ipc_util.h"
#include "desktop/windows/installer/package_files.h"
#include "desktop/windows/installer/process/crash_reporter_pid.h"
#include "desktop/windows/installer/process/launch_lock.h"
#include "desktop/windows/installer/product/installer_switches.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/status.h"
#include "desktop/windows/rc_l10n_handler/installer_string_ids.h"

namespace installer {

namespace {

constexpr char kServerTrackingDataFile[] = "server_tracking_data";
constexpr char kComponentsPrefix[] = "suite:";

bool g_fail_own_handle_duplication = false;

// On a worker thread.
int RepairFolder(base::OnceClosure hook, const base::FilePath& folder) {
  if (hook)
    std::move(hook).Run();
  return RepairAbandonedRuns(folder);
}

}  // namespace

InstallerRunner::InstallerRunner(const base::FilePath& package_folder,
                                 const base::FilePath& components_path)
    : components_path_(components_path), package_folder_(package_folder) {}

InstallerRunner::~InstallerRunner() {
  Stop();
  if (backend_process_.IsValid())
    process_watcher_.StopWatching();
}

// static
std::string InstallerRunner::EncodeHandleValue(HANDLE handle) {
  uint64_t value = reinterpret_cast<uintptr_t>(handle);
  uint8_t bytes[sizeof(value)];
  memcpy(bytes, &value, sizeof(value));
  return base::HexEncode(bytes, sizeof(bytes));
}

// static
void InstallerRunner::SetOwnHandleDuplicationFailsForTesting(bool fails) {
  g_fail_own_handle_duplication = fails;
}

void InstallerRunner::AddObserver(InstallerObserver* observer) {
  observers_.AddObserver(observer);
}

void InstallerRunner::RemoveObserver(InstallerObserver* observer) {
  observers_.RemoveObserver(observer);
}

bool InstallerRunner::BeginInstallation(Settings* settings) {
  if (settings == settings_)
    LOG(INFO) << "Duplicate installation attempt detected";
  LOG(INFO) << "Beginning installation";
  if (settings_ || backend_running_ || repairing_ ||
      settings->IsStatusPending()) {
    return Fail(IDS_ERROR_INSTALL,
                "Installation begun before the previous one was stopped, or "
                "before the settings were complete");
  }
  if (settings->operation() == OPERATION_NONE) {
    return Fail(IDS_ERROR_BAD_LOCATION,
                "Attempting to start installation with invalid settings");
  }
  settings->SetEditable(false);
  settings_ = settings;
  const base::FilePath folder = settings->GetStatus().folder();
  install_folder_ = folder;
  const InstallerObjectNames names = InstallerObjectNames::ForFolder(folder);
  // The lock keeps out this version's installers that spell the folder
  // otherwise; the mutex those of other versions.
  if (!AcquireMutex(names.folder_lock,
                    "Installer folder lock name: ", &folder_lock_) ||
      !AcquireMutex(names.mutex, "Installer mutex name: ", &mutex_)) {
    return false;
  }

  VLOG(1) << "Installer mailslot name: " << names.mailslot_endpoint;
  if (!receiver_.Connect(names.mailslot_endpoint))
    return Fail(IDS_ERROR_INSTALL, "Could not connect to mailslot");

  base::CommandLine command_line = settings->ToCommandLine(false);
  command_line.AppendSwitchASCII(switches::kServerTrackingData,
                                 kServerTrackingDataFile);
  command_line.AppendSwitchASCII(switches::kInitialPid,
                                 base::UintToString(base::GetCurrentProcId()));
  command_line.AppendSwitchASCII(
      switches::kCrashReporterPid,
      GetCrashReporterPidText(settings->command_line()));
  if (!PrepareBackend(names, &command_line))
    return false;
  return LaunchBackend(std::move(command_line));
}

void InstallerRunner::OnPackageReady() {
  if (package_ready_)
    return;
  VLOG(2) << "Recording that we have the package";
  package_ready_ = true;
  if (!backend_running_ || !package_ready_event_.IsValid())
    return;
  LOG(INFO) << "Informing the installer backend that the package is ready";
  if (!::SetEvent(package_ready_event_.Get()))
    PLOG(ERROR) << "Cannot signal the package ready event";
}

void InstallerRunner::Stop() {
  LOG(INFO) << "Stopping installer backend (if running)";
  if (backend_running_) {
    outcome_.OnStopped();
    if (interrupted_event_.IsValid()) {
      VLOG(1) << "Sending installation interrupted event";
      if (!::SetEvent(interrupted_event_.Get()))
        PLOG(ERROR) << "Cannot signal the installation interrupted event";
    }
  }
  // The repair of an ended backend's folder lets go of it once done.
  if (!repairing_)
    LetGoOfFolder();
  // A backend that has not opened the events yet must still find them, the
  // interruption signalled: they go once it has ended.
  if (!backend_running_)
    CloseEvents();
  receiver_.Close();
  settings_ = nullptr;
}

void InstallerRunner::CloseEvents() {
  package_ready_event_.Close();
  interrupted_event_.Close();
}

void InstallerRunner::LetGoOfFolder() {
  if (mutex_.IsValid())
    VLOG(1) << "Letting go of the installer mutex";
  for (base::win::ScopedHandle* mutex : {&mutex_, &folder_lock_}) {
    if (!mutex->IsValid())
      continue;
    // While the backend runs this process keeps the mutex until it exits;
    // the next installer then finds it abandoned, which counts as free.
    if (!backend_running_ && !::ReleaseMutex(mutex->Get()))
      PLOG(ERROR) << "Cannot release the installer mutex";
    mutex->Close();
  }
}

bool InstallerRunner::Fail(int code, const std::string& detail) {
  for (InstallerObserver& observer : observers_)
    observer.OnError(code, std::wstring(), detail);
  LOG(ERROR) << detail;
  return false;
}

bool InstallerRunner::AcquireMutex(const std::wstring& name,
                                   const char* log_label,
                                   base::win::ScopedHandle* mutex) {
  VLOG(1) << log_label << name;
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), nullptr, TRUE};
  mutex->Set(::CreateMutexW(&attributes, FALSE, name.c_str()));
  if (!mutex->IsValid()) {
    PLOG(ERROR) << "CreateMutex failed";
    return Fail(IDS_ERROR_FOLDER_IN_USE, "Could not create installer mutex");
  }
  const DWORD result = ::WaitForSingleObject(mutex->Get(), 0);
  if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED)
    return true;
  mutex->Close();
  if (result == WAIT_TIMEOUT)
    return Fail(IDS_ERROR_FOLDER_IN_USE, "Could not acquire installer mutex");
  // Not a sign of another installer: the wait itself broke.
  PLOG(ERROR) << "Waiting for the installer mutex failed (result " << result
              << ")";
  return Fail(IDS_ERROR_INSTALL, "Could not wait for installer mutex");
}

base::win::ScopedHandle InstallerRunner::CreateFrontEndEvent(
    const std::wstring& name,
    const char* log_label) {
  VLOG(1) << log_label << name;
  base::win::ScopedHandle event(
      ::CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
  if (!event.IsValid()) {
    PLOG(ERROR) << "CreateEvent failed";
  } else if (::GetLastError() == ERROR_ALREADY_EXISTS) {
    // A process of an earlier installation still holds it, maybe
    // signalled; this installation starts from the unsignalled state.
    LOG(WARNING) << "The event existed already; resetting it";
    ::ResetEvent(event.Get());
  }
  return event;
}

bool InstallerRunner::PrepareBackend(const InstallerObjectNames& names,
                                     base::CommandLine* command_line) {
  interrupted_event_ = CreateFrontEndEvent(
      names.interrupted_event, "Event name for interrupted installation: ");
  if (!interrupted_event_.IsValid()) {
    return Fail(IDS_ERROR_INSTALL,
                "Could not create installation interruption event");
  }
  if (package_ready_) {
    VLOG(1) << "Package is already available";
    command_line->SetProgram(package_folder_.Append(kPackageInstallerExeName));
  } else {
    package_ready_event_ = CreateFrontEndEvent(
        names.package_ready_event, "Event name for package_ready: ");
    if (!package_ready_event_.IsValid())
      return Fail(IDS_ERROR_INSTALL, "Could not create package ready event");
    command_line->AppendSwitchPath(switches::kWaitForPackage, package_folder_);
    base::FilePath own_exe;
    if (!base::PathService::Get(base::FILE_EXE, &own_exe))
      return Fail(IDS_ERROR_INSTALL, "Could not find own executable");
    command_line->SetProgram(own_exe);
  }
  if (!components_path_.empty()) {
    command_line->AppendSwitchNative(switches::kComponents,
                                     base::ASCIIToWide(kComponentsPrefix) +
                                         components_path_.BaseName().value());
  }
  return true;
}

bool InstallerRunner::LaunchBackend(base::CommandLine command_line) {
  const char* failure = LaunchUnderLock(&command_line);
  if (failure)
    return Fail(IDS_ERROR_INSTALL, failure);

  backend_running_ = true;
  outcome_.Reset();
  ::AllowSetForegroundWindow(backend_process_.Pid());
  VLOG(2) << "Installer backend started.";
  if (!process_watcher_.StartWatchingOnce(backend_process_.Handle(), this)) {
    const char kDetail[] = "Could not monitor the installer process handle";
    for (InstallerObserver& observer : observers_)
      observer.OnError(IDS_ERROR_INSTALL, std::wstring(), kDetail);
    Stop();
    LOG(ERROR) << kDetail;
    return false;
  }
  return true;
}

const char* InstallerRunner::LaunchUnderLock(base::CommandLine* command_line) {
  // No other child may start while the handles meant for this one are
  // inheritable; the explicit list keeps every other inheritable handle of
  // this process from the backend.
  base::AutoLock launch_lock(GetProcessLaunchLock());
  HANDLE own_process = nullptr;
  if (g_fail_own_handle_duplication) {
    LOG(ERROR) << "DuplicateHandle failed (for a test)";
    return "Could not duplicate own process handle";
  }
  if (!::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentProcess(),
                         ::GetCurrentProcess(), &own_process, SYNCHRONIZE, TRUE,
                         0)) {
    PLOG(ERROR) << "DuplicateHandle failed";
    return "Could not duplicate own process handle";
  }
  base::win::ScopedHandle own_process_handle(own_process);
  command_line->AppendSwitchASCII(switches::kInitialProcHandle,
                                  EncodeHandleValue(own_process));
  LOG(INFO) << "launching installer backend: "
            << command_line->GetCommandLineString();
  base::LaunchOptions options;
  options.inherit_handles = true;
  options.handles_to_inherit = {own_process, mutex_.Get(), folder_lock_.Get()};
  backend_process_ = base::LaunchProcess(*command_line, options);
  if (!backend_process_.IsValid())
    return "Could not launch installer backend process";
  return nullptr;
}

void InstallerRunner::OnObjectSignaled(HANDLE object) {
  DCHECK_EQ(object, backend_process_.Handle());
  int exit_code = -1;
  const bool exited =
      backend_process_.WaitForExitWithTimeout(base::TimeDelta(), &exit_code);
  VLOG(1) << "Installer backend process signaled";
  if (exited) {
    LOG(INFO) << "The installer backend exited with code " << exit_code;
  } else {
    LOG(ERROR) << "Cannot read the exit code of the installer backend";
  }
  backend_running_ = false;
  // No other installer may take the folder before the repair is done.
  repairing_ = true;
  CloseEvents();
  // Everything the backend wrote is in the mailslot now; its end is told
  // after its last message, never before.
  receiver_.DeliverPendingThen(
      base::BindOnce(&InstallerRunner::RepairThenNotify,
                     weak_factory_.GetWeakPtr(), exited, exit_code));
}

void InstallerRunner::RepairThenNotify(bool exit_code_read, int exit_code) {
  // This process still holds the folder's lock: what the backend's runs
  // left half-done is undone now, not at some later run on the folder. A
  // replay may take long, and the window must go on answering meanwhile.
  LOG(INFO) << "Repairing what the installer backend left in "
            << install_folder_;
  base::OnceClosure hook = std::move(repair_hook_);
  if (base::PostTaskAndReplyWithResult(
          base::WorkerPool::GetTaskRunner(true).get(), FROM_HERE,
          base::BindOnce(&RepairFolder, std::move(hook), install_folder_),
          base::BindOnce(&InstallerRunner::NotifyTerminated,
                         weak_factory_.GetWeakPtr(), exit_code_read,
                         exit_code))) {
    return;
  }
  LOG(ERROR) << "Cannot repair on a worker thread; repairing here";
  NotifyTerminated(exit_code_read, exit_code,
                   RepairAbandonedRuns(install_folder_));
}

void InstallerRunner::NotifyTerminated(bool exit_code_read,
                                       int exit_code,
                                       int repaired_runs) {
  repairing_ = false;
  // Stopped during the repair.
  if (!settings_)
    LetGoOfFolder();
  const bool success =
      outcome_.Decide(exit_code_read, exit_code, repaired_runs);
  for (InstallerObserver& observer : observers_)
    observer.OnInstallerTerminated(success);
}

void InstallerRunner::OnMessageReceived(const base::Pickle& pickle) {
  InstallerMessage message;
  if (!DecodeInstallerMessage(pickle, &message))
    return;
  outcome_.OnResultMessage(message.type);
  for (InstallerObserver& observer : observers_)
    ReplayInstallerMessage(message, &observer);
}

}  // namespace installer
