// The installer's option model: what operation will run, on which folder,
// with which of 18 options, in which language. RunInstaller builds one
// Settings per run from the command line, the registry and the install
// folder found; the controllers and the window change it through setters
// while the user chooses; the start of an installation closes it for
// editing; the front end writes it as switches for the backend process
// (ToCommandLine), which builds its own Settings from them.
//
//   Settings settings(uninstall, silent, autoupdate, install_folder,
//                     replace_old_product, x64_download);
//   settings.AddObserver(this);      // OnPathChanged when the Status is in.
//   settings.SetMode(INSTALL_MODE_CURRENT_USER);
//   base::CommandLine backend = settings.ToCommandLine(false);
//
// Each change of install folder computes the Status of the new folder on a
// worker thread (at most one at a time: a newer folder cancels the older
// computation), adopts it, derives the operation and the options of an
// existing installation from it and tells the observers. Everything else
// runs on the thread that created the Settings, which needs a message loop.

#ifndef DESKTOP_WINDOWS_INSTALLER_SETTINGS_H_
#define DESKTOP_WINDOWS_INSTALLER_SETTINGS_H_

#include <stdint.h>

#include <bitset>
#include <memory>
#include <string>
#include <vector>

#include "base/command_line.h"
#include "base/files/file_path.h"
#include "base/memory/ref_counted.h"
#include "base/observer_list.h"
#include "desktop/windows/installer/settings_observer.h"

namespace installer {

class InstallerStatsNode;
class Status;
class StatusFetchJob;

// What the backend will do.
enum SettingsOperation : int32_t {
  OPERATION_NONE = 0,
  OPERATION_INSTALLING = 1,
  OPERATION_UPGRADING = 2,
  OPERATION_UNINSTALLING = 3,
  // Registering the protocol handler of an existing installation.
  OPERATION_REGISTERING_PROTOCOL_HANDLER = 4,
};

enum InstallMode : int32_t {
  INSTALL_MODE_ALL_USERS = 0,
  INSTALL_MODE_CURRENT_USER = 1,
  INSTALL_MODE_STANDALONE = 2,
};

// Option ids: bit numbers of Settings' options.
enum SettingsOption : int32_t {
  COPY_ONLY = 0,
  SINGLE_PROFILE = 1,
  LAUNCH_KELVO = 2,
  ALL_USERS_FLAG = 3,
  DEFAULT_BROWSER = 4,
  IMPORT_BROWSER_DATA = 5,
  INSTALL_ASSISTANT = 6,
  ENABLE_KELVO_STATS = 7,
  ENABLE_INSTALLER_STATS = 8,
  DESKTOP_SHORTCUT = 9,
  START_MENU_SHORTCUT = 10,
  QUICK_LAUNCH_SHORTCUT = 11,
  PINNED_SHORTCUT = 12,
  UNINSTALL_FLAG = 13,
  SILENT = 14,
  AUTOUPDATE = 15,
  DELETE_PROFILE = 16,
  REPLACE_TAVREL_INSTALLATION = 17,
};
constexpr int kSettingsOptionCount = 18;

// The name of option |id| as the log writes it ("COPY_ONLY"); empty for an
// id outside 0 to 17.
const char* GetSettingsOptionName(int id);

// Sources of the default install folder, as a bit mask.
enum InstallFolderSource : int {
  INSTALL_FOLDER_STANDARD = 1,
  INSTALL_FOLDER_REGISTRY = 2,
  INSTALL_FOLDER_COMMAND_LINE = 4,
  INSTALL_FOLDER_ALL_SOURCES = 7,
};

// A boolean switch value: empty is false, "yes" and "true" in any ASCII
// case are true, otherwise a decimal integer other than 0 is true and
// anything else false.
bool ParseBoolSwitchValue(const std::wstring& value);

class Settings {
 public:
  // Reads |command_line|, the process's, the registry and the folder chosen
  // by default, whose Status is then computed.
  Settings(const base::CommandLine& command_line,
           bool uninstall,
           bool silent,
           bool autoupdate,
           const base::FilePath& install_folder,
           bool replace_old_product,
           int32_t x64_download);
  Settings(const Settings&) = delete;
  Settings& operator=(const Settings&) = delete;
  // A Status still being computed is never delivered.
  ~Settings();

  // What was found at the current install folder; replaced, and so valid
  // only until, the next folder change.
  const Status& GetStatus() const { return *status_; }
  // The process's command line that these settings were read from. The
  // installer reads every switch of its process from here.
  const base::CommandLine& command_line() const { return command_line_; }
  // Whether the Status of a newly chosen folder is being computed.
  bool IsStatusPending() const { return pending_fetch_ != nullptr; }

  SettingsOperation operation() const { return operation_; }
  bool GetOption(int id) const;
  const std::wstring& language() const { return language_; }
  const base::FilePath& profile_folder() const { return profile_folder_; }
  // Standalone with COPY_ONLY, else all users with ALL_USERS_FLAG, else
  // the current user.
  InstallMode GetInstallMode() const;
  // 1 for the x64 download.
  int32_t x64_download() const { return x64_download_; }
  // The initial state of the uninstall window's delete-profile box: off
  // when two installations of this stream are registered.
  bool offer_profile_deletion() const { return offer_profile_deletion_; }
  const base::FilePath& install_folder_from_command_line() const {
    return install_folder_from_command_line_;
  }
  const base::FilePath& install_folder_from_registry() const {
    return install_folder_from_registry_;
  }
  const std::vector<base::FilePath>& standalone_candidates() const {
    return standalone_candidates_;
  }

  // While not editable every setter is refused, and a Status that arrives
  // is dropped. Closed when an installation begins; opened again to retry
  // after an error.
  bool IsEditable() const { return editable_; }
  void SetEditable(bool editable);

  void AddObserver(SettingsObserver* observer);
  void RemoveObserver(SettingsObserver* observer);

  // Setters: false when refused, true when applied. SetOption logs and
  // tells the observers.
  bool SetOption(int id, bool value);
  // Refused while upgrading or with COPY_ONLY on.
  bool SetAllUsers(bool value);
  // Refused while upgrading. Turning COPY_ONLY on clears the options a
  // standalone copy cannot have.
  bool SetCopyOnly(bool value);
  // Refused with COPY_ONLY on.
  bool SetDefaultBrowser(bool value);
  // Only when uninstalling.
  bool SetDeleteProfile(bool value);
  bool SetEnableInstallerStats(bool value);
  bool SetEnableStats(bool value);
  bool SetImportBrowserData(bool value);
  // Settles |code| on an available language; refused when it is the
  // current one.
  bool SetLanguage(const std::wstring& code);
  // Makes |path| the install folder and computes its Status.
  bool SelectInstallFolder(const base::FilePath& path);
  // Switches the options (and a default install folder) to |mode|.
  bool SetMode(InstallMode mode);

  // The switches that make a backend rebuild these Settings, without a
  // program. |suppress_launch| keeps the backend from starting the browser.
  base::CommandLine ToCommandLine(bool suppress_launch) const;
  // Records the settings in the statistics; keys under |prefix| unless the
  // key is one of the run's.
  void WriteStats(const std::string& prefix, InstallerStatsNode node) const;
  // Back to the defaults, then the options given on the process command
  // line. Does nothing while not editable.
  void FromCommandLine();
  // Copies the import switches given to this process to |target|.
  void CopyImportSwitches(base::CommandLine* target) const;

  // Install folder choice.
  // The default folder from the sources in |sources| (InstallFolderSource
  // bits) for that kind of install; may be empty.
  base::FilePath GetDefaultInstallFolderFor(int sources,
                                            int32_t x64_download,
                                            bool all_users,
                                            bool copy_only) const;
  // The same for the current options.
  base::FilePath GetDefaultInstallFolder(int sources) const;
  // The folders to offer: the standalone candidates with COPY_ONLY, else
  // the one default folder of the registry and the standard.
  std::vector<base::FilePath> GetInstallFolderCandidates() const;
  base::FilePath ReadInstallFolderFromRegistry(int32_t x64_download) const;
  // Appends the standalone candidates of the drives to those known.
  void ListStandaloneInstallPaths();
  // Clears the offer of profile deletion when two uninstall entries of
  // this stream are registered.
  void DetectExistingProduct();
  // Whether an existing installation should keep or get its taskbar pin.
  bool ShouldPinShortcut() const;

 private:
  void SetInstallFolder(const base::FilePath& path);
  // Computes the Status of |path| on this thread; the constructor uses it
  // for a folder that decides which default to choose.
  std::unique_ptr<Status> ComputeStatusNow(const base::FilePath& path) const;
  void CancelPendingFetch();
  void OnStatusFetched(std::unique_ptr<Status> status);
  // The options an existing installation (or its traces) brings.
  void ApplyExistingInstallation();
  void ApplyCopyOnly(bool value);
  // Sets |id| from |switch_name| when the process command line has it.
  void ReadSwitch(const char* switch_name, int id);
  void LogOptions() const;
  // Whether the current folder is a default one of the current mode.
  bool IsDefaultFolderOfMode() const;

  void NotifyOptionChanged();
  void NotifyLanguageChanged();
  void NotifyPathChanged();

  SettingsOperation operation_ = OPERATION_NONE;
  std::bitset<kSettingsOptionCount> options_;
  std::wstring language_;
  const base::CommandLine command_line_;
  std::unique_ptr<Status> status_;
  scoped_refptr<StatusFetchJob> pending_fetch_;
  base::ObserverList<SettingsObserver> observers_;
  bool editable_ = true;
  bool offer_profile_deletion_ = true;
  const base::FilePath install_folder_from_command_line_;
  base::FilePath install_folder_from_registry_;
  base::FilePath profile_folder_;
  std::vector<base::FilePath> standalone_candidates_;
  const int32_t x64_download_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SETTINGS_H_
