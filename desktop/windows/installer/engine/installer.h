// The installation engine of a backend process: performs the one operation
// of the Settings it is given (install, upgrade, uninstall, or registering
// an existing installation as protocol handler). After the run's checks,
// FolderAccess decides where the work is done and gets write access to the
// install folder; a run with `wait-for-package` is then handed over by
// PackageHandOver to the package's own installer once the package is ready;
// any other run goes through the steps of its operation, one posted task
// per step call. Every change goes through the engine's Transaction: rolled
// back when the run fails or is cancelled, committed when it succeeds.
// Progress and the outcome go to the InstallerObservers.
//
//   Installer installer;                 // On a thread with a MessageLoop.
//   installer.AddObserver(&backend);
//   installer.Start(&settings);          // Posts the run.
//   run_loop.Run();                      // Until an outcome arrives.
//
// A run ends in exactly one outcome (see InstallerObserver). The steps and
// the parts of a run return StepResults; only the engine schedules the
// next step and reports. Destroying a running Installer cancels the run.
//
// Everything runs on the creating thread, which must have COM initialised
// (single-threaded apartment).

#ifndef DESKTOP_WINDOWS_INSTALLER_ENGINE_INSTALLER_H_
#define DESKTOP_WINDOWS_INSTALLER_ENGINE_INSTALLER_H_

#include <stddef.h>

#include <memory>
#include <string>
#include <vector>

#include "base/location.h"
#include "base/memory/scoped_refptr.h"
#include "base/memory/weak_ptr.h"
#include "base/observer_list.h"
#include "base/single_thread_task_runner.h"
#include "desktop/windows/installer/engine/run_events.h"
#include "desktop/windows/installer/installer_observer.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/step_result.h"
#include "desktop/windows/installer/steps/install_step.h"

namespace installer {

class FolderAccess;
class InstallRun;
class PackageHandOver;
class Settings;
class TransactionJournal;

class Installer : private RunEvents {
 public:
  Installer();
  // Posts the run's tasks to |task_runner|, which runs them on the creating
  // thread.
  explicit Installer(scoped_refptr<base::SingleThreadTaskRunner> task_runner);
  Installer(const Installer&) = delete;
  Installer& operator=(const Installer&) = delete;
  // Cancels a running run, then commits what the transaction still holds.
  ~Installer() override;

  void AddObserver(InstallerObserver* observer);
  void RemoveObserver(InstallerObserver* observer);

  // Begins the operation of |settings|, which must outlive the run and
  // have its Status; they are closed for editing. No run may be in
  // progress.
  void Start(Settings* settings);

  // Rolls the transaction back, finishes the run and tells the observers
  // OnInstallerTerminated(false). Does nothing when no run is in progress.
  void Cancel();

  bool running() const { return running_; }
  bool succeeded() const { return succeeded_; }

  // Makes the next run go through |steps| instead of its operation's, after
  // every check and preparation. Tests only.
  void SetStepsForTesting(std::vector<InstallStep> steps);

 private:
  // RunEvents:
  void OnInstallFolderCreated() override;
  void OnChildTakesOver() override;
  void OnChildReturned() override;
  void OnWaitEnded(StepResult result) override;

  void Run();
  // The checks and preparations of a run, up to its steps.
  StepResult Begin();
  StepResult CheckOperation() const;
  StepResult FindPackageFolder();
  StepResult StartSteps();
  // Posts the first call of the step under the cursor, then tells the
  // observers OnStep.
  void ScheduleNextStep();
  // Posts the current call of the current step, then tells the observers
  // OnStep; |from_here| names what the call does.
  void PostStep(const base::Location& from_here);
  void RunStep(int run_id);
  // Reports a result that ends the run; the next step's result goes on.
  void EndWith(const StepResult& result);
  void ReportError(const StepResult& error);
  void Succeed();
  void OnInterrupted(const std::string& why);
  // Gives back the folder rights this run took for a while, releases the
  // folder-permission process, stops the run's waits.
  void Finish();

  scoped_refptr<base::SingleThreadTaskRunner> task_runner_;
  // Where the transaction keeps its undo for the next run should this
  // process be killed; outlives the transaction.
  std::unique_ptr<TransactionJournal> journal_;
  // Goes after the rest of the run's state; destroying it commits what it
  // still holds.
  Transaction transaction_;
  base::ObserverList<InstallerObserver> observers_;

  // The current or last run, and its parts.
  std::unique_ptr<InstallRun> run_;
  std::unique_ptr<PackageHandOver> hand_over_;
  std::unique_ptr<FolderAccess> folder_access_;
  bool running_ = false;
  bool succeeded_ = false;
  // Counts the runs, so that tasks of an earlier one are recognised.
  int run_id_ = 0;

  std::vector<InstallStep> steps_;
  // The step being run, and its call.
  size_t cursor_ = 0;
  size_t call_ = 0;
  std::vector<InstallStep> steps_for_testing_;

  base::WeakPtrFactory<Installer> weak_factory_{this};
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_ENGINE_INSTALLER_H_
