#include "desktop/windows/installer/engine/folder_access.h"

#include <shellapi.h>

#include <string>
#include <utility>
#include <vector>

#include "base/command_line.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/process/process.h"
#include "base/strings/string_number_conversions.h"
#include "base/win/registry.h"
#include "base/win/windows_version.h"
#include "desktop/windows/installer/engine/package_hand_over.h"
#include "desktop/windows/installer/engine/run_events.h"
#include "desktop/windows/installer/install_run.h"
#include "desktop/windows/installer/installer_object_names.h"
#include "desktop/windows/installer/process/crash_reporter_pid.h"
#include "desktop/windows/installer/product/installer_switches.h"
#include "desktop/windows/installer/registry_entry.h"
#include "desktop/windows/installer/registry_tables.h"
#include "desktop/windows/installer/service/transactions/create_folder_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/status.h"
#include "desktop/windows/installer/steps/post_elevation_tasks.h"
#include "desktop/windows/rc_l10n_handler/installer_string_ids.h"

namespace installer {

namespace {

constexpr wchar_t kUacPolicyKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";

// Starts |exe| with |arguments| through the "runas" verb, which asks for
// elevation; an invalid process when it did not start.
base::Process LaunchElevated(const base::FilePath& exe,
                             const base::CommandLine& arguments) {
  const std::wstring parameters = arguments.GetArgumentsString();
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
  info.lpVerb = L"runas";
  info.lpFile = exe.value().c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_SHOW;
  if (!::ShellExecuteExW(&info)) {
    PLOG(ERROR) << "Failed to run the elevated process";
    return base::Process();
  }
  if (!info.hProcess) {
    LOG(ERROR) << "Failed to run the elevated process: no process handle";
    return base::Process();
  }
  return base::Process(info.hProcess);
}

// Writes |row| for the current user in the run's transaction; a failure
// only logs |failure|.
void ExecuteUserRow(InstallRun* run,
                    const RegistryRow& row,
                    const char* failure) {
  std::unique_ptr<Operation> operation;
  if (!RegistryEntry(row, run->templates())
           .CreateOperation(HKEY_CURRENT_USER, &operation) ||
      !operation) {
    LOG(ERROR) << "Could not convert kSetLastInstallPathRegOp";
  } else if (!run->transaction()->Execute(std::move(operation))) {
    LOG(WARNING) << failure;
  }
}

}  // namespace

FolderAccess::FolderAccess(InstallRun* run,
                           RunEvents* events,
                           PackageHandOver* hand_over)
    : run_(run), events_(events), hand_over_(hand_over) {}

FolderAccess::~FolderAccess() = default;

StepResult FolderAccess::Prepare() {
  const base::CommandLine& command_line = run_->command_line();
  const Settings& settings = *run_->settings();
  const SettingsOperation operation = settings.operation();
  if (command_line.HasSwitch(switches::kParentPid)) {
    unsigned pid = 0;
    if (base::StringToUint(
            command_line.GetSwitchValueNative(switches::kParentPid), &pid)) {
      run_->set_second_installer_pid(pid);
    }
    LOG(INFO) << "Second installer pid: " << run_->second_installer_pid();
  }
  const bool is_admin = IsUserAdmin(false);
  run_->set_is_admin(is_admin);
  LOG(INFO) << "is_elevated_admin: " << is_admin;
  const bool all_users = settings.GetOption(ALL_USERS_FLAG);
  if (all_users && settings.GetOption(SILENT) && !is_admin) {
    return StepResult::Error(
        IDS_ERROR_INSTALL,
        "Installation requires elevation, but cannot elevate when silent");
  }
  bool has_write = true;
  StepResult result = StepResult::Next();
  if (!CanWriteFromStatus(&has_write, &result))
    return result;
  SaveLastInstallPath();
  const base::FilePath& folder = run_->install_folder();
  if (has_write)
    has_write =
        CheckAccess(folder.value(), SE_FILE_OBJECT, kInstallFolderWriteAccess);
  const bool grant_single_profile = operation == OPERATION_INSTALLING &&
                                    settings.GetOption(SINGLE_PROFILE) &&
                                    run_->status().single_profile() != 1;
  if (grant_single_profile && !has_write) {
    return StepResult::Error(IDS_ERROR_INSUFFICIENT_PRIVILEGES,
                             "Single profile installations are only allowed "
                             "to locations where the user has write access");
  }
  if (all_users && !is_admin) {
    LOG(INFO) << "All users is set but we have no admin privs -> elevate";
    return RunElevated();
  }
  if (grant_single_profile && is_admin) {
    std::unique_ptr<SavedSecurityInfo> unused;
    if (!GrantAccess(folder.value(), SE_FILE_OBJECT, GENERIC_ALL, true,
                     &unused)) {
      LOG(ERROR) << "Could not give the user full access to " << folder;
    }
  }
  result = ObtainWriteAccess(has_write);
  if (!result.is_next())
    return result;
  return CreateInstallFolder(true);
}

void FolderAccess::Release(bool child_still_runs) {
  // A child abandoned after an interruption works for a run that is over:
  // it loses the rights with the run rather than keep them for good.
  if (child_still_runs &&
      (saved_folder_security_ || completion_event_.IsValid()))
    LOG(WARNING) << "Taking the temporary folder rights back from a child "
                    "process that still runs";
  if (saved_folder_security_ && !RestoreSecurity(&saved_folder_security_))
    LOG(ERROR) << "Could not restore the security of the installation folder";
  saved_folder_security_.reset();
  if (completion_event_.IsValid() && !::SetEvent(completion_event_.Get()))
    PLOG(ERROR) << "Could not release the folder-permission process";
  completion_event_.Close();
}

bool FolderAccess::CanWriteFromStatus(bool* has_write, StepResult* result) {
  const Status& status = run_->status();
  if (base::FilePath::CompareEqualIgnoreCase(status.valid_parent().value(),
                                             status.folder().value()) ||
      (run_->settings()->GetOption(ALL_USERS_FLAG) && !run_->is_admin())) {
    return true;
  }
  LOG(INFO) << "Using write permissions from the status";
  *has_write = status.has_write_access();
  if (!*has_write)
    return true;
  *result = CreateInstallFolder(false);
  return result->is_next();
}

void FolderAccess::SaveLastInstallPath() {
  const Settings& settings = *run_->settings();
  if (settings.operation() == OPERATION_UNINSTALLING ||
      settings.GetOption(COPY_ONLY) || settings.GetOption(AUTOUPDATE)) {
    return;
  }
  LOG(INFO) << "Saving last installation path.";
  ExecuteUserRow(run_, GetLastInstallPathRow(),
                 "Could not write last installation path");
  if (settings.x64_download() == 1) {
    ExecuteUserRow(run_, GetLegacyX64LastInstallPathRow(),
                   "Could not delete legacy x64 last install path");
  }
}

StepResult FolderAccess::ObtainWriteAccess(bool has_write) {
  LOG(INFO) << "Write privileges for install folder: " << has_write;
  if (has_write)
    return StepResult::Next();
  const base::FilePath& folder = run_->install_folder();
  if (GrantAccess(folder.value(), SE_FILE_OBJECT, kInstallFolderWriteAccess,
                  false, &saved_folder_security_)) {
    LOG(INFO) << "Granted temporary write access to " << folder;
    return StepResult::Next();
  }
  if (run_->is_admin()) {
    return StepResult::Error(
        IDS_ERROR_INSUFFICIENT_PRIVILEGES,
        "Could not obtain write permissions to installation folder");
  }
  if (IsUserAdmin(true)) {
    LOG(INFO) << "Running elevated because of folder privileges";
    return RunElevated();
  }
  return ObtainWriteAccessThroughPermissionProcess();
}

StepResult FolderAccess::ObtainWriteAccessThroughPermissionProcess() {
  LOG(INFO) << "Need temporary write permissions from administrative user";
  const bool permanent = run_->settings()->GetOption(SINGLE_PROFILE) ||
                         run_->command_line().HasSwitch(switches::kComponents);
  switch (RunElevatedForFolderPermissions(run_->install_folder(), permanent)) {
    case Elevation::kSucceeded:
      break;
    case Elevation::kRefused:
      return StepResult::Error(
          IDS_ERROR_ELEVATION_FAILED,
          "Failed to elevate the process to give us write permissions to "
          "installation folder");
    case Elevation::kProcessFailed:
      return StepResult::Error(
          IDS_ERROR_INSTALL,
          "The process for giving us write permission to the installer "
          "folder didn't complete successfully");
    case Elevation::kSetupFailed:
      return StepResult::Error(
          IDS_ERROR_INSTALL,
          "Error when setting up the process to give us write permissions to "
          "installation folder");
    case Elevation::kAbandoned:
      return StepResult::Cancelled();
  }
  LOG(INFO) << "Temporary write permission obtained";
  if (!CheckAccess(run_->install_folder().value(), SE_FILE_OBJECT,
                   kInstallFolderWriteAccess)) {
    return StepResult::Error(IDS_ERROR_INSUFFICIENT_PRIVILEGES,
                             "No write access to installation folder after "
                             "attempting to get it via elevated process");
  }
  return StepResult::Next();
}

StepResult FolderAccess::CreateInstallFolder(bool notify) {
  const base::FilePath& folder = run_->install_folder();
  if (!run_->transaction()->Execute(
          std::make_unique<CreateFolderOperation>(folder))) {
    return StepResult::Error(IDS_ERROR_CREATE_FOLDER, folder.value(),
                             "Could not create installation folder");
  }
  if (notify)
    events_->OnInstallFolderCreated();
  return StepResult::Next();
}

StepResult FolderAccess::RunElevated() {
  switch (WaitForElevatedInstaller()) {
    case Elevation::kSucceeded:
      break;
    case Elevation::kRefused:
      return StepResult::Error(IDS_ERROR_ELEVATION_FAILED,
                               "Elevated installation failed.");
    case Elevation::kProcessFailed:
      return StepResult::Error(
          IDS_ERROR_INSTALL,
          "Installer process did not complete successfully.");
    case Elevation::kSetupFailed:
      return StepResult::Error(IDS_ERROR_INSTALL,
                               "Error when setting up the installer process");
    case Elevation::kAbandoned:
      return StepResult::Cancelled();
  }
  // The elevated installer waited for the package too; the package's
  // installer does the user's part once the package is ready.
  if (run_->command_line().HasSwitch(switches::kWaitForPackage))
    return hand_over_->WaitForPackage(/*post_elevation=*/true);
  RunPostElevationTasks(run_);
  LOG(INFO) << "Succeeded elevated run";
  return StepResult::Succeeded();
}

FolderAccess::Elevation FolderAccess::WaitForElevatedInstaller() {
  LOG(INFO) << "Running the installer elevated.";
  if (!IsUACEnabled()) {
    LOG(ERROR) << "Cannot elevate with UAC disabled";
    return Elevation::kRefused;
  }
  const base::CommandLine& own = run_->command_line();
  if (own.HasSwitch(switches::kRunElevated)) {
    LOG(ERROR) << "This process should already be elevated, but isn't.";
    return Elevation::kRefused;
  }
  // The elevated installer starts no browser: the user's own process does,
  // in its post-elevation tasks.
  base::CommandLine elevated = run_->settings()->ToCommandLine(true);
  elevated.AppendSwitchASCII(switches::kParentPid,
                             base::UintToString(::GetCurrentProcessId()));
  if (own.HasSwitch(switches::kWaitForPackage)) {
    elevated.AppendSwitchNative(
        switches::kWaitForPackage,
        own.GetSwitchValueNative(switches::kWaitForPackage));
  }
  elevated.AppendSwitch(switches::kRunElevated);
  base::FilePath exe;
  if (!base::PathService::Get(base::FILE_EXE, &exe)) {
    LOG(ERROR) << "Failed to obtain installer exe file path";
    return Elevation::kSetupFailed;
  }

  events_->OnChildTakesOver();
  LOG(INFO) << "Starting " << exe << " " << elevated.GetArgumentsString();
  base::Process process = LaunchElevated(exe, elevated);
  if (!process.IsValid())
    return Elevation::kRefused;
  int exit_code = 0;
  const ChildWaitResult wait =
      run_->WaitForChildProcess(process, "the elevated installer", &exit_code);
  events_->OnChildReturned();
  switch (wait) {
    case ChildWaitResult::kAbandoned:
      return Elevation::kAbandoned;
    case ChildWaitResult::kFailed:
      LOG(ERROR) << "Failed wait for the elevated installer";
      return Elevation::kProcessFailed;
    case ChildWaitResult::kUnexpected:
      LOG(ERROR) << "Unexpected result when waiting for the elevated installer";
      return Elevation::kProcessFailed;
    case ChildWaitResult::kExited:
      break;
  }
  if (exit_code != 0) {
    LOG(ERROR) << "The elevated installer ended with exit code " << exit_code;
    return Elevation::kProcessFailed;
  }
  return Elevation::kSucceeded;
}

FolderAccess::Elevation FolderAccess::RunElevatedForFolderPermissions(
    const base::FilePath& folder,
    bool permanent) {
  LOG(INFO) << "Run an elevated process in order to "
            << (permanent ? "permanently" : "temporarily")
            << " get write permissions to " << folder;
  if (!IsUACEnabled()) {
    LOG(ERROR) << "Cannot elevate with UAC disabled";
    return Elevation::kRefused;
  }
  std::wstring user;
  if (!GetUserName(&user)) {
    LOG(ERROR) << "Failed to obtain user name";
    return Elevation::kSetupFailed;
  }
  const base::CommandLine& own = run_->command_line();
  base::CommandLine command_line(base::CommandLine::NO_PROGRAM);
  command_line.AppendSwitchPath(switches::kSetFolderPermission, folder);
  command_line.AppendSwitchNative(switches::kPermissionsForUser, user);
  if (permanent)
    command_line.AppendSwitch(switches::kPermanentPermissions);
  if (run_->settings()->operation() == OPERATION_UNINSTALLING)
    command_line.AppendSwitch(switches::kRunUninstallBat);
  command_line.AppendSwitchASCII(switches::kCrashReporterPid,
                                 GetCrashReporterPidText(own));
  if (own.HasSwitch(switches::kWaitForPackage)) {
    command_line.AppendSwitchNative(
        switches::kWaitForPackage,
        own.GetSwitchValueNative(switches::kWaitForPackage));
  }
  command_line.AppendSwitchNative(
      switches::kInitialPid, own.GetSwitchValueNative(switches::kInitialPid));
  base::FilePath exe;
  if (!base::PathService::Get(base::FILE_EXE, &exe)) {
    LOG(ERROR) << "Failed to obtain installer exe file path";
    return Elevation::kSetupFailed;
  }
  const InstallerObjectNames names = InstallerObjectNames::ForFolder(folder);
  base::win::ScopedHandle grant(::CreateEventW(
      nullptr, FALSE, FALSE, names.give_permission_event.c_str()));
  base::win::ScopedHandle undo(::CreateEventW(
      nullptr, FALSE, FALSE, names.give_permission_undo_event.c_str()));
  if (!grant.IsValid() || !undo.IsValid()) {
    PLOG(ERROR) << "Failed to create event for communicating with the "
                << "elevated process";
    return Elevation::kSetupFailed;
  }
  // Before Vista "runas" starts the process as another account, an
  // administrator's, which the user's default DACL of the events keeps out.
  if (base::win::GetVersion() < base::win::VERSION_VISTA &&
      (!FixEventACL(grant.Get()) || !FixEventACL(undo.Get()))) {
    LOG(ERROR) << "Failed to open the events to the elevated process";
    return Elevation::kSetupFailed;
  }

  base::Process process = LaunchElevated(exe, command_line);
  if (!process.IsValid())
    return Elevation::kRefused;
  // The grant event comes first: a permanent grant sets it and ends the
  // process at once, and the lowest signalled index wins.
  std::vector<HANDLE> handles = {grant.Get(), process.Handle()};
  const std::vector<HANDLE> way_out = run_->interruption()->GetHandles();
  handles.insert(handles.end(), way_out.begin(), way_out.end());
  const DWORD result = ::WaitForMultipleObjects(
      static_cast<DWORD>(handles.size()), handles.data(), FALSE, INFINITE);
  const bool granted = result == WAIT_OBJECT_0 ||
                       (result == WAIT_OBJECT_0 + 1 &&
                        ::WaitForSingleObject(grant.Get(), 0) == WAIT_OBJECT_0);
  if (granted) {
    completion_event_ = std::move(undo);
    run_->set_used_folder_permission_process(true);
    run_->set_second_installer_pid(process.Pid());
    return Elevation::kSucceeded;
  }
  // A grant still to come is undone at once.
  ::SetEvent(undo.Get());
  if (result == WAIT_OBJECT_0 + 1) {
    LOG(ERROR) << "Failed to run the elevated process: it ended without "
               << "giving the permissions";
    return Elevation::kProcessFailed;
  }
  if (result > WAIT_OBJECT_0 + 1 && result < WAIT_OBJECT_0 + handles.size()) {
    LOG(WARNING) << run_->interruption()->Describe(
                        handles[result - WAIT_OBJECT_0])
                 << " while waiting for the folder permissions";
    return Elevation::kAbandoned;
  }
  PLOG(ERROR) << "Failed waiting for the folder-permission process (result "
              << result << ")";
  return Elevation::kProcessFailed;
}

// static
bool FolderAccess::IsUACEnabled() {
  // Before Vista "runas" asks for an administrator's account, which needs
  // no UAC.
  if (IsUserAdmin(true) || base::win::GetVersion() < base::win::VERSION_VISTA)
    return true;
  base::win::RegKey key;
  DWORD enable_lua = 1;
  if (key.Open(HKEY_LOCAL_MACHINE, kUacPolicyKey, KEY_READ) != ERROR_SUCCESS ||
      key.ReadValueDW(L"EnableLUA", &enable_lua) != ERROR_SUCCESS) {
    return true;
  }
  return enable_lua != 0;
}

}  // namespace installer
