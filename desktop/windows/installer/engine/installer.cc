#include "desktop/windows/installer/engine/installer.h"

#include <utility>

#include "base/base_paths.h"
#include "base/bind.h"
#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/strings/string_number_conversions.h"
#include "base/threading/thread_task_runner_handle.h"
#include "desktop/windows/installer/abandoned_run_repair.h"
#include "desktop/windows/installer/engine/folder_access.h"
#include "desktop/windows/installer/engine/package_hand_over.h"
#include "desktop/windows/installer/install_run.h"
#include "desktop/windows/installer/installation.h"
#include "desktop/windows/installer/product/installer_switches.h"
#include "desktop/windows/installer/service/transactions/transaction_journal.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/status.h"
#include "desktop/windows/installer/steps/post_elevation_tasks.h"
#include "desktop/windows/installer/steps/run_preparation.h"
#include "desktop/windows/installer/steps/step_table.h"
#include "desktop/windows/rc_l10n_handler/installer_string_ids.h"

namespace installer {

Installer::Installer() : Installer(base::ThreadTaskRunnerHandle::Get()) {}

Installer::Installer(scoped_refptr<base::SingleThreadTaskRunner> task_runner)
    : task_runner_(std::move(task_runner)) {
  DCHECK(task_runner_->BelongsToCurrentThread());
}

Installer::~Installer() {
  if (running_)
    Cancel();
  // The parts of the run point into it.
  folder_access_.reset();
  hand_over_.reset();
  run_.reset();
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
  DCHECK(!running_) << "A run is in progress";
  DCHECK(!settings->IsStatusPending());
  settings->SetEditable(false);
  succeeded_ = false;
  ++run_id_;

  // A new run starts from nothing of the last one; its parts go first.
  folder_access_.reset();
  hand_over_.reset();
  run_ = std::make_unique<InstallRun>(settings, &transaction_);
  RunEvents* events = this;
  hand_over_ = std::make_unique<PackageHandOver>(run_.get(), events);
  folder_access_ =
      std::make_unique<FolderAccess>(run_.get(), events, hand_over_.get());
  steps_.clear();
  cursor_ = 0;
  call_ = 0;

  task_runner_->PostTask(
      FROM_HERE_WITH_EXPLICIT_FUNCTION("Run"),
      base::BindOnce(&Installer::Run, weak_factory_.GetWeakPtr()));
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

void Installer::SetStepsForTesting(std::vector<InstallStep> steps) {
  steps_for_testing_ = std::move(steps);
}

void Installer::OnInstallFolderCreated() {
  for (InstallerObserver& observer : observers_)
    observer.OnInstallFolderCreated();
}

void Installer::OnChildTakesOver() {
  for (InstallerObserver& observer : observers_)
    observer.OnStartingNewMainProcess(false);
}

void Installer::OnChildReturned() {
  for (InstallerObserver& observer : observers_)
    observer.OnReturnedToPreviousMainProcess();
}

void Installer::OnWaitEnded(StepResult result) {
  EndWith(result);
}

void Installer::Run() {
  running_ = true;
  EndWith(Begin());
}

StepResult Installer::Begin() {
  // Before the first change of the run, which may come from any part.
  transaction_.set_journal(nullptr);
  journal_ = std::make_unique<TransactionJournal>(GetTransactionJournalFolder(),
                                                  run_->install_folder());
  transaction_.set_journal(journal_.get());
  const SettingsOperation operation = run_->settings()->operation();
  if (operation == OPERATION_REGISTERING_PROTOCOL_HANDLER) {
    // Registers an existing installation: none of the checks apply.
    base::FilePath exe_dir;
    base::PathService::Get(base::DIR_EXE, &exe_dir);
    run_->set_package_folder(exe_dir);
    return StartSteps();
  }
  StepResult result = CheckOperation();
  if (!result.is_next())
    return result;
  result = FindPackageFolder();
  if (!result.is_next())
    return result;
  const base::CommandLine& command_line = run_->command_line();
  if (command_line.HasSwitch(switches::kPostElevatedInstallTasks)) {
    LOG(INFO) << "Post elevation installation tasks only";
    RunPostElevationTasks(run_.get());
    return StepResult::Succeeded();
  }
  unsigned front_end_pid = 0;
  if (!base::StringToUint(
          command_line.GetSwitchValueNative(switches::kInitialPid),
          &front_end_pid)) {
    front_end_pid = 0;
  }
  result = run_->interruption()->Start(
      run_->install_folder(), front_end_pid,
      base::BindOnce(&Installer::OnInterrupted, weak_factory_.GetWeakPtr()));
  if (!result.is_next())
    return result;
  result = folder_access_->Prepare();
  if (!result.is_next())
    return result;
  if (command_line.HasSwitch(switches::kWaitForPackage)) {
    LOG(INFO) << "Need to wait for package";
    return hand_over_->WaitForPackage(/*post_elevation=*/false);
  }
  result = PrepareRun(run_.get());
  if (!result.is_next())
    return result;
  return StartSteps();
}

StepResult Installer::CheckOperation() const {
  const Settings& settings = *run_->settings();
  const SettingsOperation operation = settings.operation();
  // An installation whose log cannot be read is still an installation:
  // installing beside it would register the folder twice. Only an
  // uninstall goes on, with what the folder and the registry show of it.
  const std::string& damage = run_->status().install_log_parse_error();
  if (!damage.empty() && operation == OPERATION_UNINSTALLING &&
      run_->status().install_log_recovered()) {
    LOG(WARNING) << "The install log of the installation in "
                 << run_->install_folder() << " cannot be read (" << damage
                 << "); removing what the folder and the registry show of it";
  } else if (!damage.empty() &&
             !base::DirectoryExists(
                 run_->install_folder().AppendASCII(kInstallLogFileName))) {
    return StepResult::Error(IDS_ERROR_BAD_LOCATION,
                             "The install log of the installation in " +
                                 run_->install_folder().AsUTF8Unsafe() +
                                 " cannot be read (" + damage +
                                 "); refusing to change it");
  }
  if (operation != OPERATION_UPGRADING &&
      !run_->status().tavrel_installation() && settings.GetOption(AUTOUPDATE)) {
    return StepResult::Error(IDS_ERROR_INSTALL,
                             "Settings operation invalid for autoupdate");
  }
  if (operation == OPERATION_NONE) {
    return StepResult::Error(IDS_ERROR_BAD_LOCATION,
                             "Settings operation invalid");
  }
  return StepResult::Next();
}

StepResult Installer::FindPackageFolder() {
  base::FilePath folder;
  if (!base::PathService::Get(base::DIR_EXE, &folder))
    return StepResult::Error(IDS_ERROR_INSTALL, "Failed getting our own path");
  run_->set_package_folder(folder);
  return StepResult::Next();
}

StepResult Installer::StartSteps() {
  const SettingsOperation operation = run_->settings()->operation();
  steps_ = steps_for_testing_.empty() ? GetOperationSteps(operation)
                                      : std::move(steps_for_testing_);
  steps_for_testing_.clear();
  if (steps_.empty()) {
    return StepResult::Error(IDS_ERROR_INSTALL,
                             "No installation steps for this operation");
  }
  // Registering a protocol handler shows no progress.
  if (operation != OPERATION_REGISTERING_PROTOCOL_HANDLER) {
    const int total = CountProgressSteps(steps_, *run_);
    for (InstallerObserver& observer : observers_)
      observer.OnTotalSteps(total);
  }
  cursor_ = 0;
  call_ = 0;
  ScheduleNextStep();
  return StepResult::Later();
}

void Installer::ScheduleNextStep() {
  PostStep(FROM_HERE_WITH_EXPLICIT_FUNCTION("ScheduleNextStep"));
}

void Installer::PostStep(const base::Location& from_here) {
  task_runner_->PostTask(
      from_here,
      base::BindOnce(&Installer::RunStep, weak_factory_.GetWeakPtr(), run_id_));
  for (InstallerObserver& observer : observers_)
    observer.OnStep();
}

void Installer::RunStep(int run_id) {
  // A step already posted when the run was cancelled must not touch what
  // the rollback restored.
  if (!running_ || run_id != run_id_) {
    VLOG(1) << "Dropping a step of an installation that has ended";
    return;
  }
  const InstallStep& step = steps_[cursor_];
  // A step runs once per file of a list: only its first call is in an
  // ordinary run's log, and the one that ends the run.
  VLOG(call_ == 0 ? 1 : kPerFileLogLevel)
      << "Step " << step.name() << " (" << call_ << ")";
  const StepResult result = step.Run(run_.get(), call_);
  DCHECK(result.kind() != StepResult::Kind::kLater)
      << step.name() << " must end in its task";
  const size_t calls = step.CountCalls(*run_);
  if (!result.is_next()) {
    LOG(INFO) << "Step " << step.name() << " (" << call_ << " of " << calls
              << ") ends the run";
    EndWith(result);
    return;
  }
  if (!running_ || run_id != run_id_)
    return;
  if (++call_ < calls) {
    // The steps over a list copy one file per call.
    PostStep(FROM_HERE_WITH_EXPLICIT_FUNCTION("CopyFileW"));
    return;
  }
  call_ = 0;
  if (++cursor_ < steps_.size()) {
    ScheduleNextStep();
    return;
  }
  // One more step comes before the outcome.
  for (InstallerObserver& observer : observers_)
    observer.OnStep();
  Succeed();
}

void Installer::EndWith(const StepResult& result) {
  switch (result.kind()) {
    case StepResult::Kind::kNext:
      NOTREACHED() << "Only the steps go on";
      return;
    case StepResult::Kind::kLater:
      return;
    case StepResult::Kind::kSucceeded:
      Succeed();
      return;
    case StepResult::Kind::kError:
      ReportError(result);
      return;
    case StepResult::Kind::kCancelled:
      Cancel();
      return;
  }
}

void Installer::ReportError(const StepResult& error) {
  // Logged here rather than by the steps: a report that sat inside a log
  // stream would vanish with the log level.
  LOG(ERROR) << error.message();
  if (!running_) {
    LOG(ERROR) << "Not reporting an error after the end of the installation";
    return;
  }
  for (InstallerObserver& observer : observers_)
    observer.OnError(error.code(), error.argument(), error.message());
  Cancel();
}

void Installer::Succeed() {
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

void Installer::OnInterrupted(const std::string& why) {
  Cancel();
}

void Installer::Finish() {
  const bool child_runs = run_->interruption()->AbandonedChildRuns();
  if (child_runs) {
    LOG(WARNING) << "Process " << run_->interruption()->abandoned_child_pid()
                 << " still works in the installation folder";
  }
  folder_access_->Release(child_runs);
  hand_over_->Stop();
  running_ = false;
}

}  // namespace installer
