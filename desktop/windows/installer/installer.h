// The installation engine of a backend process: performs the one operation
// of the Settings it is given (install, upgrade, uninstall, or registering
// an existing installation as protocol handler) as a list of steps posted
// one at a time to the loop of the thread that created it. Every file and
// registry change goes through its Transaction, what an install wrote is
// recorded in its InstallLog, and progress and the outcome go to its
// InstallerObservers.
//
//   Installer installer;                 // On a thread with a MessageLoop.
//   installer.AddObserver(&backend);
//   installer.Start(&settings);          // Posts the run.
//   run_loop.Run();                      // Until an outcome arrives.
//
// A run ends in exactly one outcome (see InstallerObserver). A failing step
// reports through NotifyError, which rolls the transaction back; a
// successful run commits it in OnSuccess. Destroying a running Installer
// cancels the run.
//
// The steps are free functions that take the Installer and use the
// accessors below; each ends with ScheduleNextStep, NotifyError or, for the
// last step of a list, NotifyStep and OnSuccess. Error codes are the string
// ids of the messages shown for them (installer_string_ids.h):
// IDS_ERROR_INSTALL for every failure without a more specific message,
// IDS_ERROR_UNINSTALL, IDS_ERROR_BAD_LOCATION, IDS_ERROR_CREATE_FOLDER ("$1"
// the folder), IDS_ERROR_INSUFFICIENT_PRIVILEGES, IDS_ERROR_ELEVATION_FAILED,
// IDS_ERROR_COPY_FILE ("$1" the destination) and IDS_ERROR_BROWSER_RUNNING.
//
// Everything runs on the creating thread, which must have COM initialised
// (single-threaded apartment).

#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALLER_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALLER_H_

#include <windows.h>

#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include "base/callback.h"
#include "base/files/file_path.h"
#include "base/location.h"
#include "base/memory/scoped_refptr.h"
#include "base/memory/weak_ptr.h"
#include "base/observer_list.h"
#include "base/process/process.h"
#include "base/single_thread_task_runner.h"
#include "base/time/time.h"
#include "base/win/object_watcher.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/install_log.h"
#include "desktop/windows/installer/installer_observer.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/template_resolver.h"

namespace installer {

class Settings;
class Status;
struct SavedSecurityInfo;

// The read, write and execute rights on a file object that installing into
// a folder needs.
constexpr ACCESS_MASK kInstallFolderWriteAccess = 0x1201BF;

class Installer : public base::win::ObjectWatcher::Delegate,
                  public TemplateResolver {
 public:
  // How long a child installer process may take to end by itself once the
  // run it works for was interrupted or its front end ended; it watches the
  // same event and process, so it normally ends at once.
  static constexpr base::TimeDelta kChildExitGrace =
      base::TimeDelta::FromSeconds(10);

  // How a wait for a child process ended.
  enum class ChildWaitResult {
    // The child ended; its exit code was read.
    kExited,
    // The wait or the exit code failed (logged).
    kFailed,
    // The run was interrupted, or its front end ended, first (logged). The
    // child was given kChildExitGrace to end and may still run.
    kAbandoned,
  };

  Installer();
  Installer(const Installer&) = delete;
  Installer& operator=(const Installer&) = delete;
  // Cancels a running run, then commits what the transaction still holds.
  ~Installer() override;

  void AddObserver(InstallerObserver* observer);
  void RemoveObserver(InstallerObserver* observer);

  // Begins the operation of |settings|, which must outlive the run and
  // have its Status; they are closed for editing. No run may be in
  // progress.
  void Start(Settings* settings);

  // The step machinery.

  // Posts the next step of the list, then tells the observers OnStep.
  void ScheduleNextStep();
  // Posts a task that continues the current step (a copy step's next
  // file). Tasks of a run that has ended are dropped.
  void PostStepContinuation(const base::Location& from_here,
                            base::OnceClosure task);
  // OnStep on every observer.
  void NotifyStep();
  // Logs |message|, reports the error to the observers, then cancels the
  // run. After the run's outcome nothing is reported.
  void NotifyError(int code,
                   const std::wstring& argument,
                   const std::string& message);
  // Rolls the transaction back, finishes the run and tells the observers
  // OnInstallerTerminated(false). Does nothing when no run is in progress.
  void Cancel();
  // Ends the run successfully: the observers hear OnSuccess, then the
  // transaction is committed and the run finished.
  void OnSuccess();

  // Waits for |child| to end, or for the run to be interrupted or its
  // front end to end (then abandoned, after kChildExitGrace). |what| names
  // the child in log lines. On kExited |*exit_code| holds its exit code.
  ChildWaitResult WaitForChildProcess(const base::Process& child,
                                      const std::string& what,
                                      int* exit_code);

  // What the run works on. Valid from Start until the run's outcome.
  Settings* settings() const { return settings_; }
  const Status& status() const;
  const base::FilePath& install_folder() const;
  // The folder of the running installer executable: the unpacked package.
  const base::FilePath& package_folder() const { return package_folder_; }
  // The entries of files_list and root_files_list: UTF-8 paths relative to
  // the package folder, checked to stay below it.
  const std::vector<std::string>& files() const { return files_; }
  const std::vector<std::string>& root_files() const { return root_files_; }
  Transaction* transaction() { return &transaction_; }
  // The log that an install writes as installation_status.xml.
  InstallLog* install_log() { return &install_log_; }
  const std::wstring& uninstall_key_name() const { return uninstall_key_name_; }
  void set_uninstall_key_name(const std::wstring& name) {
    uninstall_key_name_ = name;
  }
  // While set, registry rows record what they write in the install log.
  bool recording_registry() const { return recording_registry_; }
  void set_recording_registry(bool recording) {
    recording_registry_ = recording;
  }
  // The bitness of the installed launcher.exe, when it could be read.
  bool launcher_is_64_bit() const { return launcher_is_64_bit_; }
  bool launcher_bitness_known() const { return launcher_bitness_known_; }
  // The installer process given by `parent-pid`, or the folder-permission
  // process; 0 when none.
  uint32_t second_installer_pid() const { return second_installer_pid_; }
  // Whether the process runs with administrator rights; known once the
  // run decided where to do the work (before any step list).
  bool is_admin() const { return is_admin_; }
  // Whether a folder-permission process gave this run its folder rights
  // and waits for the run to finish.
  bool used_folder_permission_process() const {
    return completion_event_.IsValid();
  }
  bool running() const { return running_; }
  bool succeeded() const { return succeeded_; }

  // TemplateResolver:
  std::wstring Lookup(const std::wstring& name) const override;
  std::vector<InstallLog::RegistryKey>* GetRegistryRecord(HKEY root) override;

  // Makes the next run use |steps| instead of its operation's list, after
  // every check and preparation. Tests only.
  void SetStepListForTesting(std::vector<base::OnceClosure> steps);

 private:
  // What RunElevated and RunElevatedForFolderPermissions end with.
  enum ElevationResult {
    kElevationSucceeded = 0,
    // Elevation is impossible or was refused.
    kElevationRefused = 1,
    kElevatedProcessFailed = 2,
    kElevationSetupFailed = 3,
    // The elevated installer succeeded and this run went on to wait for
    // the package: that path reports the outcome.
    kElevationHandedOver = 4,
    // The run was interrupted, or its front end ended, while waiting.
    kElevationAbandoned = 5,
  };

  // How the write access of Run ended.
  enum class WriteAccess {
    kObtained,
    // An elevated installer did the work, or an error was reported.
    kRunEnded,
  };

  // installer_run.cc: the run's checks, elevation and folder rights.
  void Run();
  bool CheckOperation();
  bool FindPackageFolder();
  bool WatchRunEnd();
  // Decides where the work is done and gets write access to the install
  // folder, which then exists; false when the run ended (an elevated
  // installer did the work, or an error was reported).
  bool PrepareInstallFolder();
  bool CanWriteFromStatus(bool* has_write);
  void SaveLastInstallPath();
  void EndElevatedRun(ElevationResult result);
  WriteAccess ObtainWriteAccess(bool has_write);
  WriteAccess ObtainWriteAccessThroughPermissionProcess();
  // With |notify| the observers hear that the folder exists.
  bool CreateInstallFolder(bool notify);
  void PrepareInstallLog();
  bool ReadFilesLists();
  bool CreateVersionSubfolder();
  bool MoveBrowserExecutableAside();
  void ReadExperimentsOfInstallation();
  void ReadLauncherBitness();
  void StartSteps();
  ElevationResult RunElevated();
  ElevationResult RunElevatedForFolderPermissions(const base::FilePath& folder,
                                                  bool permanent);
  static bool IsUACEnabled();
  // The handles whose signal ends every wait of the run, and why.
  std::vector<HANDLE> GetWayOutHandles() const;
  std::string DescribeWayOut(HANDLE handle) const;

  // installer_wait_for_package.cc: waiting for the package, hand-over.
  void WaitForPackage(bool post_elevation);
  void HandOverToPackageInstaller();

  // base::win::ObjectWatcher::Delegate:
  void OnObjectSignaled(HANDLE object) override;

  void NotifyStartingNewMainProcess();
  void NotifyReturnedToPreviousMainProcess();
  // Restores the folder rights this run took for a while, releases the
  // folder-permission process and forgets the settings.
  void Finish();
  // Runs |task| when it belongs to the run in progress.
  void RunStepTask(int run_id, base::OnceClosure task);
  // Whether a child that was abandoned while it still ran is running now.
  bool AbandonedChildRuns() const;

  scoped_refptr<base::SingleThreadTaskRunner> task_runner_;
  // Goes after the rest of the run's state; destroying it commits what it
  // still holds.
  Transaction transaction_;
  base::ObserverList<InstallerObserver> observers_;
  Settings* settings_ = nullptr;
  base::FilePath package_folder_;
  std::vector<std::string> files_;
  std::vector<std::string> root_files_;
  InstallLog install_log_;
  std::wstring uninstall_key_name_;
  bool running_ = false;
  bool succeeded_ = false;
  bool recording_registry_ = false;
  bool is_admin_ = false;
  bool post_elevation_ = false;
  bool launcher_is_64_bit_ = false;
  bool launcher_bitness_known_ = false;
  uint32_t second_installer_pid_ = 0;
  // Counts the runs, so that tasks of an earlier one are recognised.
  int run_id_ = 0;

  std::vector<base::OnceClosure> steps_;
  size_t cursor_ = 0;
  std::vector<base::OnceClosure> steps_for_testing_;

  // The install folder's security before this run granted itself write
  // access; restored by Finish.
  std::unique_ptr<SavedSecurityInfo> saved_folder_security_;
  // The folder-permission process's undo event; set by Finish.
  base::win::ScopedHandle completion_event_;
  // The front end (`initial-pid`), while it is known.
  base::Process front_end_process_;
  // A child process abandoned while it still ran; the run keeps the folder
  // rights it works under until it has ended.
  base::Process abandoned_child_;
  base::win::ScopedHandle package_ready_event_;
  base::win::ScopedHandle interrupted_event_;
  base::win::ObjectWatcher package_ready_watcher_;
  base::win::ObjectWatcher interrupted_watcher_;
  base::win::ObjectWatcher front_end_watcher_;

  base::WeakPtrFactory<Installer> weak_factory_{this};
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALLER_H_
