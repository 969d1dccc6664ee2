#include "desktop/windows/installer/install_run.h"

#include <utility>

#include "base/logging.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/status.h"

namespace installer {

InstallRun::InstallRun(Settings* settings, Transaction* transaction)
    : settings_(settings),
      transaction_(transaction),
      templates_(settings->GetStatus().folder()) {
  DCHECK(settings_);
  DCHECK(transaction_);
}

InstallRun::~InstallRun() = default;

const Status& InstallRun::status() const {
  return settings_->GetStatus();
}

const base::FilePath& InstallRun::install_folder() const {
  return status().folder();
}

const base::CommandLine& InstallRun::command_line() const {
  return settings_->command_line();
}

void InstallRun::set_files(std::vector<std::string> files,
                           std::vector<std::string> root) {
  files_ = std::move(files);
  root_files_ = std::move(root);
}

ChildWaitResult InstallRun::WaitForChildProcess(const base::Process& child,
                                                const std::string& what,
                                                int* exit_code) {
  return interruption_.WaitForChildProcess(child, what, exit_code);
}

}  // namespace installer
