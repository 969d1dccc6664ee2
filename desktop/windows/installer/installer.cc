#include "desktop/windows/installer/installer.h"

#include <utility>

#include "base/bind.h"
#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "base/threading/thread_task_runner_handle.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/product/version_info.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/status.h"

namespace installer {

Installer::Installer() : task_runner_(base::ThreadTaskRunnerHandle::Get()) {}

Installer::~Installer() {
  if (running_)
    Cancel();
  package_ready_watcher_.StopWatching();
  interrupted_watcher_.StopWatching();
  front_end_watcher_.StopWatching();
  steps_.clear();
  steps_for_testing_.clear();
  // |transaction_| goes last and commits what it still holds.
}

void Installer::AddObserver(InstallerObserver* observer) {
  observers_.AddObserver(observer);
}

void Installer::RemoveObserver(InstallerObserver* observer) {
  observers_.RemoveObserver(observer);
}

void Installer::Start(Settings* settings) {
  LOG(INFO) << "Beginning installation";
  DCHECK(!running_ && !settings_) << "A run is in progress";
  DCHECK(!settings->IsStatusPending());
  settings_ = settings;
  settings_->SetEditable(false);
  succeeded_ = false;
  ++run_id_;

  // What an earlier run of this installer left.
  package_folder_.clear();
  files_.clear();
  root_files_.clear();
  install_log_ = InstallLog();
  uninstall_key_name_.clear();
  recording_registry_ = false;
  is_admin_ = false;
  post_elevation_ = false;
  launcher_is_64_bit_ = false;
  launcher_bitness_known_ = false;
  second_installer_pid_ = 0;
  steps_.clear();
  cursor_ = 0;
  saved_folder_security_.reset();
  completion_event_.Close();
  abandoned_child_.Close();

  task_runner_->PostTask(
      FROM_HERE_WITH_EXPLICIT_FUNCTION("Run"),
      base::BindOnce(&Installer::Run, weak_factory_.GetWeakPtr()));
}

void Installer::ScheduleNextStep() {
  if (!running_) {
    LOG(ERROR) << "No installation running to schedule a step for";
    return;
  }
  DCHECK_LT(cursor_, steps_.size()) << "The last step must end the run";
  if (cursor_ >= steps_.size())
    return;
  PostStepContinuation(FROM_HERE_WITH_EXPLICIT_FUNCTION("ScheduleNextStep"),
                       std::move(steps_[cursor_]));
  NotifyStep();
  ++cursor_;
}

void Installer::PostStepContinuation(const base::Location& from_here,
                                     base::OnceClosure task) {
  task_runner_->PostTask(from_here, base::BindOnce(&Installer::RunStepTask,
                                                   weak_factory_.GetWeakPtr(),
                                                   run_id_, std::move(task)));
}

void Installer::RunStepTask(int run_id, base::OnceClosure task) {
  // A step already posted when the run was cancelled must not touch what
  // the rollback restored.
  if (!running_ || run_id != run_id_) {
    VLOG(1) << "Dropping a step of an installation that has ended";
    return;
  }
  std::move(task).Run();
}

void Installer::NotifyStep() {
  for (InstallerObserver& observer : observers_)
    observer.OnStep();
}

void Installer::NotifyError(int code,
                            const std::wstring& argument,
                            const std::string& message) {
  // Logged here rather than by callers: a report that sat inside a log
  // stream would vanish with the log level.
  LOG(ERROR) << message;
  if (!running_) {
    LOG(ERROR) << "Not reporting an error after the end of the installation";
    return;
  }
  for (InstallerObserver& observer : observers_)
    observer.OnError(code, argument, message);
  Cancel();
}

void Installer::Cancel() {
  if (!running_)
    return;
  LOG(INFO) << "Installation cancelled";
  transaction_.Rollback();
  Finish();
  for (InstallerObserver& observer : observers_)
    observer.OnInstallerTerminated(false);
}

void Installer::OnSuccess() {
  if (!running_) {
    LOG(ERROR) << "Not reporting success after the end of the installation";
    return;
  }
  LOG(INFO) << "Installation succeeded";
  succeeded_ = true;
  for (InstallerObserver& observer : observers_)
    observer.OnSuccess();
  // The commit deletes what was moved aside, which may need the folder
  // rights that Finish gives back.
  transaction_.Commit();
  Finish();
}

void Installer::Finish() {
  const bool child_runs = AbandonedChildRuns();
  if (child_runs) {
    LOG(WARNING) << "Process " << abandoned_child_.Pid()
                 << " still works in the installation folder; keeping the "
                 << "folder rights it works with";
    saved_folder_security_.reset();
  } else if (saved_folder_security_ &&
             !RestoreSecurity(&saved_folder_security_)) {
    LOG(ERROR) << "Could not restore the security of the installation folder";
  }
  if (completion_event_.IsValid() && !child_runs &&
      !::SetEvent(completion_event_.Get())) {
    PLOG(ERROR) << "Could not release the folder-permission process";
  }
  settings_ = nullptr;
  uninstall_key_name_.clear();
  running_ = false;
}

bool Installer::AbandonedChildRuns() const {
  return abandoned_child_.IsValid() &&
         !abandoned_child_.WaitForExitWithTimeout(base::TimeDelta(), nullptr);
}

void Installer::NotifyStartingNewMainProcess() {
  for (InstallerObserver& observer : observers_)
    observer.OnStartingNewMainProcess(false);
}

void Installer::NotifyReturnedToPreviousMainProcess() {
  for (InstallerObserver& observer : observers_)
    observer.OnReturnedToPreviousMainProcess();
}

const Status& Installer::status() const {
  DCHECK(settings_);
  return settings_->GetStatus();
}

const base::FilePath& Installer::install_folder() const {
  return status().folder();
}

std::wstring Installer::Lookup(const std::wstring& name) const {
  if (name == L"InstallFolder") {
    // Rows append "\" themselves.
    return settings_ ? install_folder().StripTrailingSeparators().value()
                     : std::wstring();
  }
  if (name == L"Version")
    return base::ASCIIToWide(GetProductVersion());
  if (name == L"Executable")
    return base::ASCIIToWide(GetProductExeName());
  if (name == L"Product")
    return base::ASCIIToWide(GetBrandingProductName());
  if (name == L"Company")
    return base::ASCIIToWide(GetCompanyName());
  if (name == L"CompanyRegistryKey")
    return GetProductRegistryKey();
  if (name == L"Stream")
    return base::ASCIIToWide(GetStream());
  if (name == L"Uninstall")
    return uninstall_key_name_;
  if (name == L"HelpURL")
    return base::UTF8ToWide(GetBrandingUrl("help"));
  if (name == L"CompanyURL")
    return base::UTF8ToWide(GetBrandingUrl("homepage"));
  if (name == L"DownloadsURL")
    return base::UTF8ToWide(GetBrandingUrl("download"));
  return name;
}

std::vector<InstallLog::RegistryKey>* Installer::GetRegistryRecord(HKEY root) {
  if (!recording_registry_)
    return nullptr;
  return root == HKEY_LOCAL_MACHINE ? &install_log_.hklm_keys
                                    : &install_log_.hkcu_keys;
}

void Installer::SetStepListForTesting(std::vector<base::OnceClosure> steps) {
  steps_for_testing_ = std::move(steps);
}

}  // namespace installer
