#include "desktop/windows/installer/service/task_scheduler_v2.h"

#include <windows.h>

#include <utility>

#include "base/logging.h"
#include "base/strings/stringprintf.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/service/com_util.h"
#include "desktop/windows/installer/service/utils.h"

namespace installer {

namespace {

// A run-once task expires this long after registration; its registration
// trigger has started it by then.
constexpr base::TimeDelta kRunOnceLifetime = base::TimeDelta::FromSeconds(30);
// "PT0S": no limit where a duration limits, at once where it delays.
constexpr wchar_t kZeroDuration[] = L"PT0S";
// The principal of system tasks.
constexpr wchar_t kSystemUser[] = L"SYSTEM";

// The time trigger of |info|'s kind; none for kNoTimeTrigger.
void AddTimeTrigger(const TaskInfo& info,
                    const std::wstring& boundary,
                    std::vector<TaskTrigger>* triggers) {
  TaskTrigger trigger;
  switch (info.trigger_kind) {
    case TaskInfo::kRunOnce:
      trigger.type = TASK_TRIGGER_REGISTRATION;
      trigger.id = TaskSchedulerV2::kRunOnceTriggerId;
      trigger.end_boundary = boundary;
      break;
    case TaskInfo::kDaily:
      trigger.type = TASK_TRIGGER_DAILY;
      trigger.id = TaskSchedulerV2::kDailyTriggerId;
      trigger.start_boundary = boundary;
      trigger.days_interval = 1;
      break;
    case TaskInfo::kNoTimeTrigger:
      return;
  }
  triggers->push_back(std::move(trigger));
}

// At system start for a system task, at the user's logon otherwise; late
// enough that the start of the session is not slowed down.
void AddStartUpTrigger(const TaskInfo& info,
                       const std::wstring& account,
                       const std::wstring& boundary,
                       std::vector<TaskTrigger>* triggers) {
  if (!info.start_up_trigger || info.trigger_kind == TaskInfo::kRunOnce)
    return;
  TaskTrigger trigger;
  trigger.type = info.run_as_system ? TASK_TRIGGER_BOOT : TASK_TRIGGER_LOGON;
  trigger.id = TaskSchedulerV2::kStartUpTriggerId;
  trigger.start_boundary = boundary;
  if (!info.run_as_system)
    trigger.user_id = account;
  trigger.delay =
      base::StringPrintf(L"PT%dM", GetScheduledAutoupdateDelayMin());
  triggers->push_back(std::move(trigger));
}

TaskDefinition BuildDefinition(const TaskInfo& info,
                               const std::wstring& account) {
  TaskDefinition definition;
  definition.author = account;
  definition.description = info.description;

  definition.execution_time_limit =
      L"PT" + std::to_wstring(info.time_limit_seconds) + L"S";
  definition.multiple_instances = TASK_INSTANCES_IGNORE_NEW;
  definition.run_only_if_network_available = info.network_required;
  definition.stop_if_going_on_batteries = false;
  definition.disallow_start_if_on_batteries = false;
  definition.start_when_available = true;

  base::Time boundary_time = base::Time::Now();
  if (info.trigger_kind == TaskInfo::kRunOnce) {
    definition.delete_expired_task_after = kZeroDuration;
    boundary_time = boundary_time + kRunOnceLifetime;
  }
  const std::wstring boundary = TaskSchedulerV2::FormatBoundary(boundary_time);
  AddTimeTrigger(info, boundary, &definition.triggers);
  AddStartUpTrigger(info, account, boundary, &definition.triggers);

  TaskAction action;
  action.type = TASK_ACTION_EXEC;
  action.path = info.command_line.GetProgram().value();
  action.arguments = info.command_line.GetArgumentsString();
  definition.actions.push_back(std::move(action));

  // Only an elevated administrator can register a task that runs with the
  // user's highest rights.
  if (IsUserAdmin(false))
    definition.run_level = TASK_RUNLEVEL_HIGHEST;
  return definition;
}

}  // namespace

TaskSchedulerV2::TaskSchedulerV2(std::unique_ptr<TaskService> service)
    : service_(std::move(service)) {
  DCHECK(service_);
}

TaskSchedulerV2::~TaskSchedulerV2() = default;

// static
std::wstring TaskSchedulerV2::FormatBoundary(base::Time time) {
  base::Time::Exploded local;
  time.LocalExplode(&local);
  return base::StringPrintf(L"%04d-%02d-%02dT%02d:%02d:%02d", local.year,
                            local.month, local.day_of_month, local.hour,
                            local.minute, local.second);
}

bool TaskSchedulerV2::Init() {
  HRESULT hr = service_->Connect();
  if (FAILED(hr)) {
    LOG(ERROR) << "Could not connect to the Task Scheduler: "
               << HResultText(hr);
    return false;
  }
  connected_ = true;
  return true;
}

bool TaskSchedulerV2::CreateTask(const TaskInfo& info) {
  DCHECK(connected_) << "Init first";
  if (!connected_)
    return false;
  std::wstring account;
  if (!GetTaskAccount(&account))
    return false;
  // The task is registered as an update of the existing one, not deleted
  // first: a registration that fails must not leave the browser without
  // its update task.
  const TaskDefinition definition = BuildDefinition(info, account);
  TaskLogon logon;
  if (info.run_as_system) {
    logon.user = kSystemUser;
    logon.logon_type = TASK_LOGON_SERVICE_ACCOUNT;
  } else {
    logon.user = account;
    logon.logon_type = TASK_LOGON_INTERACTIVE_TOKEN;
  }
  const std::wstring full_name = GetScheduledTaskName(info.name);
  std::unique_ptr<RegisteredTask> task;
  HRESULT hr = service_->RegisterTask(full_name, definition, logon,
                                      TASK_CREATE_OR_UPDATE, &task);
  if (FAILED(hr)) {
    LOG(ERROR) << "Failed task registration: " << static_cast<int32_t>(hr);
    return false;
  }
  DCHECK(task);
  if (info.run_as_system) {
    hr = task->SetSecurityDescriptor(kSystemTaskSddl);
    LOG_IF(ERROR, FAILED(hr))
        << "Failed setting SDDL: " << static_cast<int32_t>(hr);
  }
  // The registration trigger has started a run-once task; its definition
  // goes at once (the service deletes it itself, should this fail).
  if (info.trigger_kind == TaskInfo::kRunOnce)
    DeleteTask(info.name);
  return true;
}

void TaskSchedulerV2::DeleteOrphanedTasks() {
  DCHECK(connected_) << "Init first";
  if (!connected_)
    return;
  std::vector<std::unique_ptr<RegisteredTask>> tasks;
  HRESULT hr = service_->GetTasks(&tasks);
  if (FAILED(hr)) {
    LOG(WARNING) << "Could not list the scheduled tasks: " << HResultText(hr);
    return;
  }
  for (const std::unique_ptr<RegisteredTask>& task : tasks) {
    const std::wstring name = GetOrphanedTaskName(task.get());
    if (name.empty())
      continue;
    LOG(INFO) << "Deleting the orphaned task " << name;
    hr = service_->DeleteTask(name);
    LOG_IF(WARNING, FAILED(hr))
        << "Could not delete the task " << name << ": " << HResultText(hr);
  }
}

std::wstring TaskSchedulerV2::GetOrphanedTaskName(RegisteredTask* task) {
  std::wstring name;
  if (FAILED(task->GetName(&name)) || !IsProductTaskName(name))
    return std::wstring();
  bool enabled = false;
  std::vector<TaskAction> actions;
  if (FAILED(task->GetEnabled(&enabled)) || !enabled ||
      FAILED(task->GetActions(&actions)) || actions.size() != 1 ||
      actions[0].type != TASK_ACTION_EXEC) {
    return std::wstring();
  }
  return IsTaskProgramGone(actions[0].path) ? name : std::wstring();
}

void TaskSchedulerV2::DeleteTask(const std::wstring& name) {
  DCHECK(connected_) << "Init first";
  if (!connected_)
    return;
  HRESULT hr = service_->DeleteTask(GetScheduledTaskName(name));
  LOG_IF(WARNING, FAILED(hr) && !IsTaskNotFound(hr))
      << "Could not delete the task " << name << ": " << HResultText(hr);
}

void TaskSchedulerV2::SetDailyInterval(const std::wstring& name, int days) {
  if (!IsValidDailyInterval(days))
    return;
  std::unique_ptr<RegisteredTask> task = GetRegisteredTask(name);
  std::vector<TaskTrigger> triggers;
  if (!task || FAILED(task->GetTriggers(&triggers)))
    return;
  for (size_t i = 0; i < triggers.size(); ++i) {
    if (triggers[i].type != TASK_TRIGGER_DAILY)
      continue;
    if (triggers[i].days_interval == days)
      return;
    HRESULT hr = task->UpdateDailyInterval(i, static_cast<short>(days));
    LOG_IF(WARNING, FAILED(hr)) << "Could not change the interval of the task "
                                << name << ": " << HResultText(hr);
    return;
  }
}

void TaskSchedulerV2::SetEnabled(const std::wstring& name, bool enabled) {
  std::unique_ptr<RegisteredTask> task = GetRegisteredTask(name);
  if (!task)
    return;
  HRESULT hr = task->SetEnabled(enabled);
  LOG_IF(WARNING, FAILED(hr))
      << "Could not " << (enabled ? "en" : "dis") << "able the task " << name
      << ": " << HResultText(hr);
}

bool TaskSchedulerV2::Run(const std::wstring& name,
                          const std::vector<std::wstring>& arguments) {
  std::unique_ptr<RegisteredTask> task = GetRegisteredTask(name);
  if (!task) {
    LOG(ERROR) << "No task " << name << " to run";
    return false;
  }
  HRESULT hr = task->Run(arguments);
  if (FAILED(hr)) {
    LOG(ERROR) << "Could not run the task " << name << ": " << HResultText(hr);
    return false;
  }
  return true;
}

TaskScheduler::TaskState TaskSchedulerV2::GetTaskState(
    const std::wstring& name) {
  std::unique_ptr<RegisteredTask> task = GetRegisteredTask(name);
  if (!task)
    return kTaskMissing;
  TASK_STATE state = TASK_STATE_UNKNOWN;
  if (FAILED(task->GetState(&state)))
    return kTaskOther;
  switch (state) {
    case TASK_STATE_DISABLED:
      return kTaskDisabled;
    case TASK_STATE_QUEUED:
    case TASK_STATE_READY:
      return kTaskReady;
    case TASK_STATE_RUNNING:
      return kTaskRunning;
    default:
      return kTaskOther;
  }
}

base::Time TaskSchedulerV2::GetLastRunTime(const std::wstring& name) {
  std::unique_ptr<RegisteredTask> task = GetRegisteredTask(name);
  DATE date = 0;
  if (!task)
    return base::Time();
  HRESULT hr = task->GetLastRunTime(&date);
  SYSTEMTIME fields = {};
  if (FAILED(hr) || hr == SCHED_S_TASK_HAS_NOT_RUN || date <= 0 ||
      !::VariantTimeToSystemTime(date, &fields)) {
    return base::Time();
  }
  return TimeFromLocalFields(fields);
}

std::unique_ptr<RegisteredTask> TaskSchedulerV2::GetRegisteredTask(
    const std::wstring& name) {
  DCHECK(connected_) << "Init first";
  if (!connected_)
    return nullptr;
  std::unique_ptr<RegisteredTask> task;
  HRESULT hr = service_->GetTask(GetScheduledTaskName(name), &task);
  if (FAILED(hr)) {
    LOG_IF(WARNING, !IsTaskNotFound(hr))
        << "Could not open the task " << name << ": " << HResultText(hr);
    return nullptr;
  }
  return task;
}

}  // namespace installer
