#include "desktop/windows/installer/installer_outcome.h"

#include "base/logging.h"

namespace installer {

void InstallerOutcome::Reset() {
  success_reported_ = false;
  error_reported_ = false;
}

void InstallerOutcome::OnResultMessage(InstallerMessageType type) {
  if (type == IPC_MESSAGE_SUCCESS)
    success_reported_ = true;
  else if (type == IPC_MESSAGE_ERROR)
    error_reported_ = true;
}

bool InstallerOutcome::Decide(bool exit_code_read, int exit_code) const {
  if (!exit_code_read) {
    LOG(ERROR) << "The installation failed: the exit code of the installer "
                  "backend cannot be read";
    return false;
  }
  if (exit_code != 0) {
    LOG(ERROR) << "The installation failed: the installer backend exited "
                  "with code "
               << exit_code;
    return false;
  }
  if (error_reported_) {
    LOG(ERROR) << "The installation failed: an installer process reported "
                  "an error, although the installer backend exited with 0";
    return false;
  }
  if (!success_reported_) {
    LOG(ERROR) << "The installation failed: the installer backend exited "
                  "with 0 without reporting success; it was ended before "
                  "it finished";
    return false;
  }
  return true;
}

}  // namespace installer
