// Installer::Run: the checks of an operation, where the work is done (here
// or by an elevated copy of the installer), the write access to the install
// folder, the folder itself, the package's file lists and the step list.

#include <windows.h>

#include <shellapi.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/command_line.h"
#include "base/features/command_line_feature_reader.h"
#include "base/features/feature_registry.h"
#include "base/features/list_value_feature_reader.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/process/process_handle.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_split.h"
#include "base/strings/utf_string_conversions.h"
#include "base/time/time.h"
#include "base/values.h"
#include "base/win/registry.h"
#include "components/prefs/json_pref_store.h"
#include "desktop/windows/installer/install_log_checks.h"
#include "desktop/windows/installer/installation.h"
#include "desktop/windows/installer/installer.h"
#include "desktop/windows/installer/installer_object_names.h"
#include "desktop/windows/installer/installer_step_list.h"
#include "desktop/windows/installer/package_files.h"
#include "desktop/windows/installer/prefs_task_pool.h"
#include "desktop/windows/installer/process/crash_reporter_pid.h"
#include "desktop/windows/installer/product/installer_features.h"
#include "desktop/windows/installer/product/installer_switches.h"
#include "desktop/windows/installer/product/version_info.h"
#include "desktop/windows/installer/registry_entry.h"
#include "desktop/windows/installer/registry_tables.h"
#include "desktop/windows/installer/service/transactions/create_folder_operation.h"
#include "desktop/windows/installer/service/transactions/delete_file_operation.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/status.h"
#include "desktop/windows/rc_l10n_handler/installer_string_ids.h"

namespace installer {

namespace {

constexpr char kInstallerExperimentsPref[] = "installer-experiments";
constexpr wchar_t kUacPolicyKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
// Version subfolder names tried after the plain version: "<version>_0" up
// to this suffix.
constexpr int kMaxVersionSubfolderSuffix = 99;

const base::CommandLine& OwnCommandLine() {
  return *base::CommandLine::ForCurrentProcess();
}

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

// The non-empty lines of the list file |path|, whitespace kept.
bool ReadListFile(const base::FilePath& path, std::vector<std::string>* list) {
  std::string text;
  if (!base::ReadFileToString(path, &text)) {
    PLOG(ERROR) << "Cannot read " << path;
    return false;
  }
  *list = base::SplitString(text, "\r\n", base::KEEP_WHITESPACE,
                            base::SPLIT_WANT_NONEMPTY);
  return true;
}

// Whether every entry stays below the folder it is joined to.
bool AreSafeEntries(const std::vector<std::string>& list,
                    const char* list_name) {
  for (const std::string& entry : list) {
    if (!IsSafeRelativePath(base::FilePath::FromUTF8Unsafe(entry))) {
      LOG(ERROR) << "Refusing the entry \"" << entry << "\" of " << list_name
                 << ": it leads out of its folder";
      return false;
    }
  }
  return true;
}

// Writes |row| for the current user in the run's transaction; a failure
// only logs |failure|.
void ExecuteUserRow(Installer* installer,
                    const RegistryRow& row,
                    const char* failure) {
  std::unique_ptr<Operation> operation;
  if (!RegistryEntry(row, installer)
           .CreateOperation(HKEY_CURRENT_USER, &operation) ||
      !operation) {
    LOG(ERROR) << "Could not convert kSetLastInstallPathRegOp";
  } else if (!installer->transaction()->Execute(std::move(operation))) {
    LOG(WARNING) << failure;
  }
}

}  // namespace

void Installer::Run() {
  running_ = true;
  const SettingsOperation operation = settings_->operation();
  if (operation == OPERATION_REGISTERING_PROTOCOL_HANDLER) {
    // Registers an existing installation: none of the checks apply.
    base::PathService::Get(base::DIR_EXE, &package_folder_);
    StartSteps();
    return;
  }
  if (!CheckOperation() || !FindPackageFolder())
    return;
  const base::CommandLine& command_line = OwnCommandLine();
  if (command_line.HasSwitch(switches::kPostElevatedInstallTasks)) {
    LOG(INFO) << "Post elevation installation tasks only";
    if (RunPostElevationTasksOfRun(this)) {
      OnSuccess();
    } else {
      NotifyError(IDS_ERROR_INSTALL, std::wstring(),
                  "Post elevation tasks are not available");
    }
    return;
  }
  if (!WatchRunEnd())
    return;
  if (!PrepareInstallFolder())
    return;
  if (command_line.HasSwitch(switches::kWaitForPackage)) {
    LOG(INFO) << "Need to wait for package";
    WaitForPackage(false);
    return;
  }
  PrepareInstallLog();
  if (operation != OPERATION_UNINSTALLING &&
      (!ReadFilesLists() || !CreateVersionSubfolder())) {
    return;
  }
  if (operation == OPERATION_UNINSTALLING && !MoveBrowserExecutableAside())
    return;
  if (operation == OPERATION_UPGRADING)
    ReadExperimentsOfInstallation();
  ReadLauncherBitness();
  StartSteps();
}

bool Installer::PrepareInstallFolder() {
  const base::CommandLine& command_line = OwnCommandLine();
  const SettingsOperation operation = settings_->operation();
  if (command_line.HasSwitch(switches::kParentPid)) {
    unsigned pid = 0;
    if (base::StringToUint(
            command_line.GetSwitchValueNative(switches::kParentPid), &pid)) {
      second_installer_pid_ = pid;
    }
    LOG(INFO) << "Second installer pid: " << second_installer_pid_;
  }
  is_admin_ = IsUserAdmin(false);
  LOG(INFO) << "is_elevated_admin: " << is_admin_;
  const bool all_users = settings_->GetOption(ALL_USERS_FLAG);
  if (all_users && settings_->GetOption(SILENT) && !is_admin_) {
    NotifyError(
        IDS_ERROR_INSTALL, std::wstring(),
        "Installation requires elevation, but cannot elevate when silent");
    return false;
  }
  bool has_write = true;
  if (!CanWriteFromStatus(&has_write))
    return false;
  SaveLastInstallPath();
  if (has_write) {
    has_write = CheckAccess(install_folder().value(), SE_FILE_OBJECT,
                            kInstallFolderWriteAccess);
  }
  const bool grant_single_profile = operation == OPERATION_INSTALLING &&
                                    settings_->GetOption(SINGLE_PROFILE) &&
                                    status().single_profile() != 1;
  if (grant_single_profile && !has_write) {
    NotifyError(IDS_ERROR_INSUFFICIENT_PRIVILEGES, std::wstring(),
                "Single profile installations are only allowed "
                "to locations where the user has write access");
    return false;
  }
  if (all_users && !is_admin_) {
    LOG(INFO) << "All users is set but we have no admin privs -> elevate";
    EndElevatedRun(RunElevated());
    return false;
  }
  if (grant_single_profile && is_admin_) {
    std::unique_ptr<SavedSecurityInfo> unused;
    if (!GrantAccess(install_folder().value(), SE_FILE_OBJECT, GENERIC_ALL,
                     true, &unused)) {
      LOG(ERROR) << "Could not give the user full access to "
                 << install_folder();
    }
  }
  return ObtainWriteAccess(has_write) == WriteAccess::kObtained &&
         CreateInstallFolder(true);
}

bool Installer::CheckOperation() {
  const SettingsOperation operation = settings_->operation();
  if (operation != OPERATION_UPGRADING && !status().tavrel_installation() &&
      settings_->GetOption(AUTOUPDATE)) {
    NotifyError(IDS_ERROR_INSTALL, std::wstring(),
                "Settings operation invalid for autoupdate");
    return false;
  }
  if (operation == OPERATION_NONE) {
    NotifyError(IDS_ERROR_BAD_LOCATION, std::wstring(),
                "Settings operation invalid");
    return false;
  }
  return true;
}

bool Installer::FindPackageFolder() {
  if (!base::PathService::Get(base::DIR_EXE, &package_folder_)) {
    NotifyError(IDS_ERROR_INSTALL, std::wstring(),
                "Failed getting our own path");
    return false;
  }
  return true;
}

bool Installer::WatchRunEnd() {
  const std::wstring name =
      InstallerObjectNames::ForFolder(install_folder()).interrupted_event;
  LOG(INFO) << "Event name for interrupted installation: " << name;
  interrupted_watcher_.StopWatching();
  interrupted_event_.Set(::OpenEventW(SYNCHRONIZE, FALSE, name.c_str()));
  if (!interrupted_event_.IsValid()) {
    PLOG(ERROR) << "OpenEvent failed";
    NotifyError(
        IDS_ERROR_INSTALL, std::wstring(),
        "Failed to open a handle to the installation interrupted event");
    return false;
  }
  if (!interrupted_watcher_.StartWatchingOnce(interrupted_event_.Get(), this)) {
    NotifyError(IDS_ERROR_INSTALL, std::wstring(),
                "Failed to watch the installation interrupted event");
    return false;
  }

  // The front end's own end is a way out of every wait too; the backend
  // watches it as well, but not while this run blocks its thread.
  front_end_watcher_.StopWatching();
  front_end_process_.Close();
  unsigned pid = 0;
  if (!base::StringToUint(
          OwnCommandLine().GetSwitchValueNative(switches::kInitialPid), &pid) ||
      pid == 0) {
    LOG(INFO) << "No front-end process to watch";
    return true;
  }
  front_end_process_ = base::Process::OpenWithAccess(pid, SYNCHRONIZE);
  if (!front_end_process_.IsValid()) {
    PLOG(WARNING) << "Cannot watch the front-end process " << pid;
    return true;
  }
  if (!front_end_watcher_.StartWatchingOnce(front_end_process_.Handle(),
                                            this)) {
    LOG(WARNING) << "Cannot watch the front-end process " << pid;
  }
  return true;
}

bool Installer::CanWriteFromStatus(bool* has_write) {
  const Status& status = this->status();
  if (base::FilePath::CompareEqualIgnoreCase(status.valid_parent().value(),
                                             status.folder().value()) ||
      (settings_->GetOption(ALL_USERS_FLAG) && !is_admin_)) {
    return true;
  }
  LOG(INFO) << "Using write permissions from the status";
  *has_write = status.has_write_access();
  return !*has_write || CreateInstallFolder(false);
}

void Installer::SaveLastInstallPath() {
  if (settings_->operation() == OPERATION_UNINSTALLING ||
      settings_->GetOption(COPY_ONLY) || settings_->GetOption(AUTOUPDATE)) {
    return;
  }
  LOG(INFO) << "Saving last installation path.";
  ExecuteUserRow(this, GetLastInstallPathRow(),
                 "Could not write last installation path");
  if (settings_->x64_download() == 1) {
    ExecuteUserRow(this, GetLegacyX64LastInstallPathRow(),
                   "Could not delete legacy x64 last install path");
  }
}

void Installer::EndElevatedRun(ElevationResult result) {
  switch (result) {
    case kElevationSucceeded:
      LOG(INFO) << "Succeeded elevated run";
      OnSuccess();
      return;
    case kElevationRefused:
      NotifyError(IDS_ERROR_ELEVATION_FAILED, std::wstring(),
                  "Elevated installation failed.");
      return;
    case kElevatedProcessFailed:
      NotifyError(IDS_ERROR_INSTALL, std::wstring(),
                  "Installer process did not complete "
                  "successfully.");
      return;
    case kElevationSetupFailed:
      NotifyError(IDS_ERROR_INSTALL, std::wstring(),
                  "Error when setting up the installer process");
      return;
    case kElevationHandedOver:
      // The wait for the package reports the outcome.
      return;
    case kElevationAbandoned:
      Cancel();
      return;
  }
}

Installer::WriteAccess Installer::ObtainWriteAccess(bool has_write) {
  LOG(INFO) << "Write privileges for install folder: " << has_write;
  if (has_write)
    return WriteAccess::kObtained;
  if (GrantAccess(install_folder().value(), SE_FILE_OBJECT,
                  kInstallFolderWriteAccess, false, &saved_folder_security_)) {
    LOG(INFO) << "Granted temporary write access to " << install_folder();
    return WriteAccess::kObtained;
  }
  if (is_admin_) {
    NotifyError(IDS_ERROR_INSUFFICIENT_PRIVILEGES, std::wstring(),
                "Could not obtain write permissions to installation folder");
    return WriteAccess::kRunEnded;
  }
  if (IsUserAdmin(true)) {
    LOG(INFO) << "Running elevated because of folder privileges";
    EndElevatedRun(RunElevated());
    return WriteAccess::kRunEnded;
  }
  return ObtainWriteAccessThroughPermissionProcess();
}

Installer::WriteAccess Installer::ObtainWriteAccessThroughPermissionProcess() {
  LOG(INFO) << "Need temporary write permissions from administrative user";
  const bool permanent = settings_->GetOption(SINGLE_PROFILE) ||
                         OwnCommandLine().HasSwitch(switches::kComponents);
  const char* failure = nullptr;
  int code = IDS_ERROR_INSTALL;
  switch (RunElevatedForFolderPermissions(install_folder(), permanent)) {
    case kElevationSucceeded:
      LOG(INFO) << "Temporary write permission obtained";
      break;
    case kElevationRefused:
      code = IDS_ERROR_ELEVATION_FAILED;
      failure =
          "Failed to elevate the process to give us write permissions to "
          "installation folder";
      break;
    case kElevatedProcessFailed:
    case kElevationHandedOver:
      failure =
          "The process for giving us write permission to the installer "
          "folder didn't complete successfully";
      break;
    case kElevationSetupFailed:
      failure =
          "Error when setting up the process to give us write permissions to "
          "installation folder";
      break;
    case kElevationAbandoned:
      Cancel();
      return WriteAccess::kRunEnded;
  }
  if (failure) {
    NotifyError(code, std::wstring(), failure);
    return WriteAccess::kRunEnded;
  }
  if (!CheckAccess(install_folder().value(), SE_FILE_OBJECT,
                   kInstallFolderWriteAccess)) {
    NotifyError(IDS_ERROR_INSUFFICIENT_PRIVILEGES, std::wstring(),
                "No write access to installation folder after "
                "attempting to get it via elevated process");
    return WriteAccess::kRunEnded;
  }
  return WriteAccess::kObtained;
}

bool Installer::CreateInstallFolder(bool notify) {
  if (!transaction_.Execute(
          std::make_unique<CreateFolderOperation>(install_folder()))) {
    NotifyError(IDS_ERROR_CREATE_FOLDER, install_folder().value(),
                "Could not create installation folder");
    return false;
  }
  if (!notify)
    return true;
  for (InstallerObserver& observer : observers_)
    observer.OnInstallFolderCreated();
  return true;
}

void Installer::PrepareInstallLog() {
  install_log_.copy_only = settings_->GetOption(COPY_ONLY);
  install_log_.all_users = settings_->GetOption(ALL_USERS_FLAG);
  install_log_.install_path = install_folder();
  install_log_.version = GetProductVersion();
  const std::string& existing_app_id = status().install_log().app_id;
  if (settings_->operation() == OPERATION_UPGRADING &&
      !existing_app_id.empty()) {
    install_log_.app_id = existing_app_id;
    return;
  }
  install_log_.app_id = base::Int64ToString(base::Time::Now().ToTimeT());
  LOG(INFO) << "AppId for new installation: " << install_log_.app_id;
}

bool Installer::ReadFilesLists() {
  LOG(INFO) << "Reading files list";
  if (!ReadListFile(package_folder_.AppendASCII(kFilesListName), &files_)) {
    NotifyError(IDS_ERROR_INSTALL, std::wstring(), "Could not read files list");
    return false;
  }
  if (files_.empty()) {
    NotifyError(IDS_ERROR_INSTALL, std::wstring(), "No files in files list");
    return false;
  }
  const base::FilePath root_list =
      package_folder_.AppendASCII(kRootFilesListName);
  if (base::PathExists(root_list)) {
    if (!ReadListFile(root_list, &root_files_)) {
      NotifyError(IDS_ERROR_INSTALL, std::wstring(),
                  "Could not read root files list");
      return false;
    }
    LOG(INFO) << "Read root files list";
  }
  if (!AreSafeEntries(files_, kFilesListName) ||
      !AreSafeEntries(root_files_, kRootFilesListName)) {
    NotifyError(IDS_ERROR_INSTALL, std::wstring(),
                "Unsafe entry in the files lists");
    return false;
  }
  return true;
}

bool Installer::CreateVersionSubfolder() {
  const std::wstring version = base::ASCIIToWide(GetProductVersion());
  std::wstring name = version;
  for (int suffix = 0; base::PathExists(install_folder().Append(name));
       ++suffix) {
    if (suffix > kMaxVersionSubfolderSuffix) {
      LOG(ERROR) << "No free name for the version subfolder";
      NotifyError(IDS_ERROR_CREATE_FOLDER, version,
                  "Creating installation subfolder failed");
      return false;
    }
    name = version + L"_" + base::NumberToString16(suffix);
  }
  LOG(INFO) << "Installation subfolder " << name;
  install_log_.subfolder = base::FilePath(name);
  if (!transaction_.Execute(std::make_unique<CreateFolderOperation>(
          install_folder().Append(name)))) {
    NotifyError(IDS_ERROR_CREATE_FOLDER, name,
                "Creating installation subfolder failed");
    return false;
  }
  return true;
}

bool Installer::MoveBrowserExecutableAside() {
  const std::string exe_name = GetProductExeName();
  const base::FilePath exe = install_folder()
                                 .Append(status().install_log().subfolder)
                                 .AppendASCII(exe_name);
  if (!transaction_.Execute(std::make_unique<DeleteFileOperation>(
          exe, true, true, install_folder()))) {
    NotifyError(IDS_ERROR_BROWSER_RUNNING, std::wstring(),
                "Can't uninstall when " + exe_name + " is in use");
    return false;
  }
  return true;
}

void Installer::ReadExperimentsOfInstallation() {
  scoped_refptr<JsonPrefStore> prefs =
      OpenJsonPrefStore(PrefsTaskPool::GetInstance(),
                        install_folder().AppendASCII(kInstallerPrefsFileName));
  const base::Value* value = nullptr;
  const base::ListValue* experiments = nullptr;
  if (prefs->GetValue(kInstallerExperimentsPref, &value) &&
      value->GetAsList(&experiments)) {
    // The installation's states first, so that switches win.
    FeatureRegistry* registry = FeatureRegistry::GetInstance();
    ListValueFeatureReader list_reader(experiments);
    registry->Initialize(&list_reader);
    CommandLineFeatureReader command_line_reader(&OwnCommandLine());
    registry->Initialize(&command_line_reader);
  }
  if (status().experiments().IsEnabled(kInstallerExperimentTest) !=
      IsFeatureEnabled(kInstallerExperimentTest)) {
    LOG(INFO) << "Changing the status of the test experiment.";
  }
}

void Installer::ReadLauncherBitness() {
  launcher_bitness_known_ = GetExecutableIs64Bit(
      install_folder().AppendASCII(kLauncherExeName), &launcher_is_64_bit_);
  if (launcher_bitness_known_)
    LOG(INFO) << "Installed launcher is 64-bit: " << launcher_is_64_bit_;
}

void Installer::StartSteps() {
  if (steps_for_testing_.empty())
    steps_ = BuildStepList(this, settings_->operation());
  else
    steps_ = std::move(steps_for_testing_);
  steps_for_testing_.clear();
  if (steps_.empty()) {
    NotifyError(IDS_ERROR_INSTALL, std::wstring(),
                "No installation steps for this operation");
    return;
  }
  if (settings_->operation() != OPERATION_REGISTERING_PROTOCOL_HANDLER) {
    const int total = CountTotalSteps(settings_->operation(), steps_.size(),
                                      files_.size(), root_files_.size());
    for (InstallerObserver& observer : observers_)
      observer.OnTotalSteps(total);
  }
  cursor_ = 0;
  ScheduleNextStep();
}

Installer::ElevationResult Installer::RunElevated() {
  LOG(INFO) << "Running the installer elevated.";
  if (!IsUACEnabled()) {
    LOG(ERROR) << "Cannot elevate with UAC disabled";
    return kElevationRefused;
  }
  const base::CommandLine& own = OwnCommandLine();
  if (own.HasSwitch(switches::kRunElevated)) {
    LOG(ERROR) << "This process should already be elevated, but isn't.";
    return kElevationRefused;
  }
  // The elevated installer starts no browser: the user's own process does,
  // in its post-elevation tasks.
  base::CommandLine elevated = settings_->ToCommandLine(true);
  elevated.AppendSwitchASCII(switches::kParentPid,
                             base::UintToString(::GetCurrentProcessId()));
  const bool wait_for_package = own.HasSwitch(switches::kWaitForPackage);
  if (wait_for_package) {
    elevated.AppendSwitchNative(
        switches::kWaitForPackage,
        own.GetSwitchValueNative(switches::kWaitForPackage));
  }
  elevated.AppendSwitch(switches::kRunElevated);
  base::FilePath exe;
  if (!base::PathService::Get(base::FILE_EXE, &exe)) {
    LOG(ERROR) << "Failed to obtain installer exe file path";
    return kElevationSetupFailed;
  }

  NotifyStartingNewMainProcess();
  LOG(INFO) << "Starting " << exe << " " << elevated.GetArgumentsString();
  base::Process process = LaunchElevated(exe, elevated);
  if (!process.IsValid())
    return kElevationRefused;
  int exit_code = 0;
  const ChildWaitResult wait =
      WaitForChildProcess(process, "the elevated installer", &exit_code);
  NotifyReturnedToPreviousMainProcess();
  switch (wait) {
    case ChildWaitResult::kAbandoned:
      return kElevationAbandoned;
    case ChildWaitResult::kFailed:
      LOG(ERROR) << "Failed wait for the elevated installer";
      return kElevatedProcessFailed;
    case ChildWaitResult::kExited:
      break;
  }
  if (exit_code != 0) {
    LOG(ERROR) << "The elevated installer ended with exit code " << exit_code;
    return kElevatedProcessFailed;
  }
  if (wait_for_package) {
    WaitForPackage(true);
    return kElevationHandedOver;
  }
  if (!RunPostElevationTasksOfRun(this))
    return kElevationSetupFailed;
  return kElevationSucceeded;
}

Installer::ElevationResult Installer::RunElevatedForFolderPermissions(
    const base::FilePath& folder,
    bool permanent) {
  LOG(INFO) << "Run an elevated process in order to "
            << (permanent ? "permanently" : "temporarily")
            << " get write permissions to " << folder;
  if (!IsUACEnabled()) {
    LOG(ERROR) << "Cannot elevate with UAC disabled";
    return kElevationRefused;
  }
  std::wstring user;
  if (!GetUserName(&user)) {
    LOG(ERROR) << "Failed to obtain user name";
    return kElevationSetupFailed;
  }
  const base::CommandLine& own = OwnCommandLine();
  base::CommandLine command_line(base::CommandLine::NO_PROGRAM);
  command_line.AppendSwitchPath(switches::kSetFolderPermission, folder);
  command_line.AppendSwitchNative(switches::kPermissionsForUser, user);
  if (permanent)
    command_line.AppendSwitch(switches::kPermanentPermissions);
  if (settings_->operation() == OPERATION_UNINSTALLING)
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
    return kElevationSetupFailed;
  }
  const InstallerObjectNames names = InstallerObjectNames::ForFolder(folder);
  base::win::ScopedHandle grant(::CreateEventW(
      nullptr, FALSE, FALSE, names.give_permission_event.c_str()));
  base::win::ScopedHandle undo(::CreateEventW(
      nullptr, FALSE, FALSE, names.give_permission_undo_event.c_str()));
  if (!grant.IsValid() || !undo.IsValid()) {
    PLOG(ERROR) << "Failed to create event for communicating with the "
                << "elevated process";
    return kElevationSetupFailed;
  }

  base::Process process = LaunchElevated(exe, command_line);
  if (!process.IsValid())
    return kElevationRefused;
  // The grant event comes first: a permanent grant sets it and ends the
  // process at once, and the lowest signalled index wins.
  std::vector<HANDLE> handles = {grant.Get(), process.Handle()};
  const std::vector<HANDLE> way_out = GetWayOutHandles();
  handles.insert(handles.end(), way_out.begin(), way_out.end());
  const DWORD result = ::WaitForMultipleObjects(
      static_cast<DWORD>(handles.size()), handles.data(), FALSE, INFINITE);
  const bool granted = result == WAIT_OBJECT_0 ||
                       (result == WAIT_OBJECT_0 + 1 &&
                        ::WaitForSingleObject(grant.Get(), 0) == WAIT_OBJECT_0);
  if (granted) {
    completion_event_ = std::move(undo);
    second_installer_pid_ = process.Pid();
    return kElevationSucceeded;
  }
  // A grant still to come is undone at once.
  ::SetEvent(undo.Get());
  if (result == WAIT_OBJECT_0 + 1) {
    LOG(ERROR) << "Failed to run the elevated process: it ended without "
               << "giving the permissions";
    return kElevatedProcessFailed;
  }
  if (result > WAIT_OBJECT_0 + 1 && result < WAIT_OBJECT_0 + handles.size()) {
    LOG(WARNING) << DescribeWayOut(handles[result - WAIT_OBJECT_0])
                 << " while waiting for the folder permissions";
    return kElevationAbandoned;
  }
  PLOG(ERROR) << "Failed waiting for the folder-permission process (result "
              << result << ")";
  return kElevatedProcessFailed;
}

// static
bool Installer::IsUACEnabled() {
  if (IsUserAdmin(true))
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
