#include "desktop/windows/installer/installer_outcome.h"

#include "base/logging.h"

namespace installer {

void InstallerOutcome::Reset() {
  success_reported_ = false;
  error_reported_ = false;
  stopped_ = false;
}

void InstallerOutcome::OnResultMessage(InstallerMessageType type) {
  if (type == IPC_MESSAGE_SUCCESS)
    success_reported_ = true;
  else if (type == IPC_MESSAGE_ERROR)
    error_reported_ = true;
}

bool InstallerOutcome::Decide(bool exit_code_read,
                              int exit_code,
                              int repaired_runs) const {
  if (!exit_code_read) {
    LOG(ERROR) << "The installation failed: the exit code of the installer "
                  "backend cannot be read";
    return false;
  }
  if (exit_code != 0) {
    LOG(ERROR) << "The installation failed: the installer backend exited "
                  "with code "
               << exit_code
               << (success_reported_ ? ", after a success message" : "");
    return false;
  }
  if (stopped_) {
    LOG(ERROR) << "The installation failed: it was stopped before the "
                  "installer backend ended";
    return false;
  }
  if (repaired_runs > 0) {
    LOG(ERROR) << "The installation failed: the installer backend exited "
                  "with 0, but "
               << repaired_runs
               << " of its runs had been ended in the middle of their work";
    return false;
  }
  if (error_reported_) {
    LOG(WARNING) << "Ignoring an error message: the installer backend "
                    "exited with 0";
  }
  if (!success_reported_)
    LOG(WARNING) << "The installer backend exited with 0 without a success "
                    "message";
  return true;
}

}  // namespace installer
