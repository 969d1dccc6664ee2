// What the installer found at one candidate install folder: whether the
// path can be used at all, whether an installation (or traces of the former
// product's) lives there, its install log, which of its shortcuts exist,
// whether the user may write there, whether it handles web links, its
// tracking data, the options and experiments stored in its prefs and its
// language.
//
//   auto status = std::make_unique<Status>(replace_former_product);
//   status->InitForPath(folder);  // Blocks on disk and registry.
//   if (status->valid_install_path() && status->existing_installation()) ...
//
// A Status is filled once by InitForPath, on a worker thread with COM
// initialised for a single-threaded apartment (or on the main thread, which
// has it), and only read afterwards. Every problem ends in a verdict, never
// in an error.

#ifndef DESKTOP_WINDOWS_INSTALLER_STATUS_H_
#define DESKTOP_WINDOWS_INSTALLER_STATUS_H_

#include <windows.h>

#include <stdint.h>

#include <string>
#include <vector>

#include "base/features/feature_registry.h"
#include "base/files/file_path.h"
#include "desktop/windows/installer/install_log.h"

namespace base {
class Value;
}

namespace installer {

class TargetInstallation;

// The former product's install log, whose presence marks its traces.
extern const char kFormerInstallLogFileName[];
// The tracking data an installation keeps.
extern const char kServerTrackingDataFileName[];

class Status {
 public:
  // The value of a stored boolean pref that was not found.
  static constexpr int32_t kNotRecorded = -1;

  // An empty status, of no folder.
  explicit Status(bool replace_former_product);
  Status(const Status&) = delete;
  Status& operator=(const Status&) = delete;
  ~Status();

  // Examines |path| and fills the status. Call once.
  void InitForPath(const base::FilePath& path);

  // Writes every field under its log key, one line each, after a line
  // naming the folder.
  void Log() const;

  const InstallLog& install_log() const { return install_log_; }
  bool desktop_shortcut_exists() const { return desktop_shortcut_exists_; }
  bool start_menu_shortcut_exists() const {
    return start_menu_shortcut_exists_;
  }
  bool quick_launch_shortcut_exists() const {
    return quick_launch_shortcut_exists_;
  }
  bool temporary_shortcut_folder_exists() const {
    return temporary_shortcut_folder_exists_;
  }
  bool has_write_access() const { return has_write_access_; }
  const std::vector<base::FilePath>& pinned_shortcut_paths() const {
    return pinned_shortcut_paths_;
  }
  bool recreate_desktop_shortcut() const { return recreate_desktop_shortcut_; }
  bool recreate_start_menu_shortcut() const {
    return recreate_start_menu_shortcut_;
  }
  bool recreate_quick_launch_shortcut() const {
    return recreate_quick_launch_shortcut_;
  }
  bool recreate_pinned_shortcut() const { return recreate_pinned_shortcut_; }
  bool is_http_handler() const { return is_http_handler_; }
  // 1, 0, or kNotRecorded.
  int32_t import_browser_data() const { return import_browser_data_; }
  int32_t enable_stats() const { return enable_stats_; }
  int32_t single_profile() const { return single_profile_; }
  // 0, 1 or 2 from the former product's default prefs; -1 without them.
  int32_t old_product_type() const { return old_product_type_; }
  const std::wstring& language() const { return language_; }
  const std::string& welcome_url() const { return welcome_url_; }
  const std::string& tracking_data() const { return tracking_data_; }
  const base::FilePath& profile_path() const { return profile_path_; }
  const base::FilePath& temporary_shortcut_folder() const {
    return temporary_shortcut_folder_;
  }
  // The installation's own experiment states.
  const FeatureRegistry& experiments() const { return experiments_; }
  const base::FilePath& folder() const { return folder_; }
  // The folder when it exists, else its nearest existing ancestor.
  const base::FilePath& valid_parent() const { return valid_parent_; }
  // Why the install log could not be read; empty when it was read or is
  // missing.
  const std::string& install_log_parse_error() const {
    return install_log_parse_error_;
  }
  bool valid_install_path() const { return valid_install_path_; }
  bool existing_installation() const { return existing_installation_; }
  // The folder holds the former product's install log.
  bool existing_installation_traces() const {
    return existing_installation_traces_;
  }
  // The folder holds the launcher but no install log.
  bool tavrel_installation() const { return tavrel_installation_; }
  // The install log cannot be read: install_log() holds what the folder
  // and the registry show of the installation instead (SurveyInstallation),
  // which only an uninstall uses.
  bool install_log_recovered() const { return install_log_recovered_; }
  // With a recovered install log, the installation's version folders,
  // relative to the folder.
  const std::vector<base::FilePath>& recovered_version_folders() const {
    return recovered_version_folders_;
  }
  // The version folders the installation's browser may run from, relative
  // to the folder: the install log's subfolder, or with a recovered log
  // every recovered one.
  std::vector<base::FilePath> InstalledVersionFolders() const;
  bool replace_former_product() const { return replace_former_product_; }

 private:
  // The path verdicts before the folder is looked at; false, logged, when
  // one fails.
  bool CheckPath(const base::FilePath& path);
  // For a folder that exists: reads its install log, or the former
  // product's.
  void ReadInstallLogs();
  // For a folder that does not exist: finds its nearest existing ancestor.
  void FindValidParent();
  // Keeps copy-only only for a log that records nothing shared.
  void NormalizeInstallLogFlags();
  // Reads what the installation left in the folder and the user's profile.
  void Read();
  void TestShortcuts();
  void TestShortcutsAgainst(const base::FilePath& target, bool is_launcher);
  // The shortcuts and pins whose stored target lies in the folder, whatever
  // became of the target.
  void TestShortcutsIntoFolder();
  void FindTemporaryShortcutFolder();
  void DetermineWriteAccess();
  // The steps that need an installation; false when the folder has no
  // prefs of this product to read.
  bool ReadInstallationData(TargetInstallation* installation);
  void ReadPrefs();
  void ReadExperiments(const base::Value* experiments);
  void ReadProfile(TargetInstallation* installation);
  void ReadFormerProductPrefs(bool prefs_read);

  InstallLog install_log_;
  bool desktop_shortcut_exists_ = false;
  bool start_menu_shortcut_exists_ = false;
  bool quick_launch_shortcut_exists_ = false;
  bool temporary_shortcut_folder_exists_ = false;
  bool has_write_access_ = false;
  std::vector<base::FilePath> pinned_shortcut_paths_;
  bool recreate_desktop_shortcut_ = false;
  bool recreate_start_menu_shortcut_ = false;
  bool recreate_quick_launch_shortcut_ = false;
  bool recreate_pinned_shortcut_ = false;
  bool is_http_handler_ = false;
  int32_t import_browser_data_ = kNotRecorded;
  int32_t enable_stats_ = kNotRecorded;
  std::wstring language_;
  std::string welcome_url_;
  std::string tracking_data_;
  int32_t single_profile_ = kNotRecorded;
  int32_t old_product_type_ = -1;
  base::FilePath profile_path_;
  base::FilePath temporary_shortcut_folder_;
  FeatureRegistry experiments_;
  base::FilePath folder_;
  base::FilePath valid_parent_;
  std::string install_log_parse_error_;
  bool valid_install_path_ = false;
  bool existing_installation_ = false;
  bool existing_installation_traces_ = false;
  bool tavrel_installation_ = false;
  bool install_log_recovered_ = false;
  std::vector<base::FilePath> recovered_version_folders_;
  const bool replace_former_product_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STATUS_H_
