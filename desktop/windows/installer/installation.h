// One installed copy of the browser at a folder, as the installer sees it:
// the prefs the installer left there (installer_prefs.json), the install log
// (installation_status.xml) and the profile and user-data folders that
// belong to it. The record only reads; it never writes either file.
//
//   TargetInstallation installation(install_folder);
//   base::FilePath user_data;
//   if (installation.GetUserDataDir(&user_data)) ...
//   if (Installation::GetCurrent()->IsCopyOnly()) ...
//
// A record is used on one thread at a time. Only the creation of the
// current installation is safe against concurrent first use.

#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALLATION_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALLATION_H_

#include <string>

#include "base/files/file_path.h"
#include "base/memory/ref_counted.h"
#include "desktop/windows/installer/install_log.h"

class JsonPrefStore;

namespace installer {

// The installation's files, by name.
extern const char kInstallLogFileName[];
extern const char kLauncherExeName[];

// The longest install folder of a new installation, in characters. The
// deepest path the installer makes itself is an older version's install log
// moved aside for deletion,
// "old_status\installation_status.xml.<seconds>.<n>.<seconds>.<n>.old"; it
// must stay below MAX_PATH, or an upgrade could not preserve the log, and
// the previous version would stay for ever.
extern const size_t kMaxInstallFolderLength;

class Installation {
 public:
  // The installation of the running executable: its folder, or the parent
  // of its folder when the executable runs from a version subfolder (only
  // the parent holds launcher.exe). Empty when the executable's folder is
  // unknown.
  Installation();
  // The installation at |folder|.
  explicit Installation(const base::FilePath& folder);
  // The installation at |folder| with |install_log| already in memory; the
  // log counts as loaded (an install being finalised).
  Installation(const base::FilePath& folder, const InstallLog& install_log);
  Installation(const Installation&) = delete;
  Installation& operator=(const Installation&) = delete;
  virtual ~Installation();

  // The installation the running installer belongs to, created on first
  // use and deleted by the at-exit manager.
  static Installation* GetCurrent();

  // The store of installer_prefs.json, opened on first call. Nothing
  // written through it ever reaches the disk: the installer writes that
  // file through the pref task pool.
  scoped_refptr<JsonPrefStore> GetPrefStore();

  // Reads the string pref "profile_path" into profile_path(); false when
  // it is absent or not a string.
  bool ReadProfilePathPref();

  // Loads installation_status.xml once; a missing or unreadable file
  // leaves the default log. COM must be initialised on the thread.
  void LoadInstallLog();
  // The install log's copy-only flag, the log loaded first.
  bool IsCopyOnly();

  // The boolean pref "single_profile"; false when absent or no boolean.
  bool IsSingleProfile();
  // For a single-profile installation: folder\profile, true. Otherwise
  // false.
  bool GetProfileDir(base::FilePath* path);

  // The user-data folder that a profile of |channel| has when the
  // installation keeps none of its own: the stored profile path with
  // "<USERNAME>" filled in, or the branding's template below the roaming
  // application data. False when a folder it needs cannot be found.
  bool GetDefaultUserDataDir(base::FilePath* path, int channel);
  // The user-data folder of this installation and build: the folder's
  // "profile\data" for a single profile, else the default one of this
  // channel.
  bool GetUserDataDir(base::FilePath* path);
  // GetUserDataDir for |channel|. With |for_removal| the answer is what an
  // uninstall may delete with everything below it: only the current user's
  // own folder (below the user's profile or application data, the folder
  // that the user's name completes in a "<USERNAME>" path, or a single
  // profile inside the installation), never one that may hold other users'
  // profiles or other programs' data (a drive root, the users' folder,
  // another user's home, the user's home itself, a shared folder such as
  // the application data, or anything above them, or a path climbing up
  // with ".."); such a folder gives false.
  bool GetUserDataDirFor(base::FilePath* path, bool for_removal, int channel);
  bool GetUserDataDirForRemoval(base::FilePath* path);
  // The cache folder of |profile_dir|: the same relative place below the
  // local application data when the profile is the default one below the
  // roaming application data, else |profile_dir| itself.
  bool GetUserCacheDir(const base::FilePath& profile_dir, base::FilePath* path);

  const base::FilePath& folder() const { return folder_; }
  const std::wstring& profile_path() const { return profile_path_; }
  // The log as loaded so far; call LoadInstallLog first.
  const InstallLog& install_log() const { return install_log_; }
  bool install_log_loaded() const { return install_log_loaded_; }
  // The product name, a blank and the stream ("Kelvo developer"): the name
  // under which the browser is registered with Windows' default programs.
  const std::wstring& registered_app_name() const {
    return registered_app_name_;
  }

 private:
  // Reads the profile path and sets the registered name.
  void Load();
  // Whether an uninstall may delete |path| recursively (see
  // GetUserDataDirFor).
  bool IsRemovableUserDataDir(const base::FilePath& path);
  bool IsCurrentUsersOwnFolder(const base::FilePath& path);
  // Whether |clean| is, or lies above, a folder of the user's or the
  // system's that many programs share (application data, documents,
  // desktop, program files, ...) or the install folder.
  static bool HoldsSharedFolder(const base::FilePath& clean,
                                const base::FilePath& install_folder);

  scoped_refptr<JsonPrefStore> pref_store_;
  base::FilePath folder_;
  std::wstring profile_path_;
  bool install_log_loaded_ = false;
  InstallLog install_log_;
  std::wstring registered_app_name_;
};

// The installation at a folder the installer works on.
class TargetInstallation : public Installation {
 public:
  explicit TargetInstallation(const base::FilePath& folder);
  TargetInstallation(const base::FilePath& folder,
                     const InstallLog& install_log);
  ~TargetInstallation() override;
};

// The process-wide record of the running installer's own installation
// (Installation::GetCurrent).
class CurrentInstallation : public Installation {
 public:
  CurrentInstallation();
  ~CurrentInstallation() override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALLATION_H_
