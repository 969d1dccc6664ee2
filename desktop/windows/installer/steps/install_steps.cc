#include "desktop/windows/installer/steps/install_steps.h"

#include <windows.h>

#include <shlobj.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/bind.h"
#include "base/command_line.h"
#include "base/features/feature_registry.h"
#include "base/files/file_util.h"
#include "base/files/new_file.h"
#include "base/json/json_reader.h"
#include "base/json/json_writer.h"
#include "base/logging.h"
#include "base/process/launch.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "base/values.h"
#include "base/win/windows_version.h"
#include "components/prefs/json_pref_store.h"
#include "desktop/windows/installer/install_log_checks.h"
#include "desktop/windows/installer/install_log_writer.h"
#include "desktop/windows/installer/install_run.h"
#include "desktop/windows/installer/installation.h"
#include "desktop/windows/installer/prefs_task_pool.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/product/installer_features.h"
#include "desktop/windows/installer/product/installer_switches.h"
#include "desktop/windows/installer/service/firewall_manager.h"
#include "desktop/windows/installer/service/product_naming.h"
#include "desktop/windows/installer/service/task_scheduler.h"
#include "desktop/windows/installer/service/transactions/copy_file_operation.h"
#include "desktop/windows/installer/service/transactions/move_file_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/shell_integration.h"
#include "desktop/windows/installer/status.h"
#include "desktop/windows/installer/step_result.h"
#include "desktop/windows/rc_l10n_handler/installer_string_ids.h"
#include "desktop/windows/rc_l10n_handler/rc_l10n_handler.h"

namespace installer {

namespace {

constexpr char kPrefDefaultOverridesFileName[] = "pref_default_overrides";
constexpr char kPreferencesFileName[] = "Preferences";
constexpr char kPartnerContentFileName[] = "custom_partner_content.json";
constexpr char kTrackingUserAgentFileName[] = "tracking_user_agent.json";
constexpr char kTaskErrorCountPref[] = "au_task_error_count";
// How long the installer prefs may take to reach the disk.
constexpr base::TimeDelta kMaxPrefsWriteWait = base::TimeDelta::FromSeconds(10);
// The scheduled task's execution time limit, in seconds.
constexpr uint32_t kAutoupdateTaskTimeLimit = 3600;

// The version subfolder of the installation: this run's, or for a run
// after an elevated install, the one that install recorded.
base::FilePath GetVersionFolder(InstallRun* run) {
  const base::FilePath& subfolder = run->install_log()->subfolder.empty()
                                        ? run->status().install_log().subfolder
                                        : run->install_log()->subfolder;
  return run->install_folder().Append(subfolder);
}

// Copies entry |index| of the files list or, with |is_root|, of the root
// files list.
StepResult CopyListEntry(InstallRun* run, size_t index, bool is_root) {
  const std::vector<std::string>& list =
      is_root ? run->root_files() : run->files();
  if (is_root && list.empty()) {
    LOG(INFO) << "Skipping copying of root files since list is empty.";
    return StepResult::Next();
  }
  DCHECK_LT(index, list.size());
  const std::string& entry = list[index];
  const base::FilePath relative = base::FilePath::FromUTF8Unsafe(entry);
  LOG(INFO) << "Copying " << (is_root ? "root " : "") << "file " << relative;
  const base::FilePath destination =
      is_root ? run->install_folder().Append(relative)
              : GetVersionFolder(run).Append(relative);
  if (!run->transaction()->Execute(std::make_unique<CopyFileOperation>(
          run->package_folder().Append(relative), destination))) {
    return StepResult::Error(IDS_ERROR_COPY_FILE, destination.value(),
                             "Failed copying " + entry);
  }
  InstallLog* log = run->install_log();
  (is_root ? log->root_files : log->files).push_back(relative);
  if (index + 1 == list.size())
    LOG(INFO) << "Done copying " << (is_root ? "root " : "") << "files";
  return StepResult::Next();
}

// Copies |source| to |destination| in the run's transaction; logs
// |failure| as a warning when that fails.
void CopyBestEffort(InstallRun* run,
                    const base::FilePath& source,
                    const base::FilePath& destination,
                    const char* failure) {
  if (!run->transaction()->Execute(
          std::make_unique<CopyFileOperation>(source, destination))) {
    LOG(WARNING) << failure;
  }
}

// The launcher also as the product executable, where the former product's
// installation left its browser there.
void InstallLauncherAsProductExecutable(InstallRun* run) {
  LOG(INFO) << "Check if the launcher should be installed as "
            << GetProductExeName();
  const Status& status = run->status();
  const base::FilePath product_exe =
      run->install_folder().AppendASCII(GetProductExeName());
  const base::FilePath old_exe = product_exe.ReplaceExtension(L".old");
  if (!(status.existing_installation_traces() &&
        status.tavrel_installation()) &&
      !(base::PathExists(product_exe) && base::PathExists(old_exe))) {
    return;
  }
  LOG(INFO) << "Install the launcher as " << GetProductExeName();
  Transaction* transaction = run->transaction();
  if (!transaction->Execute(
          std::make_unique<MoveFileOperation>(product_exe, old_exe)) ||
      !transaction->Execute(std::make_unique<CopyFileOperation>(
          run->install_folder().AppendASCII(kLauncherExeName), product_exe))) {
    LOG(WARNING) << "Failed installing the launcher as " << GetProductExeName();
  }
}

void InstallTrackingData(InstallRun* run) {
  if (!run->command_line().HasSwitch(switches::kServerTrackingData))
    return;
  LOG(INFO) << "Tracking data installation requested";
  const base::FilePath relative =
      run->command_line().GetSwitchValuePath(switches::kServerTrackingData);
  const base::FilePath source = run->package_folder().Append(
      IsSafeRelativePath(relative) ? relative : base::FilePath());
  if (!IsSafeRelativePath(relative) || !base::PathExists(source) ||
      base::DirectoryExists(source)) {
    LOG(WARNING) << "Tracking data path specified on command line invalid";
    return;
  }
  CopyBestEffort(run, source,
                 run->install_folder().AppendASCII(kServerTrackingDataFileName),
                 "Failed to install tracking data");
}

void InstallPrefDefaultOverrides(InstallRun* run) {
  const base::FilePath source =
      run->package_folder().AppendASCII(kPrefDefaultOverridesFileName);
  if (!base::PathExists(source))
    return;
  LOG(INFO) << "Found pref default overrides";
  std::string text;
  if (!base::ReadFileToString(source, &text) || !base::JSONReader::Read(text)) {
    LOG(INFO) << "Supplied pref default overrides is not valid JSON";
    return;
  }
  CopyBestEffort(
      run, source,
      run->install_folder().AppendASCII(kPrefDefaultOverridesFileName),
      "Failed to install pref default overrides");
}

// "name@1" or "name@2" for the installer features, all of them or those
// whose state is not their default.
std::unique_ptr<base::ListValue> ListInstallerFeatures(bool all) {
  auto list = std::make_unique<base::ListValue>();
  size_t count = 0;
  const FeatureRow* rows = GetInstallerFeatures(&count);
  for (size_t i = 0; i < count; ++i) {
    const bool enabled = IsFeatureEnabled(rows[i].name);
    if (all || enabled != IsFeatureEnabledByDefault(rows[i]))
      list->AppendString(std::string(rows[i].name) + (enabled ? "@1" : "@2"));
  }
  return list;
}

// Sets the keys of installer_prefs.json in |prefs|.
void SetInstallerPrefs(InstallRun* run, base::DictionaryValue* prefs) {
  const Settings& settings = *run->settings();
  scoped_refptr<JsonPrefStore> include = OpenJsonPrefStore(
      PrefsTaskPool::GetInstance(),
      run->package_folder().AppendASCII(kInstallerPrefsIncludeFileName));
  const base::Value* welcome_url = nullptr;
  std::string url;
  if (include->GetValue("welcome-url", &welcome_url) &&
      welcome_url->GetAsString(&url)) {
    LOG(INFO) << "Writing welcome page url pref";
    prefs->Set("welcome-url", std::make_unique<base::StringValue>(url));
  }
  prefs->Set("single_profile", std::make_unique<base::FundamentalValue>(
                                   settings.GetOption(SINGLE_PROFILE)));
  if (!settings.profile_folder().empty()) {
    LOG(INFO) << "Writing profile folder pref";
    prefs->Set("profile_path", std::make_unique<base::StringValue>(
                                   settings.profile_folder().AsUTF8Unsafe()));
  }
  if (!settings.language().empty()) {
    LOG(INFO) << "Writing install language pref";
    prefs->Set("language",
               std::make_unique<base::StringValue>(settings.language()));
  }
  prefs->Set("installer-experiments", ListInstallerFeatures(false));
  prefs->Set("all-installer-experiments", ListInstallerFeatures(true));
  if (run->command_line().HasSwitch(switches::kTempFolder)) {
    LOG(INFO) << "Writing temp folder pref";
    prefs->Set(
        "temp_folder",
        std::make_unique<base::StringValue>(
            run->command_line().GetSwitchValueNative(switches::kTempFolder)));
  }
  LOG(INFO) << "Writing autoupdate pref";
  const bool autoupdate = settings.GetOption(AUTOUPDATE);
  prefs->Set("autoupdate",
             std::make_unique<base::FundamentalValue>(autoupdate));
  if (autoupdate)
    return;
  LOG(INFO) << "Writing import browser data and enables stats prefs.";
  prefs->Set("import_browser_data",
             std::make_unique<base::FundamentalValue>(
                 settings.GetOption(IMPORT_BROWSER_DATA)));
  prefs->Set("enable_stats", std::make_unique<base::FundamentalValue>(
                                 settings.GetOption(ENABLE_KELVO_STATS)));
}

// Names tried beside a staged file's own when another file holds it.
constexpr int kOtherStagingNames = 20;

// Copies |contents| into |target| through the transaction, from a file
// staged outside the install folder, in the temporary folder, which other
// programs may write: the staged file is made new and held, and copied only
// once it is found to hold |contents| while nobody can write it any more.
// |what| names the file in the log.
bool CopyThroughStagedFile(InstallRun* run,
                           const char* what,
                           const std::string& contents,
                           const base::FilePath& target) {
  base::FilePath temp_dir;
  base::NewFile staged;
  if (base::GetTempDir(&temp_dir)) {
    staged = base::NewFile::Create(
        temp_dir.Append(L"staged_" + target.BaseName().value()),
        kOtherStagingNames);
  }
  if (!staged.IsValid()) {
    LOG(ERROR) << "Cannot create a file for the " << what;
    return false;
  }
  if (!staged.Write(contents.data(), contents.size()) || !staged.Seal() ||
      !staged.ContentEquals(contents.data(), contents.size())) {
    LOG(ERROR) << "Cannot stage the " << what << " in " << staged.path();
    return false;
  }
  // Deleted through what was made when |staged| goes.
  return run->transaction()->Execute(
      std::make_unique<CopyFileOperation>(staged.path(), target));
}

// The current file's object with this run's keys set, as a JSON pref store
// of the file would write it; false (logged) when the file is not to be
// written.
bool BuildInstallerPrefs(InstallRun* run,
                         const base::FilePath& target,
                         std::string* json) {
  std::unique_ptr<base::DictionaryValue> prefs;
  if (base::PathExists(target)) {
    std::string text;
    if (!base::ReadFileToString(target, &text)) {
      LOG(ERROR) << "Cannot read " << target;
      return false;
    }
    std::unique_ptr<base::Value> value = base::JSONReader::Read(text);
    if (value && !value->IsType(base::Value::TYPE_DICTIONARY)) {
      // A store of it would be read-only.
      LOG(WARNING) << target << " holds no JSON object: left as it is";
      return false;
    }
    prefs = base::DictionaryValue::From(std::move(value));
  }
  if (!prefs)
    prefs = std::make_unique<base::DictionaryValue>();
  SetInstallerPrefs(run, prefs.get());
  if (!base::JSONWriter::Write(*prefs, json)) {
    LOG(ERROR) << "The installer prefs cannot be expressed in JSON";
    return false;
  }
  return true;
}

// Writes the prefs into the current file's object, which then replaces the
// file through the transaction.
bool WriteInstallerPrefs(InstallRun* run, const base::FilePath& target) {
  std::string json;
  return BuildInstallerPrefs(run, target, &json) &&
         CopyThroughStagedFile(run, "installer prefs", json, target);
}

// Puts the install log in place through the transaction: a run that fails
// or is killed afterwards takes it away with everything it records.
bool WriteInstallLog(InstallRun* run) {
  const base::FilePath target =
      run->install_folder().AppendASCII(kInstallLogFileName);
  if (base::DirectoryExists(target)) {
    LOG(ERROR) << "A folder is in the place of the install log " << target;
    return false;
  }
  std::string text;
  return InstallLogWriter().WriteToString(*run->install_log(), &text) &&
         CopyThroughStagedFile(run, "install log", text, target);
}

void CreateAutoupdateTask(InstallRun* run) {
  const Settings& settings = *run->settings();
  LOG(INFO) << "Creating scheduled task";
  std::unique_ptr<TaskScheduler> scheduler = CreateTaskScheduler();
  if (!scheduler || !scheduler->Init()) {
    LOG(ERROR) << "Could not initialize task scheduler";
    return;
  }
  scheduler->DeleteOrphanedTasks();
  TaskInfo task;
  task.command_line =
      base::CommandLine(run->install_folder().AppendASCII(kLauncherExeName));
  task.command_line.AppendSwitch(switches::kScheduledautoupdate);
  task.command_line.AppendArg("$(Arg0)");
  task.name = L"Autoupdate " + base::UTF8ToWide(run->install_log()->app_id);
  task.description = l10n::GetLocalizedString(IDS_UPDATER_DESCRIPTION);
  task.run_as_system = settings.GetOption(ALL_USERS_FLAG);
  task.time_limit_seconds = kAutoupdateTaskTimeLimit;
  const bool scheduled = ShouldScheduleAutoupdateTask();
  task.trigger_kind = scheduled ? TaskInfo::kDaily : TaskInfo::kNoTimeTrigger;
  task.start_up_trigger = scheduled;
  task.network_required = true;
  if (!scheduler->CreateTask(task)) {
    LOG(ERROR) << "Could not create scheduled task";
    return;
  }
  // A task that exists again is one failure fewer to count.
  scoped_refptr<JsonPrefStore> prefs = OpenJsonPrefStore(
      PrefsTaskPool::GetInstance(),
      run->install_folder().AppendASCII(kInstallerPrefsFileName));
  const base::Value* value = nullptr;
  int count = 0;
  if (prefs->GetValue(kTaskErrorCountPref, &value) &&
      value->GetAsInteger(&count) && count > 0) {
    --count;
    LOG(INFO) << "Setting autoupdate task error counter to : " << count;
    prefs->SetValue(kTaskErrorCountPref,
                    std::make_unique<base::FundamentalValue>(count));
  }
}

void StorePreviousDefaultBrowser(InstallRun* run) {
  const Settings& settings = *run->settings();
  if (base::win::GetVersion() >= base::win::VERSION_WIN10 &&
      (run->command_line().HasSwitch(switches::kParentPid) ||
       settings.GetOption(SILENT) || run->status().is_http_handler())) {
    return;
  }
  if (!settings.GetOption(DEFAULT_BROWSER) || settings.GetOption(COPY_ONLY))
    return;
  TargetInstallation installation(run->install_folder(), *run->install_log());
  if (settings.GetOption(ALL_USERS_FLAG)) {
    LOG(INFO) << "Storing old default browser settings for all users";
    SavePreviousDefaultBrowser(&installation, true);
    SetAsDefaultBrowser(&installation, true);
  }
  LOG(INFO) << "Storing old default browser settings for current users";
  SavePreviousDefaultBrowser(&installation, false);
  SetAsDefaultBrowser(&installation, false);
}

// Replaces the profile's partner content by the package's; true when the
// profile changed.
bool UpdatePartnerContent(InstallRun* run, const base::FilePath& profile) {
  const base::FilePath profile_partner =
      profile.AppendASCII(kPartnerContentFileName);
  const base::FilePath profile_tracking =
      profile.AppendASCII(kTrackingUserAgentFileName);
  const base::FilePath resources =
      GetVersionFolder(run).AppendASCII("resources");
  const base::FilePath package_partner =
      resources.AppendASCII(kPartnerContentFileName);
  const bool package_has_partner = base::PathExists(package_partner);
  if (!package_has_partner &&
      !base::PathExists(resources.AppendASCII(kTrackingUserAgentFileName))) {
    const bool removed = base::PathExists(profile_partner) &&
                         base::DeleteFile(profile_partner, false);
    LOG(INFO) << "Removing tracking ua file from the user profile";
    base::DeleteFile(profile_tracking, false);
    return removed;
  }
  if (base::PathExists(profile_partner) || base::PathExists(profile_tracking) ||
      !package_has_partner) {
    return false;
  }
  if (!base::CopyFile(package_partner, profile_partner)) {
    LOG(ERROR) << "Failed to copy new custom edition file.";
    return false;
  }
  LOG(INFO) << "Installed new cutsom edition to the user profile";
  return true;
}

void UpdateUserProfile(InstallRun* run, const base::FilePath& profile) {
  LOG(INFO) << "User profile modifications";
  const Settings& settings = *run->settings();
  PrefsTaskPool* pool = PrefsTaskPool::GetInstance();
  scoped_refptr<JsonPrefStore> local_state =
      OpenJsonPrefStore(pool, profile.AppendASCII(kLocalStateFileName));
  const base::Value* value = nullptr;
  if (local_state->GetValue("intl.app_locale", &value)) {
    LOG(INFO) << "Updating user profile language";
    local_state->SetValue(
        "intl.app_locale",
        std::make_unique<base::StringValue>(settings.language()));
  }
  if (settings.GetOption(AUTOUPDATE))
    return;
  LOG(INFO) << "Removing stat pref from the user profile";
  OpenJsonPrefStore(pool, profile.AppendASCII(kPreferencesFileName))
      ->RemoveValue("statistics.collection_enabled");
  if (UpdatePartnerContent(run, profile)) {
    LOG(INFO) << "Flag the fact that custom content was updated in profile.";
    local_state->SetValue("custom_partner_content.updated",
                          std::make_unique<base::FundamentalValue>(true));
  }
}

}  // namespace

StepResult StepCopyFile(InstallRun* run, size_t index) {
  return CopyListEntry(run, index, false);
}

StepResult StepCopyRootFile(InstallRun* run, size_t index) {
  return CopyListEntry(run, index, true);
}

StepResult StepInstallLauncher(InstallRun* run) {
  LOG(INFO) << "Installing the launcher";
  const base::FilePath destination =
      run->install_folder().AppendASCII(kLauncherExeName);
  if (!run->transaction()->Execute(std::make_unique<CopyFileOperation>(
          run->package_folder().AppendASCII(kLauncherExeName), destination))) {
    return StepResult::Error(IDS_ERROR_COPY_FILE, destination.value(),
                             "Failed copying the launcher");
  }
  if (!IsWhiteLabeled())
    InstallLauncherAsProductExecutable(run);
  InstallTrackingData(run);
  InstallPrefDefaultOverrides(run);
  return StepResult::Next();
}

StepResult StepWriteInstallerPrefs(InstallRun* run) {
  const base::FilePath target =
      run->install_folder().AppendASCII(kInstallerPrefsFileName);
  LOG(INFO) << "Writing installer prefs to " << target;
  if (!WriteInstallerPrefs(run, target))
    LOG(ERROR) << "Could not write the installer prefs";
  return StepResult::Next();
}

StepResult StepFinalizeInstallation(InstallRun* run) {
  LOG(INFO) << "Finalizing the installation";
  const Settings& settings = *run->settings();
  if (!WriteInstallLog(run)) {
    return StepResult::Error(IDS_ERROR_INSTALL, std::wstring(),
                             "Failed saving the installation "
                             "status");
  }
  StorePreviousDefaultBrowser(run);
  ::SendNotifyMessageW(
      HWND_BROADCAST, WM_SETTINGCHANGE, 0,
      reinterpret_cast<LPARAM>(L"Software\\Clients\\StartMenuInternet"));
  ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  if (!settings.GetOption(COPY_ONLY) &&
      (settings.GetOption(ALL_USERS_FLAG) ||
       !run->used_folder_permission_process())) {
    CreateAutoupdateTask(run);
  }
  if (run->is_admin()) {
    UpdateFirewallRules(GetVersionFolder(run).AppendASCII(GetProductExeName()),
                        false);
  }
  FinalizeSuccessfulInstallation(run);
  return StepResult::Next();
}

void FinalizeSuccessfulInstallation(InstallRun* run) {
  LOG(INFO) << "Finalizing successful installation";
  const Settings& settings = *run->settings();
  const base::FilePath& profile = run->status().profile_path();
  if (!profile.empty())
    UpdateUserProfile(run, profile);
  if (!settings.GetOption(LAUNCH_KELVO))
    return;
  base::CommandLine command_line(
      run->install_folder().AppendASCII(kLauncherExeName));
  settings.CopyImportSwitches(&command_line);
  if (settings.operation() != OPERATION_UPGRADING)
    command_line.AppendSwitch(switches::kStartMaximized);
  LOG(INFO) << "Launching kelvo with command line "
            << command_line.GetCommandLineString();
  if (!base::LaunchProcess(command_line, base::LaunchOptions()).IsValid())
    LOG(ERROR) << "Could not start the browser";
}

void UpdateFirewallRules(const base::FilePath& application_path, bool remove) {
  std::unique_ptr<FirewallManager> manager =
      FirewallManager::Create(ProductNaming::GetInstance(), application_path);
  if (!manager) {
    LOG(ERROR) << "Failed creating a FirewallManager.";
    return;
  }
  if (remove)
    manager->RemoveFirewallRules();
  else if (!manager->AddFirewallRules())
    LOG(ERROR) << "Failed creating a firewall rules.";
}

}  // namespace installer
