#include "desktop/windows/installer/steps/uninstall_steps.h"

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <memory>
#include <vector>

#include "base/bind.h"
#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/process/process.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/registry.h"
#include "base/win/windows_version.h"
#include "base/win/wmi.h"
#include "desktop/common/autoupdate/updatechecker/globalstorage_win.h"
#include "desktop/windows/installer/component_installer.h"
#include "desktop/windows/installer/install_log_checks.h"
#include "desktop/windows/installer/install_run.h"
#include "desktop/windows/installer/installation.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/product/installer_switches.h"
#include "desktop/windows/installer/product/version_info.h"
#include "desktop/windows/installer/service/task_scheduler.h"
#include "desktop/windows/installer/service/transactions/delete_file_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/shell_integration_platform.h"
#include "desktop/windows/installer/status.h"
#include "desktop/windows/installer/step_result.h"
#include "desktop/windows/installer/steps/install_steps.h"
#include "desktop/windows/installer/uninstall_batch.h"
#include "desktop/windows/rc_l10n_handler/installer_string_ids.h"

namespace installer {

namespace {

constexpr wchar_t kStartMenuInternetKey[] =
    L"Software\\Clients\\StartMenuInternet";
constexpr wchar_t kIeInstallInfoKey[] =
    L"SOFTWARE\\Clients\\StartMenuInternet\\IEXPLORE.EXE\\InstallInfo";
constexpr wchar_t kIeApplicationName[] = L"Internet Explorer";
constexpr char kPrefDefaultOverridesFileName[] = "pref_default_overrides";
constexpr char kAutoupdateTaskPrefix[] = "Autoupdate ";

SurveyLauncher* g_survey_launcher_for_testing = nullptr;

bool LaunchSurvey(const std::wstring& command_line) {
  if (g_survey_launcher_for_testing)
    return g_survey_launcher_for_testing->Run(command_line);
  return base::win::WmiLaunchProcess(command_line, nullptr);
}

// Turns off the file-system redirection of a 32-bit process on 64-bit
// Windows while alive, so that a system program of the native bitness
// runs; inert in a native process.
class ScopedFileSystemRedirectionOff {
 public:
  ScopedFileSystemRedirectionOff() {
    HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
    auto is_wow64 = reinterpret_cast<decltype(&::IsWow64Process)>(
        ::GetProcAddress(kernel32, "IsWow64Process"));
    auto disable =
        reinterpret_cast<decltype(&::Wow64DisableWow64FsRedirection)>(
            ::GetProcAddress(kernel32, "Wow64DisableWow64FsRedirection"));
    revert_ = reinterpret_cast<decltype(&::Wow64RevertWow64FsRedirection)>(
        ::GetProcAddress(kernel32, "Wow64RevertWow64FsRedirection"));
    BOOL wow64 = FALSE;
    disabled_ = is_wow64 && disable && revert_ &&
                is_wow64(::GetCurrentProcess(), &wow64) && wow64 &&
                disable(&old_value_);
  }
  ScopedFileSystemRedirectionOff(const ScopedFileSystemRedirectionOff&) =
      delete;
  ScopedFileSystemRedirectionOff& operator=(
      const ScopedFileSystemRedirectionOff&) = delete;
  ~ScopedFileSystemRedirectionOff() {
    if (disabled_)
      revert_(old_value_);
  }

 private:
  decltype(&::Wow64RevertWow64FsRedirection) revert_ = nullptr;
  void* old_value_ = nullptr;
  bool disabled_ = false;
};

// Runs Internet Explorer's own command that makes it the default browser
// of the machine, and waits for it.
void RunIeReinstallCommand(InstallRun* run) {
  base::win::RegKey key;
  std::wstring command;
  if (key.Open(HKEY_LOCAL_MACHINE, kIeInstallInfoKey, KEY_QUERY_VALUE) !=
          ERROR_SUCCESS ||
      key.ReadValue(L"ReinstallCommand", &command) != ERROR_SUCCESS) {
    LOG(WARNING) << "Internet Explorer has no reinstall command";
    return;
  }
  std::wstring program;
  std::wstring arguments;
  size_t end = std::wstring::npos;
  if (!command.empty() && command[0] == L'"') {
    end = command.find(L'"', 1);
    program = command.substr(1, end == std::wstring::npos ? end : end - 1);
    if (end != std::wstring::npos)
      ++end;
  } else {
    end = command.find(L' ');
    program = command.substr(0, end);
  }
  if (end != std::wstring::npos && end < command.size())
    arguments = command.substr(end + 1);

  SHELLEXECUTEINFOW info = {sizeof(info)};
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_DOENVSUBST;
  info.lpFile = program.c_str();
  info.lpParameters = arguments.c_str();
  info.nShow = SW_SHOW;
  {
    ScopedFileSystemRedirectionOff redirection_off;
    if (!::ShellExecuteExW(&info) || !info.hProcess) {
      PLOG(ERROR) << "Could not run " << command;
      return;
    }
  }
  base::Process process(info.hProcess);
  int exit_code = 0;
  run->WaitForChildProcess(process, "Internet Explorer's reinstall command",
                           &exit_code);
}

// Has Windows' default programs give the web types back to Internet
// Explorer.
void SetIeAsDefault() {
  Microsoft::WRL::ComPtr<IApplicationAssociationRegistration> registration;
  HRESULT result = ::CoCreateInstance(
      CLSID_ApplicationAssociationRegistration, nullptr, CLSCTX_INPROC_SERVER,
      IID_PPV_ARGS(registration.GetAddressOf()));
  if (FAILED(result)) {
    LOG(ERROR) << "No application association registration: 0x" << std::hex
               << result;
    return;
  }
  const struct {
    const wchar_t* name;
    ASSOCIATIONTYPE type;
  } kAssociations[] = {{L".htm", AT_FILEEXTENSION},
                       {L".html", AT_FILEEXTENSION},
                       {L"http", AT_URLPROTOCOL},
                       {L"https", AT_URLPROTOCOL}};
  for (const auto& association : kAssociations) {
    result = registration->SetAppAsDefault(kIeApplicationName, association.name,
                                           association.type);
    if (FAILED(result)) {
      LOG(WARNING) << "Could not give " << association.name
                   << " to Internet Explorer: 0x" << std::hex << result;
    }
  }
}

void RestoreDefaultBrowser(InstallRun* run) {
  LOG(INFO) << "Attempting to reset the default browser to IE.";
  const base::win::Version version =
      ShellIntegrationPlatform::GetInstance()->GetWindowsVersion();
  if (!run->status().is_http_handler() || version < base::win::VERSION_VISTA) {
    return;
  }
  if (run->settings()->GetOption(ALL_USERS_FLAG))
    RunIeReinstallCommand(run);
  if (version == base::win::VERSION_WIN8) {
    // Windows 8 lets only the user choose, in its open-with dialog.
    if (ShellIntegrationPlatform::GetInstance()->ShowOpenWithDialog(L"http"))
      ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  } else {
    SetIeAsDefault();
  }
}

// The survey's address with the product version, the user's id and the
// query of the installation's welcome page.
std::string GetSurveyUrl(InstallRun* run,
                         const base::FilePath& install_folder,
                         const std::string& survey) {
  // The storage of the installation being removed, which need not be the
  // one this process belongs to.
  GlobalStorageWin storage(GetProductRegistryKey());
  storage.DecideMode(
      base::BindRepeating([](bool copy_only) { return copy_only; },
                          run->status().install_log().copy_only));
  TargetInstallation installation(install_folder);
  base::FilePath user_data;
  if (installation.GetUserDataDir(&user_data))
    storage.InitFallback(user_data);
  std::string uuid;
  if (storage.Get("UUID", &uuid) != GlobalStorage::kOk)
    uuid.clear();
  std::string url =
      survey + "?version=" + GetProductVersion() + "&uuid=" + uuid;
  const std::string& welcome = run->status().welcome_url();
  const size_t query = welcome.find('?');
  if (query != std::string::npos &&
      welcome.find('?', query + 1) == std::string::npos) {
    url += '&' + welcome.substr(query + 1);
  }
  return url;
}

void ShowSurvey(InstallRun* run, const base::FilePath& install_folder) {
  const std::string survey = GetBrandingUrl("uninstall_survey");
  if (survey.empty() || run->command_line().HasSwitch(switches::kSilent)) {
    return;
  }
  LOG(INFO) << "Trying to display the uninstall survey";
  base::FilePath program_files;
  if (!base::PathService::Get(base::DIR_PROGRAM_FILES, &program_files)) {
    LOG(ERROR) << "Cannot find the program files folder";
    return;
  }
  // The address stays one argument: the welcome page's query comes from a
  // file the user may write.
  std::string url = GetSurveyUrl(run, install_folder, survey);
  base::ReplaceSubstringsAfterOffset(&url, 0, " ", "%20");
  base::ReplaceSubstringsAfterOffset(&url, 0, "\"", "%22");
  std::wstring command_line = L"\"" +
                              program_files.Append(L"Internet Explorer")
                                  .Append(L"iexplore.exe")
                                  .value() +
                              L"\" " + base::UTF8ToWide(url);
  if (ShellIntegrationPlatform::GetInstance()->GetWindowsVersion() >=
      base::win::VERSION_WIN8) {
    command_line += L" -private";
  }
  if (!LaunchSurvey(command_line))
    LOG(ERROR) << "Could not open the uninstall survey";
}

// Deletes |path| in the installer's transaction; a file it cannot delete
// is left to |batch| when given.
void DeleteInstalledFile(InstallRun* run,
                         const base::FilePath& path,
                         bool check_in_use,
                         UninstallBatch* batch) {
  if (run->transaction()->Execute(std::make_unique<DeleteFileOperation>(
          path, check_in_use, true, run->install_folder()))) {
    return;
  }
  LOG(WARNING) << "Could not delete " << path;
  if (batch)
    batch->AddFile(path);
}

void DeleteInstalledFiles(InstallRun* run, UninstallBatch* batch) {
  const base::FilePath& install_folder = run->install_folder();
  const InstallLog& old_log = run->status().install_log();
  const base::FilePath version_folder =
      install_folder.Append(old_log.subfolder);
  for (const base::FilePath& file : old_log.files) {
    if (IsSafeRelativePath(file))
      DeleteInstalledFile(run, version_folder.Append(file), true, batch);
    else
      LOG(ERROR) << "Refusing the install log entry " << file;
  }
  DeleteInstalledFile(run, install_folder.AppendASCII(kLauncherExeName), true,
                      batch);
  if (!IsWhiteLabeled()) {
    const base::FilePath old_copy =
        install_folder.AppendASCII(GetProductExeName())
            .ReplaceExtension(L".old");
    if (base::PathExists(old_copy))
      DeleteInstalledFile(run, old_copy, false, batch);
  }
  DeleteInstalledFile(run,
                      install_folder.AppendASCII(kPrefDefaultOverridesFileName),
                      false, batch);
  for (const base::FilePath& file : old_log.root_files) {
    if (IsSafeRelativePath(file))
      DeleteInstalledFile(run, install_folder.Append(file), true, nullptr);
    else
      LOG(ERROR) << "Refusing the install log entry " << file;
  }
}

void WriteAndStartBatch(InstallRun* run, UninstallBatch* batch) {
  batch->AddProcess(1, ::GetCurrentProcessId());
  unsigned initial_pid = 0;
  if (base::StringToUint(
          run->command_line().GetSwitchValueNative(switches::kInitialPid),
          &initial_pid)) {
    batch->AddProcess(2, initial_pid);
  }
  batch->AddProcess(3, run->second_installer_pid());
  if (!batch->Write())
    return;
  // The folder-permission process starts it once this run has finished.
  if (!run->used_folder_permission_process()) {
    LOG(INFO) << "Starting final cleanup batch file.";
    RunUninstallBatch(run->install_folder());
  }
}

void DeleteUserProfile(const base::FilePath& install_folder) {
  TargetInstallation installation(install_folder);
  base::FilePath user_data;
  if (!installation.GetUserDataDirForRemoval(&user_data)) {
    LOG(ERROR) << "No user profile that may be deleted";
    return;
  }
  LOG(INFO) << "Deleting user profile.";
  if (!base::DeleteFile(user_data, true))
    LOG(ERROR) << "Could not delete " << user_data;
  base::FilePath cache;
  if (installation.GetUserCacheDir(user_data, &cache) && cache != user_data &&
      !base::DeleteFile(cache, true)) {
    LOG(ERROR) << "Could not delete " << cache;
  }
}

}  // namespace

StepResult StepFinalizeUninstallation(InstallRun* run) {
  LOG(INFO) << "Finalizing the uninstallation";
  const base::FilePath& install_folder = run->install_folder();
  const base::FilePath status_file =
      install_folder.AppendASCII(kInstallLogFileName);
  if (!run->transaction()->Execute(
          std::make_unique<DeleteFileOperation>(status_file, false, false))) {
    return StepResult::Error(IDS_ERROR_UNINSTALL, status_file.value(),
                             "Failed to remove installation status file");
  }
  RestoreDefaultBrowserAndSurvey(run, install_folder);
  return StepResult::Next();
}

void RestoreDefaultBrowserAndSurvey(InstallRun* run,
                                    const base::FilePath& install_folder) {
  ::SendNotifyMessageW(HWND_BROADCAST, WM_SETTINGCHANGE, 0,
                       reinterpret_cast<LPARAM>(kStartMenuInternetKey));
  ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  if (!run->settings()->GetOption(COPY_ONLY))
    RestoreDefaultBrowser(run);
  if (run->is_admin()) {
    for (const base::FilePath& version_folder :
         run->status().InstalledVersionFolders()) {
      UpdateFirewallRules(install_folder.Append(version_folder)
                              .AppendASCII(GetProductExeName()),
                          true);
    }
  }
  ShowSurvey(run, install_folder);
}

StepResult StepUninstallComponents(InstallRun* run) {
  Settings* settings = run->settings();
  base::CommandLine switches(base::CommandLine::NO_PROGRAM);
  switches.AppendSwitch(switches::kUninstall);
  switches.AppendSwitchASCII(switches::kCopyonly,
                             settings->GetOption(COPY_ONLY) ? "1" : "0");
  switches.AppendSwitchASCII(switches::kAllusers,
                             settings->GetOption(ALL_USERS_FLAG) ? "1" : "0");
  for (const InstallLog::Component& component :
       run->status().install_log().components) {
    StartComponentInstaller(component, run->install_folder(), switches);
  }
  return StepResult::Next();
}

StepResult StepCleanupAfterUninstall(InstallRun* run) {
  LOG(INFO) << "Cleaning up files after uninstallation";
  Settings* settings = run->settings();
  if (!settings->GetOption(COPY_ONLY)) {
    LOG(INFO) << "Removing scheduled task";
    DeleteAutoupdateTask(run->status().install_log().app_id);
  }
  UninstallBatch batch(run->install_folder());
  DeleteInstalledFiles(run, &batch);
  WriteAndStartBatch(run, &batch);
  if (settings->GetOption(DELETE_PROFILE))
    DeleteUserProfile(run->install_folder());
  return StepResult::Next();
}

void DeleteAutoupdateTask(const std::string& app_id) {
  std::unique_ptr<TaskScheduler> scheduler = CreateTaskScheduler();
  if (!scheduler || !scheduler->Init()) {
    LOG(ERROR) << "Could not initialize task scheduler";
    return;
  }
  scheduler->DeleteOrphanedTasks();
  scheduler->DeleteTask(base::UTF8ToWide(kAutoupdateTaskPrefix + app_id));
}

ScopedSurveyLauncherForTesting::ScopedSurveyLauncherForTesting(
    SurveyLauncher launcher)
    : launcher_(std::move(launcher)) {
  DCHECK(!g_survey_launcher_for_testing);
  g_survey_launcher_for_testing = &launcher_;
}

ScopedSurveyLauncherForTesting::~ScopedSurveyLauncherForTesting() {
  g_survey_launcher_for_testing = nullptr;
}

}  // namespace installer
