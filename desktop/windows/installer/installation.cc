#include "desktop/windows/installer/installation.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <utility>
#include <vector>

#include "base/files/file_util.h"
#include "base/lazy_instance_helpers.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/sequenced_task_runner.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/values.h"
#include "components/prefs/json_pref_store.h"
#include "desktop/windows/installer/install_log_reader.h"
#include "desktop/windows/installer/prefs_task_pool.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/product/version_info.h"
#include "desktop/windows/installer/service/utils.h"

namespace installer {

const char kInstallLogFileName[] = "installation_status.xml";
// Seconds since 1970 have 10 digits until the year 2286; the counters that
// keep names apart stay below 100.
const size_t kMaxInstallFolderLength =
    MAX_PATH - 1 -
    (sizeof("\\old_status\\installation_status.xml.") - 1 + 10 + sizeof(".99") -
     1 + sizeof(".") - 1 + 10 + sizeof(".99") - 1 + sizeof(".old") - 1);
const char kLauncherExeName[] = "launcher.exe";

namespace {

constexpr wchar_t kUserNamePlaceholder[] = L"<USERNAME>";

// Takes no task, so that a store bound to it never writes: the record reads
// the installer's prefs but must not race the pref task pool's writes.
class RefusingTaskRunner : public base::SequencedTaskRunner {
 public:
  RefusingTaskRunner() = default;

  bool PostDelayedTask(const base::Location& from_here,
                       base::OnceClosure task,
                       base::TimeDelta delay) override {
    return false;
  }
  bool PostNonNestableDelayedTask(const base::Location& from_here,
                                  base::OnceClosure task,
                                  base::TimeDelta delay) override {
    return false;
  }
  bool RunsTasksOnCurrentThread() const override { return false; }

 private:
  ~RefusingTaskRunner() override = default;
};

base::FilePath GetExecutableInstallFolder() {
  base::FilePath exe_dir;
  if (!base::PathService::Get(base::DIR_EXE, &exe_dir)) {
    LOG(ERROR) << "Cannot find the folder of the running executable";
    return base::FilePath();
  }
  // The installer of an update runs from the version subfolder. The install
  // log marks the installation too: its launcher.exe may have been deleted
  // by hand, and the uninstall must still find it.
  base::FilePath parent = exe_dir.DirName();
  if (!base::PathExists(exe_dir.AppendASCII(kLauncherExeName)) &&
      parent != exe_dir &&
      (base::PathExists(parent.AppendASCII(kLauncherExeName)) ||
       base::PathExists(parent.AppendASCII(kInstallLogFileName)))) {
    return parent;
  }
  return exe_dir;
}

base::LazySingleton<CurrentInstallation> g_current_installation;

}  // namespace

Installation::Installation() : folder_(GetExecutableInstallFolder()) {
  Load();
}

Installation::Installation(const base::FilePath& folder) : folder_(folder) {
  Load();
}

Installation::Installation(const base::FilePath& folder,
                           const InstallLog& install_log)
    : folder_(folder), install_log_loaded_(true), install_log_(install_log) {
  Load();
}

Installation::~Installation() = default;

// static
Installation* Installation::GetCurrent() {
  return g_current_installation.Get();
}

void Installation::Load() {
  ReadProfilePathPref();
  registered_app_name_ = base::UTF8ToWide(GetProductName() + " " + GetStream());
}

scoped_refptr<JsonPrefStore> Installation::GetPrefStore() {
  if (!pref_store_) {
    pref_store_ = base::MakeRefCounted<JsonPrefStore>(
        folder_.AppendASCII(kInstallerPrefsFileName),
        base::MakeRefCounted<RefusingTaskRunner>());
    pref_store_->ReadPrefs();
  }
  return pref_store_;
}

bool Installation::ReadProfilePathPref() {
  profile_path_.clear();
  const base::Value* value = nullptr;
  return GetPrefStore()->GetValue("profile_path", &value) &&
         value->GetAsString(&profile_path_);
}

void Installation::LoadInstallLog() {
  if (install_log_loaded_)
    return;
  install_log_loaded_ = true;
  base::FilePath path = folder_.AppendASCII(kInstallLogFileName);
  if (folder_.empty() || !base::PathExists(path))
    return;
  InstallLogReader reader;
  if (!reader.Read(&install_log_, path))
    VLOG(1) << "Install log " << path << " not read: " << reader.error();
}

bool Installation::IsCopyOnly() {
  LoadInstallLog();
  return install_log_.copy_only;
}

bool Installation::IsSingleProfile() {
  const base::Value* value = nullptr;
  bool single_profile = false;
  return GetPrefStore()->GetValue("single_profile", &value) &&
         value->GetAsBoolean(&single_profile) && single_profile;
}

bool Installation::GetProfileDir(base::FilePath* path) {
  if (!IsSingleProfile())
    return false;
  *path = folder_.Append(L"profile");
  return true;
}

bool Installation::GetDefaultUserDataDir(base::FilePath* path, int channel) {
  if (profile_path_.empty())
    return GetBrandedUserDataDir(channel, path);
  std::wstring profile_path = profile_path_;
  size_t placeholder = profile_path.find(kUserNamePlaceholder);
  if (placeholder != std::wstring::npos) {
    std::wstring user_name;
    if (!GetUserName(&user_name)) {
      LOG(ERROR) << "Cannot read the user name for the profile path";
      return false;
    }
    profile_path.replace(placeholder, wcslen(kUserNamePlaceholder), user_name);
  }
  profile_path = profile_path.substr(0, profile_path.find(L'\0'));
  *path = base::FilePath(profile_path);
  return true;
}

bool Installation::GetUserDataDir(base::FilePath* path) {
  return GetUserDataDirFor(path, false, GetChannel());
}

bool Installation::GetUserDataDirFor(base::FilePath* path,
                                     bool for_removal,
                                     int channel) {
  if (folder_.empty())
    return false;
  base::FilePath result;
  if (IsSingleProfile())
    result = folder_.Append(L"profile").Append(L"data");
  else if (!GetDefaultUserDataDir(&result, channel))
    return false;
  // An uninstall deletes the answer with everything below it. A
  // "<USERNAME>" in the last component names a folder shared by every
  // user's profile as the parent: only the user's own folder may go.
  if (for_removal && !IsRemovableUserDataDir(result))
    return false;
  *path = result;
  return true;
}

bool Installation::GetUserDataDirForRemoval(base::FilePath* path) {
  return GetUserDataDirFor(path, true, GetChannel());
}

namespace {

// Whether |path| is |folder| or lies above it, ignoring case.
bool IsAtOrAbove(const base::FilePath& path, const base::FilePath& folder) {
  return base::FilePath::CompareEqualIgnoreCase(
             path.value(), folder.StripTrailingSeparators().value()) ||
         path.IsParentIgnoringCase(folder);
}

// Folders of the user and the system that hold more than one program's
// data; a user-data folder at or above one of them is never deleted.
constexpr int kSharedFolderKeys[] = {
    base::DIR_HOME,
    base::DIR_APP_DATA,
    base::DIR_LOCAL_APP_DATA,
    base::DIR_COMMON_APP_DATA,
    base::DIR_USER_DESKTOP,
    base::DIR_COMMON_DESKTOP,
    base::DIR_START_MENU,
    base::DIR_COMMON_START_MENU,
    base::DIR_PROGRAM_FILES,
    base::DIR_PROGRAM_FILESX86,
    base::DIR_PROGRAM_FILES6432,
    base::DIR_WINDOWS,
    base::DIR_TEMP,
};

// Folders that belong to the current user alone: what lies below them is
// the user's own, wherever the system put them.
constexpr int kUserFolderKeys[] = {
    base::DIR_HOME,
    base::DIR_APP_DATA,
    base::DIR_LOCAL_APP_DATA,
};

}  // namespace

bool Installation::IsRemovableUserDataDir(const base::FilePath& path) {
  base::FilePath clean = path.StripTrailingSeparators();
  if (!clean.IsAbsolute() || clean.ReferencesParent() ||
      clean.DirName() == clean) {
    LOG(ERROR) << "User data folder not removable: " << path;
    return false;
  }
  if (!IsCurrentUsersOwnFolder(clean)) {
    LOG(ERROR) << "User data folder is not the current user's own: " << path;
    return false;
  }
  return !HoldsSharedFolder(clean, folder_);
}

bool Installation::IsCurrentUsersOwnFolder(const base::FilePath& path) {
  // A single profile lives inside the installation it belongs to.
  if (IsSingleProfile())
    return folder_.IsParentIgnoringCase(path);
  for (int key : kUserFolderKeys) {
    base::FilePath folder;
    if (base::PathService::Get(key, &folder) &&
        folder.IsParentIgnoringCase(path)) {
      return true;
    }
  }
  // A stored path names each user's folder through "<USERNAME>": the
  // folder that the user's name completes is theirs, and what lies below.
  const size_t placeholder = profile_path_.find(kUserNamePlaceholder);
  std::wstring user_name;
  if (placeholder == std::wstring::npos || !GetUserName(&user_name))
    return false;
  const size_t component_end = profile_path_.find_first_of(
      L"\\/", placeholder + wcslen(kUserNamePlaceholder));
  std::wstring own = profile_path_.substr(0, component_end);
  own.replace(placeholder, wcslen(kUserNamePlaceholder), user_name);
  const base::FilePath own_folder(own);
  return base::FilePath::CompareEqualIgnoreCase(
             own_folder.StripTrailingSeparators().value(), path.value()) ||
         own_folder.IsParentIgnoringCase(path);
}

// static
bool Installation::HoldsSharedFolder(const base::FilePath& clean,
                                     const base::FilePath& install_folder) {
  std::vector<base::FilePath> shared_folders;
  for (int key : kSharedFolderKeys) {
    base::FilePath folder;
    if (base::PathService::Get(key, &folder))
      shared_folders.push_back(folder);
  }
  base::FilePath documents;
  if (GetKnownFolderPath(FOLDERID_Documents, CSIDL_PERSONAL, &documents,
                         false)) {
    shared_folders.push_back(documents);
  }
  // The installation itself goes its own way; its own profile lies below.
  if (!install_folder.empty())
    shared_folders.push_back(install_folder);
  for (const base::FilePath& folder : shared_folders) {
    if (IsAtOrAbove(clean, folder)) {
      LOG(ERROR) << "User data folder holds the shared folder " << folder
                 << ": " << clean;
      return true;
    }
  }
  return false;
}

bool Installation::GetUserCacheDir(const base::FilePath& profile_dir,
                                   base::FilePath* path) {
  *path = profile_dir;
  base::FilePath roaming;
  base::FilePath local;
  if (!profile_path_.empty() ||
      !base::PathService::Get(base::DIR_APP_DATA, &roaming) ||
      !base::PathService::Get(base::DIR_LOCAL_APP_DATA, &local)) {
    return true;
  }
  base::FilePath cache = local;
  if (roaming.AppendRelativePath(profile_dir, &cache))
    *path = cache;
  return true;
}

TargetInstallation::TargetInstallation(const base::FilePath& folder)
    : Installation(folder) {}

TargetInstallation::TargetInstallation(const base::FilePath& folder,
                                       const InstallLog& install_log)
    : Installation(folder, install_log) {}

TargetInstallation::~TargetInstallation() = default;

CurrentInstallation::CurrentInstallation() = default;

CurrentInstallation::~CurrentInstallation() = default;

}  // namespace installer
