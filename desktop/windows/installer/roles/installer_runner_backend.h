// What a backend process runs: it watches the front-end process that
// started it, waits until the Settings know their Status, connects to the
// front end's mailslot, runs the Installer and sends every InstallerObserver
// event as one installer message, until the installation ends or the front
// end does.
//
//   InstallerRunnerBackend backend;
//   bool succeeded = backend.Run(&settings);  // Runs the loop meanwhile.
//
// The front end is given as "initial-proc-handle" (an inherited handle, 16
// hex digits of its value in memory order) or "initial-pid"; only a run
// that registers the protocol handler may have neither. Everything runs on
// the thread that created the backend, which must have a message loop.

#ifndef DESKTOP_WINDOWS_INSTALLER_ROLES_INSTALLER_RUNNER_BACKEND_H_
#define DESKTOP_WINDOWS_INSTALLER_ROLES_INSTALLER_RUNNER_BACKEND_H_

#include <windows.h>

#include <string>

#include "base/command_line.h"
#include "base/run_loop.h"
#include "base/win/object_watcher.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/engine/installer.h"
#include "desktop/windows/installer/installer_observer.h"
#include "desktop/windows/installer/ipc/ipc_sender.h"
#include "desktop/windows/installer/settings_observer.h"

namespace installer {

class Settings;

class InstallerRunnerBackend : public SettingsObserver,
                               public InstallerObserver,
                               public base::win::ObjectWatcher::Delegate {
 public:
  InstallerRunnerBackend();
  InstallerRunnerBackend(const InstallerRunnerBackend&) = delete;
  InstallerRunnerBackend& operator=(const InstallerRunnerBackend&) = delete;
  // Stops watching, cancels an unfinished installation, then sends what was
  // queued and closes the mailslot.
  ~InstallerRunnerBackend() override;

  // Runs the installation of |settings| to its end, or until the front end
  // ends. Whether the installation succeeded; false also when the backend
  // could not start.
  bool Run(Settings* settings);

  // SettingsObserver:
  void OnOptionChanged() override {}
  void OnLanguageChanged() override {}
  void OnPathChanged() override;

  // InstallerObserver:
  void OnInstallFolderCreated() override;
  void OnStartingNewMainProcess(bool value) override;
  void OnReturnedToPreviousMainProcess() override;
  void OnTotalSteps(int total_steps) override;
  void OnStep() override;
  void OnError(int code,
               const std::wstring& argument,
               const std::string& message) override;
  void OnSuccess() override;
  void OnInstallerTerminated(bool succeeded) override;

  // base::win::ObjectWatcher::Delegate:
  void OnObjectSignaled(HANDLE object) override;

 private:
  // Tells the backend that handed this run over that it succeeded.
  static void ConfirmHandOver(const base::CommandLine& command_line);
  // Finds the front-end process of |command_line| and starts watching it;
  // false (logged) when the command line names none or it cannot be
  // watched.
  bool WatchInitialProcess(const base::CommandLine& command_line);
  void StartInstallation();

  base::RunLoop run_loop_;
  // The front-end process, while watched.
  base::win::ScopedHandle initial_process_;
  base::win::ObjectWatcher process_watcher_;
  IPCSender sender_;
  Installer installer_;
  Settings* settings_ = nullptr;
};

// The handle value that an "initial-proc-handle" switch holds: exactly 16
// hex digits, the 8 bytes of the value in memory order, a positive value.
// False for anything else.
bool DecodeInitialProcessHandle(const std::string& text, HANDLE* handle);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_ROLES_INSTALLER_RUNNER_BACKEND_H_
