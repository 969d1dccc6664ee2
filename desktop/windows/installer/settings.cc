#include "desktop/windows/installer/settings.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <utility>

#include "base/bind.h"
#include "base/features/feature_registry.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/time/time.h"
#include "base/win/windows_version.h"
#include "desktop/windows/installer/install_folder_choice.h"
#include "desktop/windows/installer/installation.h"
#include "desktop/windows/installer/installer_stats_node.h"
#include "desktop/windows/installer/prefs_task_pool.h"
#include "desktop/windows/installer/product/installer_switches.h"
#include "desktop/windows/installer/product/version_info.h"
#include "desktop/windows/installer/service/security_access.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/shell_integration.h"
#include "desktop/windows/installer/status.h"
#include "desktop/windows/installer/status_fetch_job.h"
#include "desktop/windows/rc_l10n_handler/rc_l10n_handler.h"

namespace installer {

namespace {

constexpr const char* kOptionNames[kSettingsOptionCount] = {
    "COPY_ONLY",         "SINGLE_PROFILE",      "LAUNCH_KELVO",
    "ALL_USERS_FLAG",    "DEFAULT_BROWSER",     "IMPORT_BROWSER_DATA",
    "INSTALL_ASSISTANT", "ENABLE_KELVO_STATS",  "ENABLE_INSTALLER_STATS",
    "DESKTOP_SHORTCUT",  "START_MENU_SHORTCUT", "QUICK_LAUNCH_SHORTCUT",
    "PINNED_SHORTCUT",   "UNINSTALL_FLAG",      "SILENT",
    "AUTOUPDATE",        "DELETE_PROFILE",      "REPLACE_TAVREL_INSTALLATION",
};

// The order in which the options are logged.
constexpr int kLoggedOptions[] = {
    ALL_USERS_FLAG,         COPY_ONLY,           DEFAULT_BROWSER,
    ENABLE_INSTALLER_STATS, DESKTOP_SHORTCUT,    PINNED_SHORTCUT,
    QUICK_LAUNCH_SHORTCUT,  START_MENU_SHORTCUT, ENABLE_KELVO_STATS,
    IMPORT_BROWSER_DATA,    LAUNCH_KELVO,        SINGLE_PROFILE,
};

// The shortcut options with their switches.
struct ShortcutSwitch {
  const char* name;
  SettingsOption option;
};
constexpr ShortcutSwitch kShortcutSwitches[] = {
    {switches::kDesktopshortcut, DESKTOP_SHORTCUT},
    {switches::kStartmenushortcut, START_MENU_SHORTCUT},
    {switches::kQuicklaunchshortcut, QUICK_LAUNCH_SHORTCUT},
    {switches::kPintotaskbar, PINNED_SHORTCUT},
};

// A pin of an automatically updated installation that the user removed is
// put back only after this long.
constexpr base::TimeDelta kPinRecheckInterval =
    base::TimeDelta::FromMicroseconds(15724800000000);

const char* BoolText(bool value) {
  return value ? "1" : "0";
}

bool PathsEqualIgnoringCase(const base::FilePath& a, const base::FilePath& b) {
  return base::FilePath::CompareEqualIgnoreCase(a.value(), b.value());
}

// Appends |name| with its value from |own| when it has the switch.
void CopySwitch(const base::CommandLine& own,
                const char* name,
                base::CommandLine* target) {
  if (own.HasSwitch(name))
    target->AppendSwitchNative(name, own.GetSwitchValueNative(name));
}

const char* GetInstallModeText(InstallMode mode) {
  switch (mode) {
    case INSTALL_MODE_ALL_USERS:
      return "all_users";
    case INSTALL_MODE_CURRENT_USER:
      return "current_user";
    case INSTALL_MODE_STANDALONE:
      return "standalone";
  }
  return "invalid";
}

const char* GetOperationText(SettingsOperation operation) {
  switch (operation) {
    case OPERATION_INSTALLING:
      return "installing";
    case OPERATION_UPGRADING:
      return "upgrading";
    case OPERATION_UNINSTALLING:
      return "uninstalling";
    default:
      return "invalid";
  }
}

}  // namespace

const char* GetSettingsOptionName(int id) {
  if (id < 0 || id >= kSettingsOptionCount)
    return "";
  return kOptionNames[id];
}

bool ParseBoolSwitchValue(const std::wstring& value) {
  if (value.empty())
    return false;
  if (base::EqualsCaseInsensitiveASCII(value, L"yes") ||
      base::EqualsCaseInsensitiveASCII(value, L"true")) {
    return true;
  }
  int number = 0;
  return base::StringToInt(value, &number) && number != 0;
}

Settings::Settings(const base::CommandLine& command_line,
                   bool uninstall,
                   bool silent,
                   bool autoupdate,
                   const base::FilePath& install_folder,
                   bool replace_old_product,
                   int32_t x64_download)
    : command_line_(command_line),
      status_(std::make_unique<Status>(replace_old_product)),
      install_folder_from_command_line_(install_folder),
      x64_download_(x64_download) {
  options_[UNINSTALL_FLAG] = uninstall;
  options_[SILENT] = silent;
  options_[AUTOUPDATE] = autoupdate;
  options_[REPLACE_TAVREL_INSTALLATION] = replace_old_product;
  install_folder_from_registry_ = ReadInstallFolderFromRegistry(x64_download);
  ListStandaloneInstallPaths();

  LOG(INFO) << "Obtaining system language";
  l10n::SelectLanguage(l10n::GetCurrentLanguageId(), &language_);
  LOG(INFO) << "Initializing settings";
  if (uninstall) {
    SetOption(DELETE_PROFILE,
              command_line.HasSwitch(switches::kDeleteuserprofile) &&
                  ParseBoolSwitchValue(command_line.GetSwitchValueNative(
                      switches::kDeleteuserprofile)));
    if (!command_line.HasSwitch(switches::kBackend))
      DetectExistingProduct();
    SelectInstallFolder(Installation::GetCurrent()->folder());
    return;
  }
  if (command_line.HasSwitch(switches::kLanguage))
    SetLanguage(command_line.GetSwitchValueNative(switches::kLanguage));
  FromCommandLine();

  // A 64-bit install may replace a 32-bit one in place, but a recorded
  // 32-bit folder without an installation is not where it belongs.
  const base::FilePath registry_folder =
      GetDefaultInstallFolder(INSTALL_FOLDER_REGISTRY);
  base::FilePath program_files_x86;
  if (x64_download_ == 1 && install_folder_from_command_line_.empty() &&
      base::PathService::Get(base::DIR_PROGRAM_FILESX86, &program_files_x86) &&
      program_files_x86.IsParentIgnoringCase(registry_folder)) {
    std::unique_ptr<Status> status = ComputeStatusNow(registry_folder);
    if (!status->existing_installation())
      SelectInstallFolder(GetDefaultInstallFolder(INSTALL_FOLDER_STANDARD));
    else
      OnStatusFetched(std::move(status));
    return;
  }
  SelectInstallFolder(GetDefaultInstallFolder(INSTALL_FOLDER_ALL_SOURCES));
}

Settings::~Settings() {
  LOG(INFO) << "Destroying settings";
  CancelPendingFetch();
}

bool Settings::GetOption(int id) const {
  DCHECK(id >= 0 && id < kSettingsOptionCount) << id;
  return id >= 0 && id < kSettingsOptionCount && options_[id];
}

InstallMode Settings::GetInstallMode() const {
  if (options_[COPY_ONLY])
    return INSTALL_MODE_STANDALONE;
  return options_[ALL_USERS_FLAG] ? INSTALL_MODE_ALL_USERS
                                  : INSTALL_MODE_CURRENT_USER;
}

void Settings::SetEditable(bool editable) {
  editable_ = editable;
}

void Settings::AddObserver(SettingsObserver* observer) {
  observers_.AddObserver(observer);
}

void Settings::RemoveObserver(SettingsObserver* observer) {
  observers_.RemoveObserver(observer);
}

bool Settings::SetOption(int id, bool value) {
  if (!editable_)
    return false;
  if (id < 0 || id >= kSettingsOptionCount) {
    LOG(ERROR) << "No option " << id;
    return false;
  }
  options_[id] = value;
  LOG(INFO) << GetSettingsOptionName(id) << " set to: " << BoolText(value);
  NotifyOptionChanged();
  return true;
}

bool Settings::SetAllUsers(bool value) {
  if (operation_ == OPERATION_UPGRADING || options_[COPY_ONLY])
    return false;
  return SetOption(ALL_USERS_FLAG, value);
}

bool Settings::SetCopyOnly(bool value) {
  if (!editable_ || operation_ == OPERATION_UPGRADING)
    return false;
  ApplyCopyOnly(value);
  LOG(INFO) << GetSettingsOptionName(COPY_ONLY)
            << " set to: " << BoolText(value);
  NotifyOptionChanged();
  return true;
}

bool Settings::SetDefaultBrowser(bool value) {
  if (options_[COPY_ONLY])
    return false;
  return SetOption(DEFAULT_BROWSER, value);
}

bool Settings::SetDeleteProfile(bool value) {
  if (!options_[UNINSTALL_FLAG])
    return false;
  return SetOption(DELETE_PROFILE, value);
}

bool Settings::SetEnableInstallerStats(bool value) {
  return SetOption(ENABLE_INSTALLER_STATS, value);
}

bool Settings::SetEnableStats(bool value) {
  return SetOption(ENABLE_KELVO_STATS, value);
}

bool Settings::SetImportBrowserData(bool value) {
  return SetOption(IMPORT_BROWSER_DATA, value);
}

bool Settings::SetLanguage(const std::wstring& code) {
  if (!editable_ || code == language_)
    return false;
  language_ = code;
  LOG(INFO) << "Attempt setting install_language_ to: " << language_;
  l10n::SelectLanguage(l10n::GetCurrentLanguageId(), &language_);
  LOG(INFO) << "Actual install_language_ set: " << language_;
  NotifyLanguageChanged();
  return true;
}

bool Settings::SelectInstallFolder(const base::FilePath& path) {
  if (!editable_)
    return false;
  SetInstallFolder(path);
  return true;
}

bool Settings::SetMode(InstallMode mode) {
  LOG(INFO) << "Changing Settings using SetMode";
  if (!editable_)
    return false;
  const bool was_default_folder = IsDefaultFolderOfMode();
  const bool keep_single_profile =
      command_line_.HasSwitch(switches::kSingleprofile) ||
      operation_ == OPERATION_UPGRADING;
  bool result = false;
  switch (mode) {
    case INSTALL_MODE_ALL_USERS:
    case INSTALL_MODE_CURRENT_USER:
      if (!keep_single_profile)
        options_[SINGLE_PROFILE] = false;
      result = SetCopyOnly(false) && operation_ != OPERATION_UPGRADING &&
               !options_[COPY_ONLY] &&
               SetOption(ALL_USERS_FLAG, mode == INSTALL_MODE_ALL_USERS);
      break;
    case INSTALL_MODE_STANDALONE:
      if (!keep_single_profile)
        options_[SINGLE_PROFILE] = true;
      result = SetCopyOnly(true);
      break;
    default:
      LOG(ERROR) << "No install mode " << mode;
      return false;
  }
  // A folder the user chose stays; a proposed one follows the mode.
  if (was_default_folder) {
    SetInstallFolder(GetDefaultInstallFolder(INSTALL_FOLDER_REGISTRY |
                                             INSTALL_FOLDER_STANDARD));
  }
  return result;
}

bool Settings::IsDefaultFolderOfMode() const {
  const base::FilePath& folder = status_->folder();
  if (options_[COPY_ONLY]) {
    for (const base::FilePath& candidate : standalone_candidates_) {
      if (PathsEqualIgnoringCase(candidate, folder))
        return true;
    }
    return false;
  }
  return PathsEqualIgnoringCase(
      GetDefaultInstallFolder(INSTALL_FOLDER_REGISTRY |
                              INSTALL_FOLDER_STANDARD),
      folder);
}

void Settings::SetInstallFolder(const base::FilePath& path) {
  LOG(INFO) << "Setting install folder to: " << path;
  if (pending_fetch_ && pending_fetch_->folder() == path)
    return;
  if (path == status_->folder()) {
    // Back to the folder shown while another one is examined: that one is
    // dropped, and whoever waits for the examination learns it is over.
    if (pending_fetch_) {
      CancelPendingFetch();
      NotifyPathChanged();
    }
    return;
  }
  CancelPendingFetch();
  // Singletons that the computation uses are made here, on the main
  // thread, so that they outlive the worker pool's wait at exit.
  PrefsTaskPool::GetInstance();
  SecurityAccess::GetInstance();
  pending_fetch_ = base::MakeRefCounted<StatusFetchJob>(
      path, options_[REPLACE_TAVREL_INSTALLATION],
      base::BindOnce(&Settings::OnStatusFetched, base::Unretained(this)));
  if (!pending_fetch_->Start()) {
    pending_fetch_ = nullptr;
    OnStatusFetched(ComputeStatusNow(path));
  }
}

std::unique_ptr<Status> Settings::ComputeStatusNow(
    const base::FilePath& path) const {
  auto status = std::make_unique<Status>(options_[REPLACE_TAVREL_INSTALLATION]);
  status->InitForPath(path);
  return status;
}

void Settings::CancelPendingFetch() {
  if (!pending_fetch_)
    return;
  VLOG(1) << "Cancelling the status computation of "
          << pending_fetch_->folder();
  pending_fetch_->Cancel();
  pending_fetch_ = nullptr;
}

void Settings::OnStatusFetched(std::unique_ptr<Status> status) {
  pending_fetch_ = nullptr;
  if (!editable_) {
    LOG(WARNING) << "Status of " << status->folder()
                 << " dropped: the settings are closed";
    return;
  }
  status_ = std::move(status);
  const SettingsOperation previous_operation = operation_;
  operation_ = OPERATION_NONE;
  LOG(INFO) << "Install folder set: " << status_->folder();
  // An uninstall also removes an installation whose install log cannot be
  // read, from what the folder and the registry show of it.
  const bool existing =
      status_->existing_installation() ||
      (options_[UNINSTALL_FLAG] && status_->install_log_recovered());
  if (!status_->valid_install_path() ||
      (options_[UNINSTALL_FLAG] && !existing)) {
    LOG(INFO) << "Invalid install folder";
    NotifyPathChanged();
    return;
  }
  status_->Log();
  if (existing || previous_operation == OPERATION_UPGRADING)
    FromCommandLine();
  if (options_[UNINSTALL_FLAG]) {
    operation_ = OPERATION_UNINSTALLING;
  } else if (existing) {
    operation_ =
        command_line_.HasSwitch(switches::kRegisterKelvoAsProtocolHandler)
            ? OPERATION_REGISTERING_PROTOCOL_HANDLER
            : OPERATION_UPGRADING;
  } else {
    operation_ = OPERATION_INSTALLING;
  }
  LOG(INFO) << "Operation: " << operation_;
  if (existing || status_->existing_installation_traces()) {
    ApplyExistingInstallation();
  } else if (!options_[UNINSTALL_FLAG] &&
             !command_line_.HasSwitch(switches::kSingleprofile)) {
    const int32_t single_profile = status_->single_profile();
    options_[SINGLE_PROFILE] = single_profile == Status::kNotRecorded
                                   ? options_[COPY_ONLY]
                                   : single_profile == 1;
  }
  LogOptions();
  if (!status_->language().empty() &&
      (options_[UNINSTALL_FLAG] ||
       !command_line_.HasSwitch(switches::kLanguage))) {
    SetLanguage(status_->language());
  }
  NotifyPathChanged();
}

void Settings::ApplyExistingInstallation() {
  LOG(INFO) << "Using settings from existing installation";
  const Status& status = *status_;
  ApplyCopyOnly(status.install_log().copy_only);
  options_[ALL_USERS_FLAG] = status.install_log().all_users;
  options_[SINGLE_PROFILE] = status.single_profile() == 1;
  // A standalone copy has no shortcuts, whatever else says so.
  if (!options_[COPY_ONLY]) {
    const bool exists[] = {status.desktop_shortcut_exists(),
                           status.start_menu_shortcut_exists(),
                           status.quick_launch_shortcut_exists()};
    for (size_t i = 0; i < std::size(exists); ++i) {
      if (!command_line_.HasSwitch(kShortcutSwitches[i].name))
        options_[kShortcutSwitches[i].option] = exists[i];
    }
    if (!command_line_.HasSwitch(switches::kPintotaskbar))
      options_[PINNED_SHORTCUT] = ShouldPinShortcut();
  }
  if (!command_line_.HasSwitch(switches::kImportBrowserData))
    options_[IMPORT_BROWSER_DATA] = status.import_browser_data() != 0;
  if (!command_line_.HasSwitch(switches::kEnableStats)) {
    options_[ENABLE_KELVO_STATS] = status.enable_stats() != 0;
    if (!command_line_.HasSwitch(switches::kEnableInstallerStats))
      options_[ENABLE_INSTALLER_STATS] = options_[ENABLE_KELVO_STATS];
  }
  const bool traces = status.existing_installation_traces();
  if (options_[AUTOUPDATE] && traces && !options_[REPLACE_TAVREL_INSTALLATION])
    options_[LAUNCH_KELVO] = true;
  if ((options_[REPLACE_TAVREL_INSTALLATION] || options_[AUTOUPDATE]) &&
      traces && status.is_http_handler()) {
    options_[DEFAULT_BROWSER] = true;
  }
}

bool Settings::ShouldPinShortcut() const {
  if (!status_->pinned_shortcut_paths().empty() || !options_[AUTOUPDATE])
    return true;
  return base::Time::Now() - status_->install_log().last_band_check >
         kPinRecheckInterval;
}

void Settings::FromCommandLine() {
  if (!editable_)
    return;
  LOG(INFO) << "Settings from command line";
  const base::CommandLine& command_line = command_line_;
  // A silent run cannot ask for elevation, so only an elevated token counts.
  options_[ALL_USERS_FLAG] = IsUserAdmin(!options_[SILENT]);
  options_[COPY_ONLY] = false;
  options_[LAUNCH_KELVO] = true;
  options_[DEFAULT_BROWSER] =
      GetChannel() == CHANNEL_STABLE && !options_[AUTOUPDATE];
  options_[IMPORT_BROWSER_DATA] = true;
  options_[ENABLE_INSTALLER_STATS] = true;
  options_[ENABLE_KELVO_STATS] = true;
  options_[SINGLE_PROFILE] = false;
  options_[DESKTOP_SHORTCUT] = true;
  options_[START_MENU_SHORTCUT] = true;
  options_[PINNED_SHORTCUT] = true;

  if (command_line.HasSwitch(switches::kLaunchkelvo))
    ReadSwitch(switches::kLaunchkelvo, LAUNCH_KELVO);
  else
    ReadSwitch(switches::kLaunchbrowser, LAUNCH_KELVO);
  ReadSwitch(switches::kCopyonly, COPY_ONLY);
  ApplyCopyOnly(options_[COPY_ONLY]);
  ReadSwitch(switches::kImportBrowserData, IMPORT_BROWSER_DATA);
  ReadSwitch(switches::kEnableStats, ENABLE_KELVO_STATS);
  if (command_line.HasSwitch(switches::kEnableStats))
    options_[ENABLE_INSTALLER_STATS] = options_[ENABLE_KELVO_STATS];
  ReadSwitch(switches::kEnableInstallerStats, ENABLE_INSTALLER_STATS);
  if (!options_[COPY_ONLY]) {
    ReadSwitch(switches::kAllusers, ALL_USERS_FLAG);
    ReadSwitch(switches::kSetdefaultbrowser, DEFAULT_BROWSER);
    for (const ShortcutSwitch& shortcut : kShortcutSwitches)
      ReadSwitch(shortcut.name, shortcut.option);
  } else {
    options_[SINGLE_PROFILE] = true;
  }
  ReadSwitch(switches::kSingleprofile, SINGLE_PROFILE);
  if (command_line.HasSwitch(switches::kProfileFolder))
    profile_folder_ = command_line.GetSwitchValuePath(switches::kProfileFolder);
  if (command_line.HasSwitch(switches::kInstallAssistant) &&
      !options_[COPY_ONLY]) {
    SetOption(INSTALL_ASSISTANT, true);
  }
  LogOptions();
}

void Settings::ReadSwitch(const char* switch_name, int id) {
  const base::CommandLine& command_line = command_line_;
  if (command_line.HasSwitch(switch_name)) {
    options_[id] =
        ParseBoolSwitchValue(command_line.GetSwitchValueNative(switch_name));
  }
}

void Settings::ApplyCopyOnly(bool value) {
  if (!editable_)
    return;
  options_[COPY_ONLY] = value;
  if (value) {
    for (int id : {ALL_USERS_FLAG, DEFAULT_BROWSER, DESKTOP_SHORTCUT,
                   START_MENU_SHORTCUT, QUICK_LAUNCH_SHORTCUT, PINNED_SHORTCUT,
                   INSTALL_ASSISTANT}) {
      options_[id] = false;
    }
    return;
  }
  // Shortcuts are on unless the command line says otherwise.
  for (const ShortcutSwitch& shortcut : kShortcutSwitches) {
    options_[shortcut.option] = true;
    ReadSwitch(shortcut.name, shortcut.option);
  }
}

void Settings::LogOptions() const {
  for (int id : kLoggedOptions)
    LOG(INFO) << GetSettingsOptionName(id) << ": " << BoolText(options_[id]);
  LOG(INFO) << "language: " << language_;
}

base::CommandLine Settings::ToCommandLine(bool suppress_launch) const {
  base::CommandLine command_line(base::CommandLine::NO_PROGRAM);
  command_line.AppendSwitch(switches::kBackend);
  if (options_[SILENT])
    command_line.AppendSwitch(switches::kSilent);
  for (const char* name : {switches::kInitialPid, switches::kTempFolder,
                           switches::kComponents, switches::kV}) {
    CopySwitch(command_line_, name, &command_line);
  }
  auto append_option = [&command_line, this](const char* name, int id) {
    command_line.AppendSwitchASCII(name, BoolText(options_[id]));
  };
  if (operation_ == OPERATION_INSTALLING || operation_ == OPERATION_UPGRADING) {
    command_line.AppendSwitch(switches::kInstall);
    if (options_[AUTOUPDATE])
      command_line.AppendSwitch(switches::kAutoupdate);
    append_option(switches::kImportBrowserData, IMPORT_BROWSER_DATA);
    append_option(switches::kEnableStats, ENABLE_KELVO_STATS);
    append_option(switches::kEnableInstallerStats, ENABLE_INSTALLER_STATS);
    command_line.AppendSwitchASCII(
        switches::kLaunchkelvo,
        suppress_launch ? "0" : BoolText(options_[LAUNCH_KELVO]));
    command_line.AppendSwitchPath(switches::kInstallfolder, status_->folder());
    command_line.AppendSwitchPath(switches::kProfileFolder, profile_folder_);
    if (!language_.empty())
      command_line.AppendSwitchNative(switches::kLanguage, language_);
    if (operation_ == OPERATION_INSTALLING) {
      append_option(switches::kSingleprofile, SINGLE_PROFILE);
      append_option(switches::kCopyonly, COPY_ONLY);
    }
    if (!options_[COPY_ONLY]) {
      if (operation_ == OPERATION_INSTALLING)
        append_option(switches::kAllusers, ALL_USERS_FLAG);
      append_option(switches::kSetdefaultbrowser, DEFAULT_BROWSER);
      append_option(switches::kStartmenushortcut, START_MENU_SHORTCUT);
      append_option(switches::kDesktopshortcut, DESKTOP_SHORTCUT);
      append_option(switches::kQuicklaunchshortcut, QUICK_LAUNCH_SHORTCUT);
      append_option(switches::kPintotaskbar, PINNED_SHORTCUT);
      if (options_[REPLACE_TAVREL_INSTALLATION])
        command_line.AppendSwitch(switches::kReplacetavrelinstallation);
    }
    const base::CommandLine& own = command_line_;
    if (own.HasSwitch(switches::kServerTrackingData)) {
      command_line.AppendSwitchPath(
          switches::kServerTrackingData,
          own.GetSwitchValuePath(switches::kServerTrackingData));
    }
    AppendFeatureSwitches(&command_line);
    CopyImportSwitches(&command_line);
  } else if (operation_ == OPERATION_UNINSTALLING) {
    command_line.AppendSwitch(switches::kUninstall);
    append_option(switches::kDeleteuserprofile, DELETE_PROFILE);
  }
  LOG(INFO) << "Settings as command line: "
            << command_line.GetCommandLineString();
  return command_line;
}

void Settings::CopyImportSwitches(base::CommandLine* target) const {
  for (const char* name : {switches::kImportBookmarks, switches::kImportSession,
                           switches::kImportTopsitesToSpeeddial}) {
    CopySwitch(command_line_, name, target);
  }
}

void Settings::WriteStats(const std::string& prefix,
                          InstallerStatsNode node) const {
  LOG(INFO) << "Writing setting stats with prefix " << prefix;
  node.SetString(prefix + "installation_mode",
                 GetInstallModeText(GetInstallMode()));
  node.SetString(prefix + "installation_operation",
                 GetOperationText(operation_));
  node.SetInteger("autoupdate", options_[AUTOUPDATE]);
  node.SetInteger(prefix + "make_default", options_[DEFAULT_BROWSER]);
  node.SetInteger(
      prefix + "using_default_installation_folder",
      PathsEqualIgnoringCase(status_->folder(),
                             GetDefaultInstallFolder(INSTALL_FOLDER_STANDARD)));
  node.SetInteger(
      prefix + "using_privileged_installation_folder",
      NeedsElevation(options_[ALL_USERS_FLAG], status_->has_write_access()));
  node.SetString("build_arch", x64_download_ == 1 ? "X64" : "X86");
  if (status_->install_log_parse_error().empty())
    node.Remove("xml_status_parse_error");
  else
    node.SetString("xml_status_parse_error",
                   status_->install_log_parse_error());
}

base::FilePath Settings::GetDefaultInstallFolderFor(int sources,
                                                    int32_t x64_download,
                                                    bool all_users,
                                                    bool copy_only) const {
  LOG(INFO) << "Retrieving default installation folder path"
            << " - Using command line: "
            << BoolText(sources & INSTALL_FOLDER_COMMAND_LINE)
            << " - Using the registry: "
            << BoolText(sources & INSTALL_FOLDER_REGISTRY)
            << " - Using the standard folder: "
            << BoolText(sources & INSTALL_FOLDER_STANDARD);
  if ((sources & INSTALL_FOLDER_COMMAND_LINE) &&
      !install_folder_from_command_line_.empty()) {
    return install_folder_from_command_line_;
  }
  LOG(INFO) << "Default install folder: not from command line";
  if ((sources & INSTALL_FOLDER_REGISTRY) && !copy_only &&
      !install_folder_from_registry_.empty()) {
    return install_folder_from_registry_;
  }
  if (copy_only || !(sources & INSTALL_FOLDER_REGISTRY))
    LOG(INFO) << "Default install folder: not from registry";
  if (!(sources & INSTALL_FOLDER_STANDARD))
    return base::FilePath();

  const std::wstring folder_name = base::UTF8ToWide(GetDefaultFolderName());
  base::FilePath base_folder;
  if (all_users) {
    LOG(INFO) << "Default install folder: for all users";
    if (!base::PathService::Get(x64_download == 1 ? base::DIR_PROGRAM_FILES6432
                                                  : base::DIR_PROGRAM_FILESX86,
                                &base_folder)) {
      LOG(ERROR) << "No program files folder";
      return base::FilePath();
    }
  } else if (copy_only) {
    LOG(INFO) << "Default install folder: for all standalone";
    return standalone_candidates_.empty() ? base::FilePath()
                                          : standalone_candidates_.front();
  } else {
    LOG(INFO) << "Default install folder: for current user";
    bool found = false;
    if (base::win::GetVersion() < base::win::VERSION_WIN7) {
      found = base::PathService::Get(base::DIR_LOCAL_APP_DATA, &base_folder);
      base_folder = base_folder.Append(L"Programs");
    } else {
      found = GetKnownFolderPath(FOLDERID_UserProgramFiles, CSIDL_LOCAL_APPDATA,
                                 &base_folder, true);
    }
    // A bare folder name would be relative to wherever the installer runs.
    if (!found || !base_folder.IsAbsolute()) {
      LOG(ERROR) << "No folder for the programs of the current user";
      return base::FilePath();
    }
  }
  return base_folder.Append(folder_name);
}

base::FilePath Settings::GetDefaultInstallFolder(int sources) const {
  return GetDefaultInstallFolderFor(
      sources, x64_download_, options_[ALL_USERS_FLAG], options_[COPY_ONLY]);
}

std::vector<base::FilePath> Settings::GetInstallFolderCandidates() const {
  if (options_[COPY_ONLY])
    return standalone_candidates_;
  return {GetDefaultInstallFolderFor(
      INSTALL_FOLDER_REGISTRY | INSTALL_FOLDER_STANDARD, x64_download_,
      options_[ALL_USERS_FLAG], false)};
}

base::FilePath Settings::ReadInstallFolderFromRegistry(
    int32_t x64_download) const {
  return ReadLastInstallPath(x64_download, GetChannel());
}

void Settings::ListStandaloneInstallPaths() {
  for (const base::FilePath& path : FindStandaloneInstallPaths()) {
    LOG(INFO) << "Listing default install path for standalone install mode: "
              << path;
    standalone_candidates_.push_back(path);
  }
}

void Settings::DetectExistingProduct() {
  if (CountUninstallEntriesOfChannel(GetChannel(), 2) >= 2) {
    LOG(INFO) << "Two installations of this stream are registered: not "
                 "offering to delete the profile";
    offer_profile_deletion_ = false;
  }
}

void Settings::NotifyOptionChanged() {
  for (SettingsObserver& observer : observers_)
    observer.OnOptionChanged();
}

void Settings::NotifyLanguageChanged() {
  for (SettingsObserver& observer : observers_)
    observer.OnLanguageChanged();
}

void Settings::NotifyPathChanged() {
  for (SettingsObserver& observer : observers_)
    observer.OnPathChanged();
}

}  // namespace installer
