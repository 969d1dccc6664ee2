// What one run of the installation engine works on: its Settings and their
// Status, the unpacked package and its file lists, the transaction that
// holds its changes, the install log it writes, the watcher of its
// interruption, the placeholders of the registry rows it writes, and what it
// learned on the way. The engine makes one for every run and hands it to
// each step.
//
//   StepResult StepInstallLauncher(InstallRun* run) {
//     const base::FilePath destination =
//         run->install_folder().AppendASCII(kLauncherExeName);
//     ...
//   }
//
// Used on the engine's thread.

#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALL_RUN_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALL_RUN_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "desktop/windows/installer/install_log.h"
#include "desktop/windows/installer/interruption_watcher.h"
#include "desktop/windows/installer/template_resolver.h"

namespace base {
class CommandLine;
}  // namespace base

namespace installer {

class Settings;
class Status;
class Transaction;

class InstallRun {
 public:
  // |settings| must have their Status and outlive the run; |transaction|
  // must outlive the run.
  InstallRun(Settings* settings, Transaction* transaction);
  InstallRun(const InstallRun&) = delete;
  InstallRun& operator=(const InstallRun&) = delete;
  ~InstallRun();

  Settings* settings() const { return settings_; }
  const Status& status() const;
  const base::FilePath& install_folder() const;
  // The process's command line.
  const base::CommandLine& command_line() const;
  Transaction* transaction() const { return transaction_; }
  InterruptionWatcher* interruption() { return &interruption_; }
  // The resolver of the rows the run writes; it records them in the install
  // log while its record is set.
  RowTemplates* templates() { return &templates_; }

  // The folder of the running installer executable: the unpacked package.
  const base::FilePath& package_folder() const { return package_folder_; }
  void set_package_folder(const base::FilePath& folder) {
    package_folder_ = folder;
  }
  // The entries of files_list and root_files_list: UTF-8 paths relative to
  // the package folder, checked to stay below it.
  const std::vector<std::string>& files() const { return files_; }
  const std::vector<std::string>& root_files() const { return root_files_; }
  void set_files(std::vector<std::string> files, std::vector<std::string> root);

  // The log that an install writes as installation_status.xml.
  InstallLog* install_log() { return &install_log_; }
  // The bitness of the installed launcher.exe, when it could be read.
  bool launcher_is_64_bit() const { return launcher_is_64_bit_; }
  bool launcher_bitness_known() const { return launcher_bitness_known_; }
  void set_launcher_bitness(bool known, bool is_64_bit) {
    launcher_bitness_known_ = known;
    launcher_is_64_bit_ = is_64_bit;
  }
  // The installer process given by `parent-pid`, or the folder-permission
  // process; 0 when none.
  uint32_t second_installer_pid() const { return second_installer_pid_; }
  void set_second_installer_pid(uint32_t pid) { second_installer_pid_ = pid; }
  // Whether the process runs with administrator rights; known once the run
  // decided where the work is done (before any step).
  bool is_admin() const { return is_admin_; }
  void set_is_admin(bool is_admin) { is_admin_ = is_admin; }
  // Whether a folder-permission process gave this run its folder rights
  // and waits for the run to finish.
  bool used_folder_permission_process() const {
    return used_folder_permission_process_;
  }
  void set_used_folder_permission_process(bool used) {
    used_folder_permission_process_ = used;
  }

  // Waits for |child| to end, or for the run to be interrupted (see
  // InterruptionWatcher::WaitForChildProcess).
  ChildWaitResult WaitForChildProcess(const base::Process& child,
                                      const std::string& what,
                                      int* exit_code);

 private:
  Settings* const settings_;
  Transaction* const transaction_;
  InterruptionWatcher interruption_;
  base::FilePath package_folder_;
  std::vector<std::string> files_;
  std::vector<std::string> root_files_;
  InstallLog install_log_;
  RowTemplates templates_;
  bool launcher_is_64_bit_ = false;
  bool launcher_bitness_known_ = false;
  uint32_t second_installer_pid_ = 0;
  bool is_admin_ = false;
  bool used_folder_permission_process_ = false;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALL_RUN_H_
