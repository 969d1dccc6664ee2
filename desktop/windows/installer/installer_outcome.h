// The outcome of one installation as a front end learns it, once the backend
// process it launched has ended. Both front ends take their verdict from
// here, through InstallerRunner.
//
// The verdict is the launched backend's exit code: 0 is a success. Any local
// program can write to the front end's mailslot, so the result messages
// only inform (the error to show, what the log says); neither a success nor
// an error message decides. Two things a message cannot fake still turn an
// exit code 0 into a failure: the front end stopped the installation, or a
// process of it was ended from outside in the middle of its transaction,
// which its journal left behind tells (under Wine a process killed by a
// signal exits with 0).
//
//   InstallerOutcome outcome;
//   outcome.OnResultMessage(IPC_MESSAGE_SUCCESS);
//   ...
//   bool succeeded = outcome.Decide(/*exit_code_read=*/true, exit_code,
//                                   /*repaired_runs=*/0);

#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALLER_OUTCOME_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALLER_OUTCOME_H_

#include "desktop/windows/installer/ipc/installer_message.h"

namespace installer {

class InstallerOutcome {
 public:
  InstallerOutcome() = default;
  InstallerOutcome(const InstallerOutcome&) = delete;
  InstallerOutcome& operator=(const InstallerOutcome&) = delete;

  // A new backend was launched: nothing of an earlier one counts.
  void Reset();

  // Notes a decoded message of |type|, for the log only.
  void OnResultMessage(InstallerMessageType type);

  // The front end interrupted the backend: whatever it did afterwards is no
  // success of this installation.
  void OnStopped() { stopped_ = true; }

  // The verdict once the launched backend has ended, with its exit code
  // when it could be read, and the number of runs of the installation
  // whose journals were replayed after it ended. Logs why a run failed.
  bool Decide(bool exit_code_read, int exit_code, int repaired_runs) const;

 private:
  bool success_reported_ = false;
  bool error_reported_ = false;
  bool stopped_ = false;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALLER_OUTCOME_H_
