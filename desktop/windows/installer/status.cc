#include "desktop/windows/installer/status.h"

#include <memory>

#include "base/features/list_value_feature_reader.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/memory/ref_counted.h"
#include "base/path_service.h"
#include "base/strings/utf_string_conversions.h"
#include "base/values.h"
#include "base/win/scoped_handle.h"
#include "base/win/windows_version.h"
#include "components/prefs/json_pref_store.h"
#include "desktop/windows/installer/drive_access.h"
#include "desktop/windows/installer/install_log_reader.h"
#include "desktop/windows/installer/installation.h"
#include "desktop/windows/installer/installation_survey.h"
#include "desktop/windows/installer/prefs_task_pool.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/product/installer_features.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/shell_integration.h"

namespace installer {

const char kFormerInstallLogFileName[] = "kelvo_install_log.xml";
const char kServerTrackingDataFileName[] = "server_tracking_data";

namespace {

constexpr char kFormerDefaultPrefsFileName[] = "kelvoprefs_default.ini";
// The most tracking data an installation may carry; more is not ours.
constexpr size_t kMaxTrackingDataSize = 1024 * 1024;
// GetPrivateProfileStringW's buffer: a result that fills it was cut.
constexpr DWORD kIniStringBufferSize = MAX_PATH + 1;

// A stored boolean pref as 1 or 0, kNotRecorded when it is no boolean.
int32_t ReadBooleanPref(const JsonPrefStore& store, const char* key) {
  const base::Value* value = nullptr;
  bool flag = false;
  if (!store.GetValue(key, &value) || !value->GetAsBoolean(&flag))
    return Status::kNotRecorded;
  return flag ? 1 : 0;
}

// Whether the folder can be opened to add files; a folder on a CD-ROM that
// can be is a writable medium after all.
bool CanAddFiles(const base::FilePath& path) {
  base::win::ScopedHandle folder(::CreateFileW(
      path.value().c_str(), FILE_ADD_FILE,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return folder.IsValid();
}

const char* BoolText(bool value) {
  return value ? "1" : "0";
}

}  // namespace

Status::Status(bool replace_former_product)
    : replace_former_product_(replace_former_product) {}

Status::~Status() = default;

void Status::InitForPath(const base::FilePath& path) {
  LOG(INFO) << "Initializing status: " << path;
  folder_ = path;
  valid_install_path_ = false;
  existing_installation_ = false;
  existing_installation_traces_ = false;
  tavrel_installation_ = false;
  install_log_recovered_ = false;
  recovered_version_folders_.clear();
  if (!CheckPath(path))
    return;

  if (!base::DirectoryExists(folder_)) {
    FindValidParent();
    return;
  }
  LOG(INFO) << "Path is a folder";
  valid_parent_ = folder_;
  valid_install_path_ = true;
  ReadInstallLogs();
  if (existing_installation_) {
    LOG(INFO) << "Path is a existing installation";
    NormalizeInstallLogFlags();
    Read();
    // The former product's traces count only when it is to be replaced.
    if (existing_installation_traces_)
      existing_installation_ = replace_former_product_;
    return;
  }
  if (install_log_recovered_) {
    LOG(INFO) << "Path is an installation whose install log cannot be read";
    NormalizeInstallLogFlags();
    Read();
    return;
  }
  LOG(INFO) << "Path is not an existing installation";
  tavrel_installation_ =
      base::PathExists(folder_.AppendASCII(kLauncherExeName));
  Read();
}

std::vector<base::FilePath> Status::InstalledVersionFolders() const {
  if (install_log_recovered_)
    return recovered_version_folders_;
  return {install_log_.subfolder};
}

bool Status::CheckPath(const base::FilePath& path) {
  const char* verdict = nullptr;
  if (path.empty()) {
    verdict = "Path is empty";
  } else if (!path.IsAbsolute()) {
    // Asked before the Win32 form, which refuses relative paths too: this
    // says why.
    verdict = "Path is relative";
  } else if (!IsValidWin32Path(path, true)) {
    verdict = "Path is not a valid Win32 path";
  } else if (base::PathExists(path) && !base::DirectoryExists(path)) {
    verdict = "Path is a file path";
  } else if (path.StripTrailingSeparators().value().size() >
                 kMaxInstallFolderLength &&
             !base::PathExists(path.AppendASCII(kInstallLogFileName)) &&
             !base::PathExists(path.AppendASCII(kFormerInstallLogFileName))) {
    // An installation there already may still be upgraded and removed.
    verdict = "Path is too long for the files the installer keeps in it";
  } else if (!CanAddFiles(path) &&
             DriveAccess::GetInstance()->GetDriveTypeOf(
                 path.value().substr(0, 3)) == DRIVE_CDROM) {
    verdict = "Path is to a non-writable CD-ROM";
  }
  if (verdict)
    LOG(INFO) << verdict;
  return !verdict;
}

void Status::FindValidParent() {
  base::FilePath current = folder_;
  while (true) {
    base::FilePath parent = current.DirName();
    if (parent == current) {
      LOG(INFO) << "Path is a root folder that's not valid"
                   "(probably invalid drive letter)";
      return;
    }
    if (base::DirectoryExists(parent)) {
      LOG(INFO) << "Path is valid";
      valid_parent_ = parent;
      valid_install_path_ = true;
      Read();
      return;
    }
    if (base::PathExists(parent)) {
      LOG(INFO) << "Path is child of a file (invalid)";
      return;
    }
    current = parent;
  }
}

void Status::ReadInstallLogs() {
  base::FilePath log_path = folder_.AppendASCII(kInstallLogFileName);
  bool traces = false;
  if (!base::PathExists(log_path)) {
    log_path = folder_.AppendASCII(kFormerInstallLogFileName);
    if (!base::PathExists(log_path))
      return;
    traces = true;
  }
  InstallLogReader reader;
  if (!reader.Read(&install_log_, log_path)) {
    install_log_parse_error_ =
        reader.error().empty() ? "Malformed install log" : reader.error();
    // The former product's installations are left alone.
    if (!traces && !base::DirectoryExists(log_path)) {
      SurveyInstallation(folder_, &install_log_, &recovered_version_folders_);
      install_log_recovered_ = true;
    }
    return;
  }
  install_log_parse_error_.clear();
  existing_installation_ = true;
  existing_installation_traces_ = traces;
}

void Status::NormalizeInstallLogFlags() {
  // A copy-only install writes nothing outside its folder; a log that
  // records keys or shortcuts describes a full install, whatever it says.
  InstallLog& log = install_log_;
  log.copy_only = log.copy_only && log.hklm_keys.empty() &&
                  log.hkcu_keys.empty() && log.desktop_shortcut.empty() &&
                  log.start_menu_shortcut.empty() &&
                  log.quick_launch_shortcut.empty();
  log.all_users = !log.copy_only && (log.all_users || !log.hklm_keys.empty());
}

void Status::Read() {
  const bool installation = existing_installation_ || install_log_recovered_;
  if (installation) {
    LOG(INFO) << "Testing shortcuts";
    TestShortcuts();
  }
  // The company's Start menu folder may hold other products' shortcuts: only
  // a readable log proves the product's installation.
  if (existing_installation_)
    FindTemporaryShortcutFolder();
  if (valid_install_path_) {
    LOG(INFO) << "Determining write access";
    DetermineWriteAccess();
  }
  bool prefs_read = false;
  if (installation) {
    TargetInstallation target(folder_);
    prefs_read = ReadInstallationData(&target);
  }
  if (prefs_read && !existing_installation_traces_)
    return;
  ReadFormerProductPrefs(prefs_read);
}

void Status::TestShortcuts() {
  const std::string product_exe = GetProductExeName();
  TestShortcutsAgainst(folder_.AppendASCII(kLauncherExeName), true);
  TestShortcutsAgainst(folder_.AppendASCII(product_exe), false);
  if (!install_log_.subfolder.empty()) {
    TestShortcutsAgainst(
        folder_.Append(install_log_.subfolder).AppendASCII(product_exe), false);
  }
  TestShortcutsIntoFolder();
}

void Status::TestShortcutsIntoFolder() {
  const base::FilePath launcher = folder_.AppendASCII(kLauncherExeName);
  auto test = [&](const base::FilePath& shortcut, bool* exists,
                  bool* recreate) {
    base::FilePath target;
    if (*exists || !GetShortcutTargetInFolder(shortcut, folder_, &target))
      return;
    LOG(INFO) << "Shortcut into the folder: " << shortcut;
    *exists = true;
    // Only a shortcut to the launcher may stay as it is.
    if (!base::FilePath::CompareEqualIgnoreCase(target.value(),
                                                launcher.value())) {
      *recreate = true;
    }
  };
  test(install_log_.desktop_shortcut, &desktop_shortcut_exists_,
       &recreate_desktop_shortcut_);
  test(install_log_.start_menu_shortcut, &start_menu_shortcut_exists_,
       &recreate_start_menu_shortcut_);
  test(install_log_.quick_launch_shortcut, &quick_launch_shortcut_exists_,
       &recreate_quick_launch_shortcut_);
  if (pinned_shortcut_paths_.empty()) {
    FindTaskbarPinsInFolder(folder_, &pinned_shortcut_paths_);
    recreate_pinned_shortcut_ = !pinned_shortcut_paths_.empty();
  }
}

void Status::TestShortcutsAgainst(const base::FilePath& target,
                                  bool is_launcher) {
  if (!base::PathExists(target))
    return;
  BY_HANDLE_FILE_INFORMATION info = {};
  const BY_HANDLE_FILE_INFORMATION* identity =
      GetFileIdentity(target, &info) ? &info : nullptr;
  auto test = [&](const base::FilePath& shortcut, bool* exists,
                  bool* recreate) {
    if (*exists)
      return false;
    *exists = !shortcut.empty() && IsOurShortcut(shortcut, target, identity);
    // A shortcut to an old target must be pointed at the launcher again.
    if (*exists && !is_launcher)
      *recreate = true;
    return true;
  };
  test(install_log_.desktop_shortcut, &desktop_shortcut_exists_,
       &recreate_desktop_shortcut_);
  if (test(install_log_.start_menu_shortcut, &start_menu_shortcut_exists_,
           &recreate_start_menu_shortcut_) &&
      base::win::GetVersion() >= base::win::VERSION_WIN8) {
    // The Windows 8 start screen shows only shortcuts it saw created.
    recreate_start_menu_shortcut_ = true;
  }
  test(install_log_.quick_launch_shortcut, &quick_launch_shortcut_exists_,
       &recreate_quick_launch_shortcut_);
  if (pinned_shortcut_paths_.empty()) {
    FindTaskbarPin(target, identity, &pinned_shortcut_paths_);
    if (!pinned_shortcut_paths_.empty() && !is_launcher)
      recreate_pinned_shortcut_ = true;
  }
}

void Status::FindTemporaryShortcutFolder() {
  if (temporary_shortcut_folder_exists_)
    return;
  base::FilePath start_menu;
  if (!base::PathService::Get(base::DIR_START_MENU, &start_menu))
    return;
  base::FilePath folder = start_menu.Append(base::UTF8ToWide(GetCompanyName()));
  if (base::DirectoryExists(folder)) {
    temporary_shortcut_folder_exists_ = true;
    temporary_shortcut_folder_ = folder;
  }
}

void Status::DetermineWriteAccess() {
  // Installing into the folder needs full use of it; creating the folder
  // needs only to add it to its ancestor.
  const ACCESS_MASK mask =
      valid_parent_ == folder_
          ? (FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE)
          : FILE_ADD_SUBDIRECTORY;
  has_write_access_ = CheckAccess(valid_parent_.value(), SE_FILE_OBJECT, mask);
}

bool Status::ReadInstallationData(TargetInstallation* installation) {
  LOG(INFO) << "Determining whether we handled http";
  is_http_handler_ =
      IsOurAssociation(installation, L"http", existing_installation_traces_);
  LOG(INFO) << "Reading exisitng tracking data";
  if (!base::ReadFileToStringWithMaxSize(
          folder_.AppendASCII(kServerTrackingDataFileName), &tracking_data_,
          kMaxTrackingDataSize)) {
    tracking_data_.clear();
  }
  if (existing_installation_traces_ ||
      !base::PathExists(folder_.AppendASCII(kInstallerPrefsFileName))) {
    return false;
  }
  ReadPrefs();
  ReadProfile(installation);
  return true;
}

void Status::ReadPrefs() {
  LOG(INFO) << "Reading existing prefs";
  scoped_refptr<JsonPrefStore> prefs =
      OpenJsonPrefStore(PrefsTaskPool::GetInstance(),
                        folder_.AppendASCII(kInstallerPrefsFileName));
  single_profile_ = ReadBooleanPref(*prefs, "single_profile");
  import_browser_data_ = ReadBooleanPref(*prefs, "import_browser_data");
  enable_stats_ = ReadBooleanPref(*prefs, "enable_stats");
  const base::Value* value = nullptr;
  if (prefs->GetValue("language", &value))
    value->GetAsString(&language_);
  if (prefs->GetValue("welcome-url", &value))
    value->GetAsString(&welcome_url_);
  LOG(INFO) << "Reading existing experiments status";
  if (prefs->GetValue("all-installer-experiments", &value))
    ReadExperiments(value);
}

void Status::ReadExperiments(const base::Value* experiments) {
  const base::ListValue* list = nullptr;
  if (!experiments->GetAsList(&list))
    return;
  RegisterInstallerFeatures(&experiments_);
  ListValueFeatureReader reader(list);
  experiments_.Initialize(&reader);
  if (experiments_.IsEnabled(kInstallerExperimentTest))
    LOG(INFO) << "Test experiment was enabled in install folder.";
}

void Status::ReadProfile(TargetInstallation* installation) {
  LOG(INFO) << "Finding current user profile";
  base::FilePath user_data;
  if (!installation->GetUserDataDir(&user_data))
    return;
  profile_path_ = user_data;
  scoped_refptr<JsonPrefStore> local_state = OpenJsonPrefStore(
      PrefsTaskPool::GetInstance(), user_data.AppendASCII(kLocalStateFileName));
  LOG(INFO) << "Obtaining current user language";
  const base::Value* value = nullptr;
  std::wstring locale;
  if (local_state->GetValue("intl.app_locale", &value) &&
      value->GetAsString(&locale)) {
    language_ = locale;
  }
}

void Status::ReadFormerProductPrefs(bool prefs_read) {
  LOG(INFO) << "Reading old product type";
  const base::FilePath ini = folder_.AppendASCII(kFormerDefaultPrefsFileName);
  if (!base::PathExists(ini))
    return;
  const wchar_t* ini_path = ini.value().c_str();
  switch (::GetPrivateProfileIntW(L"System", L"Kelvo Product", 0, ini_path)) {
    case 1:
      old_product_type_ = 1;
      break;
    case 2:
      old_product_type_ = 2;
      break;
    default:
      old_product_type_ = 0;
  }
  if (prefs_read)
    return;
  LOG(INFO) << "Reading old tavrel prefs";
  int multi_user = static_cast<int>(
      ::GetPrivateProfileIntW(L"System", L"Multi User", -1, ini_path));
  if (multi_user != -1)
    single_profile_ = multi_user == 0 ? 1 : 0;
  wchar_t languages[kIniStringBufferSize] = {};
  DWORD length = ::GetPrivateProfileStringW(
      L"User Prefs", L"Language Files Directory", L"", languages,
      kIniStringBufferSize, ini_path);
  // A text that fills the buffer was cut and names no real folder.
  if (length > 0 && length < kIniStringBufferSize - 1) {
    language_ = base::FilePath(std::wstring(languages, length))
                    .StripTrailingSeparators()
                    .BaseName()
                    .value();
  }
}

void Status::Log() const {
  LOG(INFO) << "status for install folder:" << folder_;
  LOG(INFO) << "desktop_shortcut_exists: "
            << BoolText(desktop_shortcut_exists_);
  LOG(INFO) << "start_menu_shortcut_exists: "
            << BoolText(start_menu_shortcut_exists_);
  LOG(INFO) << "quick_launch_shortcut_exists: "
            << BoolText(quick_launch_shortcut_exists_);
  LOG(INFO) << "temporary_shortcut_folder_exists: "
            << BoolText(temporary_shortcut_folder_exists_);
  LOG(INFO) << "has_write_access: " << BoolText(has_write_access_);
  std::wstring pins;
  for (const base::FilePath& pin : pinned_shortcut_paths_)
    pins += (pins.empty() ? L"" : L"; ") + pin.value();
  LOG(INFO) << "pinned_shortcut_paths: " << pins;
  LOG(INFO) << "recreate_desktop_shortcut: "
            << BoolText(recreate_desktop_shortcut_);
  LOG(INFO) << "recreate_start_menu_shortcut: "
            << BoolText(recreate_start_menu_shortcut_);
  LOG(INFO) << "recreate_quick_launch_shortcut: "
            << BoolText(recreate_quick_launch_shortcut_);
  LOG(INFO) << "recreate_pinned_shortcut: "
            << BoolText(recreate_pinned_shortcut_);
  LOG(INFO) << "is_http_handler: " << BoolText(is_http_handler_);
  LOG(INFO) << "import_browser_data: " << import_browser_data_;
  LOG(INFO) << "enable_stats: " << enable_stats_;
  LOG(INFO) << "language: " << language_;
  LOG(INFO) << "welcome_url: " << welcome_url_;
  LOG(INFO) << "tracking_data: " << tracking_data_;
  LOG(INFO) << "single_profile: " << single_profile_;
  LOG(INFO) << "old_product_type: " << old_product_type_;
  LOG(INFO) << "profile_path: " << profile_path_;
  LOG(INFO) << "temporary_shortcut_folder: " << temporary_shortcut_folder_;
  LOG(INFO) << "valid_parent folder: " << valid_parent_;
  LOG(INFO) << "valid_install_path: " << BoolText(valid_install_path_);
  LOG(INFO) << "existing_installation: " << BoolText(existing_installation_);
  LOG(INFO) << "existing_installation_traces: "
            << BoolText(existing_installation_traces_);
  LOG(INFO) << "tavrel_installation: " << BoolText(tavrel_installation_);
  LOG(INFO) << "install_log_recovered: " << BoolText(install_log_recovered_);
}

}  // namespace installer
