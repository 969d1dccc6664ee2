// The installer's access to the Windows Task Scheduler: the browser keeps
// itself up to date through a task that starts the launcher. The installer
// registers that task, deletes it on uninstall and sweeps away tasks of the
// product whose program is gone; the other queries and changes are for the
// browser.
//
// Names handed to a TaskScheduler are short names ("Autoupdate <app id>");
// the Task Scheduler holds the task under GetScheduledTaskName(short name).
// COM must be initialised on the calling thread, and Init must have
// succeeded before any other call.
//
//   std::unique_ptr<TaskScheduler> scheduler = CreateTaskScheduler();
//   if (scheduler && scheduler->Init()) {
//     scheduler->DeleteOrphanedTasks();
//     scheduler->CreateTask(task_info);
//   }

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TASK_SCHEDULER_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TASK_SCHEDULER_H_

#include <windows.h>

#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include "base/callback.h"
#include "base/command_line.h"
#include "base/time/time.h"
#include "base/win/windows_version.h"

namespace installer {

// A task to register, filled by the caller.
struct TaskInfo {
  enum TriggerKind : int32_t {
    // Runs right after registration, which starts it; its definition is
    // deleted at once.
    kRunOnce = 0,
    kDaily = 1,
    // No time trigger: the task runs when started (and at start-up, with
    // |start_up_trigger|).
    kNoTimeTrigger = 2,
  };

  TaskInfo();
  TaskInfo(const TaskInfo&);
  TaskInfo& operator=(const TaskInfo&);
  ~TaskInfo();

  // The program is the task's executable; the switches and arguments,
  // quoted as base::CommandLine writes them, are its argument text.
  base::CommandLine command_line{base::CommandLine::NO_PROGRAM};
  // The short name.
  std::wstring name;
  std::wstring description;
  // Runs as the local system account instead of the current user.
  bool run_as_system = false;
  // The execution time limit; 0 means none.
  uint32_t time_limit_seconds = 0;
  TriggerKind trigger_kind = kDaily;
  // For kDaily and kNoTimeTrigger: also run when the user logs on (current
  // user) or when the system starts (system account).
  bool start_up_trigger = false;
  // Runs only while a network connection is available.
  bool network_required = false;
};

class TaskScheduler {
 public:
  // What GetTaskState answers; the values are stored by the browser.
  enum TaskState {
    kTaskMissing = 0,
    kTaskDisabled = 1,
    // Any other state, or the state could not be read.
    kTaskOther = 2,
    kTaskReady = 3,
    kTaskRunning = 4,
    // Task Scheduler 1.0 only: no further runs are due.
    kTaskNoMoreRuns = 5,
  };

  TaskScheduler(const TaskScheduler&) = delete;
  TaskScheduler& operator=(const TaskScheduler&) = delete;
  virtual ~TaskScheduler();

  // Connects to the Task Scheduler service; false (logged) when it cannot.
  virtual bool Init() = 0;
  // Registers |info|, replacing a task of the same name. False (logged)
  // when the task could not be registered.
  virtual bool CreateTask(const TaskInfo& info) = 0;
  // Deletes the enabled tasks of this product whose program no longer
  // exists. Failures are ignored.
  virtual void DeleteOrphanedTasks() = 0;
  // Failures, a missing task among them, are ignored.
  virtual void DeleteTask(const std::wstring& name) = 0;
  // Makes the task's daily trigger fire every |days| days (1 to 365).
  // Failures are ignored.
  virtual void SetDailyInterval(const std::wstring& name, int days) = 0;
  // Failures are ignored.
  virtual void SetEnabled(const std::wstring& name, bool enabled) = 0;
  // Starts the task now; |arguments| replace "$(Arg0)", "$(Arg1)" ... in
  // its argument text. False when it could not be started.
  virtual bool Run(const std::wstring& name,
                   const std::vector<std::wstring>& arguments) = 0;
  virtual TaskState GetTaskState(const std::wstring& name) = 0;
  // A null time when the task is missing, has not run or the time cannot
  // be read.
  virtual base::Time GetLastRunTime(const std::wstring& name) = 0;

 protected:
  TaskScheduler() = default;
};

// The scheduler for this Windows: Task Scheduler 2.0 from Windows Vista on,
// Task Scheduler 1.0 before. Tests replace the result with
// ScopedTaskSchedulerFactoryForTesting.
std::unique_ptr<TaskScheduler> CreateTaskScheduler();
// CreateTaskScheduler as it decides for |version|, without the override.
std::unique_ptr<TaskScheduler> CreateTaskSchedulerForVersion(
    base::win::Version version);

// The product name, " scheduled " and |short_name|: the name under which
// the Task Scheduler holds a task of this product.
std::wstring GetScheduledTaskName(const std::wstring& short_name);

// What both schedulers decide alike.

// Whether the Task Scheduler holds the task |name| for this product: the
// name is GetScheduledTaskName of some short name, ASCII letters compared
// in any case.
bool IsProductTaskName(const std::wstring& name);
// Whether nothing is left at |path|, a task's program as the service stores
// it (cut at its first NUL, environment variables expanded). A path whose
// volume is not there (a removable or network drive) or that cannot be
// looked at does not count: the program may come back with it.
bool IsTaskProgramGone(const std::wstring& path);
// The local wall-clock time |fields|, as the services report a task's last
// run; null when the fields are no valid time (a task that has not run).
base::Time TimeFromLocalFields(const SYSTEMTIME& fields);
// Whether |hr| is the services' answer for a task that does not exist.
bool IsTaskNotFound(HRESULT hr);
// Whether a daily trigger may fire every |days| days (1 to 365); another
// interval is logged as an error.
bool IsValidDailyInterval(int days);
// The account that registers tasks, as the services take it
// ("DOMAIN\user"); false, logged, when it cannot be read.
bool GetTaskAccount(std::wstring* account);
// One call of building or changing a task on either service: a failing
// |hr| is logged as the failure of |what|. True when |hr| succeeded;
// |*result| receives |hr| either way.
bool TaskStep(HRESULT hr, const char* what, HRESULT* result);

// Makes CreateTaskScheduler return what |factory| makes while the object
// lives, so that the engine's tests can hand in a fake. Not nestable; set
// before the code under test runs.
class ScopedTaskSchedulerFactoryForTesting {
 public:
  using Factory = base::RepeatingCallback<std::unique_ptr<TaskScheduler>()>;

  explicit ScopedTaskSchedulerFactoryForTesting(Factory factory);
  ScopedTaskSchedulerFactoryForTesting(
      const ScopedTaskSchedulerFactoryForTesting&) = delete;
  ScopedTaskSchedulerFactoryForTesting& operator=(
      const ScopedTaskSchedulerFactoryForTesting&) = delete;
  ~ScopedTaskSchedulerFactoryForTesting();

 private:
  Factory factory_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TASK_SCHEDULER_H_
