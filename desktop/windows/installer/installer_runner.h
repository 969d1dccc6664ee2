// The front end's handle on one installation that a backend process
// performs. It takes the installer mutex of the install folder, owns the
// mailslot through which every backend of the installation reports, creates
// the events through which the front end still reaches the backend (the
// package is ready; the installation is interrupted), launches the backend
// with the Settings as switches and watches it. Each mailslot message is
// replayed to the observers as its InstallerObserver call, and the end of
// the backend process as OnInstallerTerminated, whose verdict is the one
// both front ends go by (InstallerOutcome): the backend's exit code, never
// a message. Once the backend has ended, what its runs left half-done is
// repaired (RepairAbandonedRuns) on a worker thread, the folder still held,
// and only then is its end told.
//
//   InstallerRunner runner(package_folder, base::FilePath());
//   runner.AddObserver(this);
//   if (!runner.BeginInstallation(&settings))  // OnError came already.
//     ...
//   runner.OnPackageReady();  // Once the package is unpacked.
//   ...
//   runner.Stop();  // Interrupts a backend that still runs.
//
// Everything runs on the thread that created the runner, which must run a
// message loop.

#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALLER_RUNNER_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALLER_RUNNER_H_

#include <windows.h>

#include <string>

#include "base/callback.h"
#include "base/command_line.h"
#include "base/files/file_path.h"
#include "base/memory/weak_ptr.h"
#include "base/observer_list.h"
#include "base/pickle.h"
#include "base/process/process.h"
#include "base/win/object_watcher.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/installer_observer.h"
#include "desktop/windows/installer/installer_outcome.h"
#include "desktop/windows/installer/ipc/ipc_receiver.h"

namespace installer {

class Settings;
struct InstallerObjectNames;

class InstallerRunner : public base::win::ObjectWatcher::Delegate,
                        public IPCReceiver::Delegate {
 public:
  // |package_folder| holds, or will hold, the unpacked package;
  // |components_path| is the downloaded components archive, empty when no
  // component is to be installed.
  InstallerRunner(const base::FilePath& package_folder,
                  const base::FilePath& components_path);
  InstallerRunner(const InstallerRunner&) = delete;
  InstallerRunner& operator=(const InstallerRunner&) = delete;
  // Stops; the backend's end is no longer reported.
  ~InstallerRunner() override;

  // |handle| as the backend's "initial-proc-handle" switch takes it: the 8
  // bytes of its value in memory order, as upper-case hex digits.
  static std::string EncodeHandleValue(HANDLE handle);

  void AddObserver(InstallerObserver* observer);
  void RemoveObserver(InstallerObserver* observer);

  // Launches the backend for |settings|, whose Status must be in, and
  // closes them for editing. True when the backend runs and is watched.
  // Every false return has told the observers OnError; what was obtained
  // before the failure (mutex, mailslot) is kept until Stop.
  bool BeginInstallation(Settings* settings);

  // The package is complete in the package folder: a backend that waits
  // for it is released, and a backend launched later uses it directly.
  void OnPackageReady();

  // Interrupts a running backend, lets go of the mutex (released when no
  // backend runs; a running backend's end is still reported, and an ended
  // one's repair keeps it until done), the events and the mailslot, and
  // forgets the settings. Callable at any time; a new BeginInstallation may
  // follow once the backend's end was told. The end of a backend that was
  // running is no success.
  void Stop();

  bool backend_running() const { return backend_running_; }

  // Runs |hook| on the repair's thread before the repair after the next
  // backend's end.
  void SetRepairHookForTesting(base::OnceClosure hook) {
    repair_hook_ = std::move(hook);
  }

  // Makes the duplication of this process's handle for the backend fail,
  // as when the process has run out of handles.
  static void SetOwnHandleDuplicationFailsForTesting(bool fails);

 private:
  // Tells the observers OnError(|code|, "", |detail|), logs |detail| and
  // returns false.
  bool Fail(int code, const std::string& detail);
  // Creates the mutex |name| (logged after |log_label|) into |*mutex| and
  // takes it without waiting; false after Fail.
  bool AcquireMutex(const std::wstring& name,
                    const char* log_label,
                    base::win::ScopedHandle* mutex);
  // Lets go of the package-ready and interruption events.
  void CloseEvents();
  // Lets go of the folder's mutexes: released unless a backend still runs,
  // which keeps them owned until this process ends.
  void LetGoOfFolder();
  // Creates the manual-reset event |name|, unsignalled.
  base::win::ScopedHandle CreateFrontEndEvent(const std::wstring& name,
                                              const char* log_label);
  // Creates the events and finishes |command_line| with the program and
  // the switches that depend on the package; false after Fail.
  bool PrepareBackend(const InstallerObjectNames& names,
                      base::CommandLine* command_line);
  bool LaunchBackend(base::CommandLine command_line);
  // Under the launch lock: duplicates this process's handle for the
  // backend, names it in |*command_line| and launches. The error to report
  // when no process was launched; observers are told after the lock is
  // released, since one may start a process itself.
  const char* LaunchUnderLock(base::CommandLine* command_line);

  // base::win::ObjectWatcher::Delegate:
  void OnObjectSignaled(HANDLE object) override;
  // Repairs the folder on a worker thread, then NotifyTerminated.
  void RepairThenNotify(bool exit_code_read, int exit_code);
  void NotifyTerminated(bool exit_code_read, int exit_code, int repaired_runs);
  // IPCReceiver::Delegate:
  void OnMessageReceived(const base::Pickle& message) override;

  IPCReceiver receiver_{this};
  const base::FilePath components_path_;
  const base::FilePath package_folder_;
  base::Process backend_process_;
  base::win::ScopedHandle mutex_;
  base::win::ScopedHandle folder_lock_;
  base::win::ObjectWatcher process_watcher_;
  base::win::ScopedHandle package_ready_event_;
  base::win::ScopedHandle interrupted_event_;
  // The settings of the installation begun; null while none is.
  Settings* settings_ = nullptr;
  bool package_ready_ = false;
  bool backend_running_ = false;
  // The ended backend's folder is being repaired; its end is not told yet.
  bool repairing_ = false;
  base::OnceClosure repair_hook_;
  // What the backends of the installation reported since the launch.
  InstallerOutcome outcome_;
  // The folder of the installation begun, whose journals are replayed when
  // its backend has ended.
  base::FilePath install_folder_;
  base::ObserverList<InstallerObserver> observers_;

  base::WeakPtrFactory<InstallerRunner> weak_factory_{this};
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALLER_RUNNER_H_
