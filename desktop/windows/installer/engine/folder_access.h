// Where a backend's run does its work, and its write access to the install
// folder. A run that lacks the rights hands the work to an elevated copy of
// the installer ("runas"), or, where the user is no administrator, asks an
// elevated folder-permission process to open the folder for it; temporary
// rights are given back when the run ends.

#ifndef DESKTOP_WINDOWS_INSTALLER_ENGINE_FOLDER_ACCESS_H_
#define DESKTOP_WINDOWS_INSTALLER_ENGINE_FOLDER_ACCESS_H_

#include <windows.h>

#include <memory>

#include "base/files/file_path.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/step_result.h"

namespace installer {

class InstallRun;
class PackageHandOver;
class RunEvents;
struct SavedSecurityInfo;

// The read, write and execute rights on a file object that installing into
// a folder needs.
constexpr ACCESS_MASK kInstallFolderWriteAccess = 0x1201BF;

class FolderAccess {
 public:
  // |run|, |events| and |hand_over| must outlive the object.
  FolderAccess(InstallRun* run, RunEvents* events, PackageHandOver* hand_over);
  FolderAccess(const FolderAccess&) = delete;
  FolderAccess& operator=(const FolderAccess&) = delete;
  ~FolderAccess();

  // Decides where the work is done and gets write access to the install
  // folder, which then exists: StepResult::Next(). Anything else ends the
  // run here: an elevated installer did the work (succeeded, or the wait
  // for the package goes on), or an error or an interruption.
  StepResult Prepare();

  // Gives back the folder rights the run took for a while and releases the
  // folder-permission process, also when |child_still_runs|: a child process
  // abandoned by the run still works under them.
  void Release(bool child_still_runs);

 private:
  // How an elevated process ended.
  enum class Elevation {
    kSucceeded,
    // Elevation is impossible or was refused.
    kRefused,
    kProcessFailed,
    kSetupFailed,
    // The run was interrupted, or its front end ended, while waiting.
    kAbandoned,
  };

  // False, with |*result| set, when the run ends here.
  bool CanWriteFromStatus(bool* has_write, StepResult* result);
  void SaveLastInstallPath();
  StepResult ObtainWriteAccess(bool has_write);
  StepResult ObtainWriteAccessThroughPermissionProcess();
  // With |notify| the observers hear that the folder exists.
  StepResult CreateInstallFolder(bool notify);
  // Hands the run to an elevated copy of the installer.
  StepResult RunElevated();
  Elevation WaitForElevatedInstaller();
  Elevation RunElevatedForFolderPermissions(const base::FilePath& folder,
                                            bool permanent);
  static bool IsUACEnabled();

  InstallRun* const run_;
  RunEvents* const events_;
  PackageHandOver* const hand_over_;
  // The install folder's security before this run granted itself write
  // access; restored by Release.
  std::unique_ptr<SavedSecurityInfo> saved_folder_security_;
  // The folder-permission process's undo event; set by Release.
  base::win::ScopedHandle completion_event_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_ENGINE_FOLDER_ACCESS_H_
