// The outcome of one installation as a front end learns it: the result
// messages that the backend processes of the installation sent over the
// mailslot, and the exit of the backend the front end launched. Both front
// ends take their verdict from here, through InstallerRunner.
//
// A success needs all three: a success message, no error message, and the
// launched backend's exit code 0. The exit code alone proves nothing: a
// backend ended from outside before it finished reports no success (under
// Wine a process killed by a signal exits with 0; TerminateProcess gives the
// code it is told). An error message means a step failed and the run was
// rolled back, whatever any process's exit code says afterwards.
//
//   InstallerOutcome outcome;
//   outcome.OnResultMessage(IPC_MESSAGE_SUCCESS);
//   ...
//   bool succeeded = outcome.Decide(/*exit_code_read=*/true, exit_code);

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

  // Notes a decoded message of |type|; only success and error count.
  void OnResultMessage(InstallerMessageType type);

  // The verdict once the launched backend has ended, with its exit code
  // when it could be read. Logs why a run failed.
  bool Decide(bool exit_code_read, int exit_code) const;

  bool success_reported() const { return success_reported_; }
  bool error_reported() const { return error_reported_; }

 private:
  bool success_reported_ = false;
  bool error_reported_ = false;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALLER_OUTCOME_H_
