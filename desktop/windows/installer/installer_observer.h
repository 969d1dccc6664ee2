// Told what one run of the Installer does: the install folder made, another
// installer process taking over and giving back, the number of progress
// steps and each step, and the outcome. Every call comes on the Installer's
// thread, synchronously. Each implementer defines all eight, with empty
// bodies for those it does not use.
//
// A run ends with exactly one outcome: OnSuccess, or OnError followed by
// OnInstallerTerminated(false), or OnInstallerTerminated(false) alone when
// the run was cancelled without an error (interrupted, or the Installer
// destroyed while running).

#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALLER_OBSERVER_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALLER_OBSERVER_H_

#include <string>

namespace installer {

class InstallerObserver {
 public:
  virtual ~InstallerObserver() = default;

  // The install folder exists now.
  virtual void OnInstallFolderCreated() = 0;
  // Another installer process takes over the work (an elevated copy, or the
  // package's own installer). |value| is always false from the Installer.
  virtual void OnStartingNewMainProcess(bool value) = 0;
  // That process has ended.
  virtual void OnReturnedToPreviousMainProcess() = 0;
  // How many OnStep calls the run will make.
  virtual void OnTotalSteps(int total_steps) = 0;
  virtual void OnStep() = 0;
  // |code| is the string id of the message to show, |argument| the text for
  // its "$1" (empty when it has none), |message| the English log text.
  virtual void OnError(int code,
                       const std::wstring& argument,
                       const std::string& message) = 0;
  virtual void OnSuccess() = 0;
  // The run was cancelled; |succeeded| is always false from the Installer.
  virtual void OnInstallerTerminated(bool succeeded) = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALLER_OBSERVER_H_
