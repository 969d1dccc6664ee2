// The Task Scheduler 2.0 service (ITaskService and its root folder) as
// TaskSchedulerV2 uses it, in the service's own terms: what a task
// definition holds, how it is registered, and what can be asked of or done
// to a registered task. TaskSchedulerV2 decides every value; implementations
// only carry it to the service and back, so that tests can replace the
// service where the platform under test (Wine) keeps no triggers or actions
// and runs nothing.
//
// Results are the service's HRESULTs. All names are full task names in the
// root folder.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TASK_SERVICE_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TASK_SERVICE_H_

#include <windows.h>

#include <oleauto.h>
#include <taskschd.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace installer {

// One trigger. Texts left empty are not set.
struct TaskTrigger {
  TaskTrigger();
  TaskTrigger(const TaskTrigger&);
  TaskTrigger& operator=(const TaskTrigger&);
  ~TaskTrigger();

  TASK_TRIGGER_TYPE2 type = TASK_TRIGGER_TIME;
  std::wstring id;
  std::wstring start_boundary;
  std::wstring end_boundary;
  // Boot and logon triggers.
  std::wstring delay;
  // Logon triggers.
  std::wstring user_id;
  // Daily triggers.
  short days_interval = 0;
};

// One action; only exec actions carry a path and arguments.
struct TaskAction {
  TaskAction();
  TaskAction(const TaskAction&);
  TaskAction& operator=(const TaskAction&);
  ~TaskAction();

  TASK_ACTION_TYPE type = TASK_ACTION_EXEC;
  std::wstring path;
  std::wstring arguments;
};

// What a new task definition gets before registration.
struct TaskDefinition {
  TaskDefinition();
  TaskDefinition(const TaskDefinition&);
  TaskDefinition& operator=(const TaskDefinition&);
  ~TaskDefinition();

  // Registration info.
  std::wstring author;
  std::wstring description;

  // Settings.
  std::wstring execution_time_limit;
  TASK_INSTANCES_POLICY multiple_instances = TASK_INSTANCES_IGNORE_NEW;
  bool run_only_if_network_available = false;
  bool stop_if_going_on_batteries = true;
  bool disallow_start_if_on_batteries = true;
  bool start_when_available = false;
  // Empty: the task is kept after its last run.
  std::wstring delete_expired_task_after;

  std::vector<TaskTrigger> triggers;
  std::vector<TaskAction> actions;

  // The principal's run level; none leaves the service's default.
  std::optional<TASK_RUNLEVEL_TYPE> run_level;
};

// The account a task is registered for.
struct TaskLogon {
  // Empty: no user given.
  std::wstring user;
  TASK_LOGON_TYPE logon_type = TASK_LOGON_NONE;
};

// A registered task of the root folder.
class RegisteredTask {
 public:
  RegisteredTask(const RegisteredTask&) = delete;
  RegisteredTask& operator=(const RegisteredTask&) = delete;
  virtual ~RegisteredTask();

  virtual HRESULT GetName(std::wstring* name) = 0;
  virtual HRESULT GetEnabled(bool* enabled) = 0;
  virtual HRESULT SetEnabled(bool enabled) = 0;
  virtual HRESULT GetState(TASK_STATE* state) = 0;
  // SCHED_S_TASK_HAS_NOT_RUN (a success code) when the task has not run.
  virtual HRESULT GetLastRunTime(DATE* time) = 0;
  // Runs the task without parameters when |arguments| is empty, otherwise
  // with them as an array of strings.
  virtual HRESULT Run(const std::vector<std::wstring>& arguments) = 0;
  virtual HRESULT SetSecurityDescriptor(const std::wstring& sddl) = 0;
  // The definition's actions in order; texts exactly as stored.
  virtual HRESULT GetActions(std::vector<TaskAction>* actions) = 0;
  // The definition's triggers in order, with their type, id and, for daily
  // triggers, the interval.
  virtual HRESULT GetTriggers(std::vector<TaskTrigger>* triggers) = 0;
  // Sets the interval of the daily trigger at |index| (from 0) of the
  // definition and registers the definition again as an update, without
  // user, password or security descriptor.
  virtual HRESULT UpdateDailyInterval(size_t index, short days) = 0;

 protected:
  RegisteredTask() = default;
};

class TaskService {
 public:
  TaskService(const TaskService&) = delete;
  TaskService& operator=(const TaskService&) = delete;
  virtual ~TaskService();

  // Connects to the local service as the current user and opens the root
  // folder "\". Every other call needs a successful Connect.
  virtual HRESULT Connect() = 0;
  // Builds a new definition from |definition| and registers it as |name|
  // with |flags| (TASK_CREATION), no password and no security descriptor.
  // The failure of any step fails the whole; nothing is registered then.
  virtual HRESULT RegisterTask(const std::wstring& name,
                               const TaskDefinition& definition,
                               const TaskLogon& logon,
                               int flags,
                               std::unique_ptr<RegisteredTask>* task) = 0;
  // A missing task gives HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND).
  virtual HRESULT GetTask(const std::wstring& name,
                          std::unique_ptr<RegisteredTask>* task) = 0;
  // The tasks of the root folder, hidden ones left out.
  virtual HRESULT GetTasks(
      std::vector<std::unique_ptr<RegisteredTask>>* tasks) = 0;
  virtual HRESULT DeleteTask(const std::wstring& name) = 0;

 protected:
  TaskService() = default;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TASK_SERVICE_H_
