#include "desktop/windows/installer/service/task_scheduler_v1.h"

#include <aclapi.h>
#include <objbase.h>

#include <memory>
#include <utility>

#include "base/logging.h"
#include "base/strings/string_util.h"
#include "desktop/windows/installer/service/com_util.h"
#include "desktop/windows/installer/service/security_access.h"
#include "desktop/windows/installer/service/utils.h"

using Microsoft::WRL::ComPtr;

namespace installer {

namespace {

// The enumeration names work items by their job files.
constexpr wchar_t kJobFileExtension[] = L".job";
// What Authenticated Users may do with a system task.
constexpr ACCESS_MASK kSystemTaskUsersAccess = GENERIC_READ | GENERIC_EXECUTE;

// The service reads a job file whenever it changes, and a delete or a
// rewrite meanwhile finds the file in use: such a call is tried again for
// up to a second.
constexpr int kInUseTries = 20;
constexpr DWORD kInUseRetryDelayMs = 50;

struct CoTaskMemFreeDeleter {
  void operator()(void* memory) const { ::CoTaskMemFree(memory); }
};
using ScopedCoTaskMemString = std::unique_ptr<wchar_t, CoTaskMemFreeDeleter>;

template <typename Call>
HRESULT RetryWhileInUse(Call call) {
  HRESULT hr = call();
  for (int i = 1;
       i < kInUseTries && hr == HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION);
       ++i) {
    ::Sleep(kInUseRetryDelayMs);
    hr = call();
  }
  return hr;
}

// The work item's maximum run time: INFINITE for no limit, and for limits
// that milliseconds in a DWORD cannot hold.
DWORD MaxRunTimeMs(uint32_t seconds) {
  const uint64_t milliseconds = uint64_t{seconds} * 1000;
  if (seconds == 0 || milliseconds >= INFINITE)
    return INFINITE;
  return static_cast<DWORD>(milliseconds);
}

// A trigger of |type| that starts at |start|'s day and minute.
TASK_TRIGGER MakeTrigger(TASK_TRIGGER_TYPE type,
                         const base::Time::Exploded& start) {
  TASK_TRIGGER trigger = {};
  trigger.cbTriggerSize = sizeof(trigger);
  trigger.wBeginYear = static_cast<WORD>(start.year);
  trigger.wBeginMonth = static_cast<WORD>(start.month);
  trigger.wBeginDay = static_cast<WORD>(start.day_of_month);
  trigger.wStartHour = static_cast<WORD>(start.hour);
  trigger.wStartMinute = static_cast<WORD>(start.minute);
  trigger.TriggerType = type;
  if (type == TASK_TIME_TRIGGER_DAILY)
    trigger.Type.Daily.DaysInterval = 1;
  return trigger;
}

HRESULT AddTrigger(ITask* task, TASK_TRIGGER data, const char* what) {
  HRESULT hr;
  WORD index = 0;
  ComPtr<ITaskTrigger> trigger;
  if (!TaskStep(task->CreateTrigger(&index, &trigger), what, &hr) ||
      !TaskStep(trigger->SetTrigger(&data), what, &hr)) {
    return hr;
  }
  return S_OK;
}

// Takes away the triggers of a work item that is being made anew.
HRESULT DeleteTriggers(ITask* task) {
  WORD count = 0;
  HRESULT hr = task->GetTriggerCount(&count);
  for (; SUCCEEDED(hr) && count > 0; --count)
    hr = task->DeleteTrigger(count - 1);
  return hr;
}

HRESULT AddTriggers(ITask* task, const TaskInfo& info) {
  base::Time::Exploded now;
  base::Time::Now().LocalExplode(&now);
  HRESULT hr = S_OK;
  switch (info.trigger_kind) {
    case TaskInfo::kRunOnce:
      hr = AddTrigger(task, MakeTrigger(TASK_TIME_TRIGGER_ONCE, now),
                      "the one-time trigger");
      break;
    case TaskInfo::kDaily:
      hr = AddTrigger(task, MakeTrigger(TASK_TIME_TRIGGER_DAILY, now),
                      "the daily trigger");
      break;
    case TaskInfo::kNoTimeTrigger:
      break;
  }
  if (SUCCEEDED(hr) && info.start_up_trigger &&
      info.trigger_kind != TaskInfo::kRunOnce) {
    hr = AddTrigger(task, MakeTrigger(TASK_EVENT_TRIGGER_AT_LOGON, now),
                    "the logon trigger");
  }
  return hr;
}

// Gives |task| everything |info| asks for; nothing is saved.
HRESULT Configure(ITask* task,
                  const TaskInfo& info,
                  const std::wstring& account) {
  DWORD flags = TASK_FLAG_RUN_ONLY_IF_LOGGED_ON;
  if (info.trigger_kind == TaskInfo::kRunOnce)
    flags |= TASK_FLAG_DELETE_WHEN_DONE;
  // The system account is named by the empty name.
  const std::wstring run_as = info.run_as_system ? std::wstring() : account;
  const std::wstring program = info.command_line.GetProgram().value();
  const std::wstring arguments = info.command_line.GetArgumentsString();
  HRESULT hr;
  // The flags first: an account without a password is accepted for a work
  // item that runs only while its user is logged on.
  if (!TaskStep(task->SetFlags(flags), "SetFlags", &hr) ||
      !TaskStep(task->SetAccountInformation(run_as.c_str(), nullptr),
                "SetAccountInformation", &hr) ||
      !TaskStep(task->SetApplicationName(program.c_str()), "SetApplicationName",
                &hr) ||
      !TaskStep(task->SetParameters(arguments.c_str()), "SetParameters", &hr) ||
      !TaskStep(task->SetComment(info.description.c_str()), "SetComment",
                &hr) ||
      !TaskStep(task->SetCreator(account.c_str()), "SetCreator", &hr) ||
      !TaskStep(task->SetMaxRunTime(MaxRunTimeMs(info.time_limit_seconds)),
                "SetMaxRunTime", &hr) ||
      !TaskStep(DeleteTriggers(task), "removing the former triggers", &hr)) {
    return hr;
  }
  return AddTriggers(task, info);
}

HRESULT SaveWorkItem(ITask* task) {
  ComPtr<IPersistFile> file;
  HRESULT hr = task->QueryInterface(IID_PPV_ARGS(file.GetAddressOf()));
  if (FAILED(hr))
    return hr;
  return RetryWhileInUse([&file] { return file->Save(nullptr, TRUE); });
}

HRESULT DeleteWorkItem(ITaskScheduler* scheduler, const std::wstring& name) {
  return RetryWhileInUse(
      [scheduler, &name] { return scheduler->Delete(name.c_str()); });
}

// The work item's name as ITaskScheduler takes it: without the job file's
// extension that the enumeration gives.
std::wstring WorkItemName(const std::wstring& item_name) {
  if (base::EndsWith(item_name, kJobFileExtension,
                     base::CompareCase::INSENSITIVE_ASCII)) {
    return item_name.substr(0, item_name.size() - wcslen(kJobFileExtension));
  }
  return item_name;
}

// The DACL of |descriptor| with |sid| granted |access|; null on failure
// (logged), and also, with |*unchanged| set, when the descriptor has a null
// DACL, which grants everyone everything already.
ScopedAcl AddGrant(PSECURITY_DESCRIPTOR descriptor,
                   PSID sid,
                   ACCESS_MASK access,
                   bool* unchanged) {
  *unchanged = false;
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  if (!::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted)) {
    PLOG(ERROR) << "Could not read the job file's DACL";
    return nullptr;
  }
  if (!present || !dacl) {
    *unchanged = true;
    return nullptr;
  }
  ScopedAcl new_dacl;
  const DWORD error = AddGroupGrant(dacl, sid, access, &new_dacl);
  if (error != ERROR_SUCCESS) {
    LOG(ERROR) << "Could not add to the job file's DACL: "
               << logging::SystemErrorCodeToString(error);
    return nullptr;
  }
  return new_dacl;
}

}  // namespace

TaskSchedulerV1::TaskSchedulerV1() = default;

TaskSchedulerV1::~TaskSchedulerV1() = default;

// static
TaskScheduler::TaskState TaskSchedulerV1::StateFromStatus(HRESULT status) {
  switch (status) {
    case SCHED_S_TASK_READY:
    case SCHED_S_TASK_HAS_NOT_RUN:
      return kTaskReady;
    case SCHED_S_TASK_RUNNING:
      return kTaskRunning;
    case SCHED_S_TASK_DISABLED:
      return kTaskDisabled;
    case SCHED_S_TASK_NO_MORE_RUNS:
    case SCHED_S_TASK_NOT_SCHEDULED:
    case SCHED_S_TASK_NO_VALID_TRIGGERS:
      return kTaskNoMoreRuns;
    default:
      return kTaskOther;
  }
}

bool TaskSchedulerV1::Init() {
  HRESULT hr = ::CoCreateInstance(
      CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
      reinterpret_cast<void**>(scheduler_.ReleaseAndGetAddressOf()));
  if (FAILED(hr)) {
    scheduler_.Reset();
    LOG(ERROR) << "Could not connect to the Task Scheduler: "
               << HResultText(hr);
    return false;
  }
  return true;
}

bool TaskSchedulerV1::CreateTask(const TaskInfo& info) {
  DCHECK(scheduler_) << "Init first";
  if (!scheduler_)
    return false;
  std::wstring account;
  if (!GetTaskAccount(&account))
    return false;
  const std::wstring full_name = GetScheduledTaskName(info.name);
  // An existing work item is made anew in place and written only when it
  // is complete: a task that cannot be made must not cost the browser the
  // update task it had.
  ComPtr<ITask> task;
  HRESULT hr = OpenWorkItem(full_name, &task);
  if (IsTaskNotFound(hr)) {
    hr = scheduler_->NewWorkItem(
        full_name.c_str(), CLSID_CTask, IID_ITask,
        reinterpret_cast<IUnknown**>(task.ReleaseAndGetAddressOf()));
  }
  if (SUCCEEDED(hr))
    hr = Configure(task.Get(), info, account);
  if (SUCCEEDED(hr))
    hr = SaveWorkItem(task.Get());
  if (FAILED(hr)) {
    LOG(ERROR) << "Failed task registration: " << static_cast<int32_t>(hr);
    return false;
  }
  if (info.trigger_kind == TaskInfo::kRunOnce) {
    // The service deletes the work item when this run is done.
    hr = task->Run();
    LOG_IF(ERROR, FAILED(hr))
        << "Could not start the task " << info.name << ": " << HResultText(hr);
  } else if (info.run_as_system) {
    GrantUsersAccess(task.Get());
  }
  return true;
}

void TaskSchedulerV1::GrantUsersAccess(ITask* task) {
  ComPtr<IPersistFile> file;
  wchar_t* path = nullptr;
  HRESULT hr = task->QueryInterface(IID_PPV_ARGS(file.GetAddressOf()));
  if (SUCCEEDED(hr))
    hr = file->GetCurFile(&path);
  ScopedCoTaskMemString scoped_path(path);
  if (hr != S_OK || !path) {
    LOG(ERROR) << "Failed setting the job file's access: no job file: "
               << HResultText(hr);
    return;
  }
  SecurityAccess* access = SecurityAccess::GetInstance();
  ScopedSecurityDescriptor descriptor;
  DWORD error = access->ReadSecurity(path, SE_FILE_OBJECT,
                                     DACL_SECURITY_INFORMATION, &descriptor);
  if (error != ERROR_SUCCESS || !descriptor) {
    LOG(ERROR) << "Failed setting the job file's access: cannot read " << path
               << ": " << logging::SystemErrorCodeToString(error);
    return;
  }
  BYTE users[SECURITY_MAX_SID_SIZE];
  DWORD users_size = sizeof(users);
  if (!::CreateWellKnownSid(WinAuthenticatedUserSid, nullptr, users,
                            &users_size)) {
    PLOG(ERROR) << "Failed setting the job file's access";
    return;
  }
  bool unchanged = false;
  ScopedAcl dacl =
      AddGrant(descriptor.get(), users, kSystemTaskUsersAccess, &unchanged);
  if (unchanged || !dacl)
    return;
  error = access->WriteDacl(path, SE_FILE_OBJECT, dacl.get());
  LOG_IF(ERROR, error != ERROR_SUCCESS)
      << "Failed setting the job file's access: cannot write " << path << ": "
      << logging::SystemErrorCodeToString(error);
}

void TaskSchedulerV1::DeleteOrphanedTasks() {
  DCHECK(scheduler_) << "Init first";
  if (!scheduler_)
    return;
  ComPtr<IEnumWorkItems> items;
  HRESULT hr = scheduler_->Enum(&items);
  if (FAILED(hr)) {
    LOG(WARNING) << "Could not list the scheduled tasks: " << HResultText(hr);
    return;
  }
  // Deleted once the enumeration is done, which deleting would disturb.
  std::vector<std::wstring> orphaned;
  for (;;) {
    wchar_t** names = nullptr;
    ULONG fetched = 0;
    hr = items->Next(1, &names, &fetched);
    std::unique_ptr<wchar_t*, CoTaskMemFreeDeleter> scoped_names(names);
    if (hr != S_OK || fetched != 1 || !names)
      break;
    ScopedCoTaskMemString name(names[0]);
    if (name && IsOrphaned(name.get()))
      orphaned.push_back(WorkItemName(name.get()));
  }
  for (const std::wstring& name : orphaned) {
    LOG(INFO) << "Deleting the orphaned task " << name;
    hr = DeleteWorkItem(scheduler_.Get(), name);
    LOG_IF(WARNING, FAILED(hr))
        << "Could not delete the task " << name << ": " << HResultText(hr);
  }
}

bool TaskSchedulerV1::IsOrphaned(const std::wstring& item_name) {
  const std::wstring name = WorkItemName(item_name);
  ComPtr<ITask> task;
  if (!IsProductTaskName(name) || FAILED(OpenWorkItem(name, &task)))
    return false;
  // A disabled task stays, whether the service says so in its status or
  // the work item only carries the flag.
  HRESULT status = S_OK;
  DWORD flags = 0;
  if (FAILED(task->GetStatus(&status)) || status == SCHED_S_TASK_DISABLED ||
      FAILED(task->GetFlags(&flags)) || (flags & TASK_FLAG_DISABLED)) {
    return false;
  }
  wchar_t* program = nullptr;
  HRESULT hr = task->GetApplicationName(&program);
  ScopedCoTaskMemString scoped_program(program);
  return SUCCEEDED(hr) && program && IsTaskProgramGone(program);
}

void TaskSchedulerV1::DeleteTask(const std::wstring& name) {
  DCHECK(scheduler_) << "Init first";
  if (!scheduler_)
    return;
  HRESULT hr = DeleteWorkItem(scheduler_.Get(), GetScheduledTaskName(name));
  LOG_IF(WARNING, FAILED(hr) && !IsTaskNotFound(hr))
      << "Could not delete the task " << name << ": " << HResultText(hr);
}

void TaskSchedulerV1::SetDailyInterval(const std::wstring& name, int days) {
  if (!IsValidDailyInterval(days))
    return;
  ComPtr<ITask> task = GetWorkItem(name);
  WORD count = 0;
  if (!task || FAILED(task->GetTriggerCount(&count)))
    return;
  for (WORD i = 0; i < count; ++i) {
    ComPtr<ITaskTrigger> trigger;
    TASK_TRIGGER data = {};
    data.cbTriggerSize = sizeof(data);
    // A disabled trigger fires never, whatever its interval.
    if (FAILED(task->GetTrigger(i, &trigger)) ||
        FAILED(trigger->GetTrigger(&data)) ||
        data.TriggerType != TASK_TIME_TRIGGER_DAILY ||
        (data.rgFlags & TASK_TRIGGER_FLAG_DISABLED)) {
      continue;
    }
    if (data.Type.Daily.DaysInterval == days)
      return;
    data.Type.Daily.DaysInterval = static_cast<WORD>(days);
    HRESULT hr = trigger->SetTrigger(&data);
    if (SUCCEEDED(hr))
      hr = SaveWorkItem(task.Get());
    LOG_IF(WARNING, FAILED(hr)) << "Could not change the interval of the task "
                                << name << ": " << HResultText(hr);
    return;
  }
}

void TaskSchedulerV1::SetEnabled(const std::wstring& name, bool enabled) {
  ComPtr<ITask> task = GetWorkItem(name);
  if (!task)
    return;
  DWORD flags = 0;
  HRESULT hr = task->GetFlags(&flags);
  if (SUCCEEDED(hr)) {
    flags =
        enabled ? (flags & ~TASK_FLAG_DISABLED) : (flags | TASK_FLAG_DISABLED);
    hr = task->SetFlags(flags);
  }
  if (SUCCEEDED(hr))
    hr = SaveWorkItem(task.Get());
  LOG_IF(WARNING, FAILED(hr))
      << "Could not " << (enabled ? "en" : "dis") << "able the task " << name
      << ": " << HResultText(hr);
}

bool TaskSchedulerV1::Run(const std::wstring& name,
                          const std::vector<std::wstring>& arguments) {
  ComPtr<ITask> task = GetWorkItem(name);
  if (!task) {
    LOG(ERROR) << "No task " << name << " to run";
    return false;
  }
  // A work item runs with its own argument text: Task Scheduler 1.0 has no
  // placeholders to fill.
  LOG_IF(WARNING, !arguments.empty())
      << "The task " << name << " runs without the " << arguments.size()
      << " arguments given";
  HRESULT hr = task->Run();
  if (FAILED(hr)) {
    LOG(ERROR) << "Could not run the task " << name << ": " << HResultText(hr);
    return false;
  }
  return true;
}

TaskScheduler::TaskState TaskSchedulerV1::GetTaskState(
    const std::wstring& name) {
  DCHECK(scheduler_) << "Init first";
  if (!scheduler_)
    return kTaskMissing;
  ComPtr<ITask> task;
  HRESULT hr = OpenWorkItem(GetScheduledTaskName(name), &task);
  if (IsTaskNotFound(hr))
    return kTaskMissing;
  HRESULT status = S_OK;
  if (FAILED(hr) || FAILED(task->GetStatus(&status))) {
    LOG(WARNING) << "Could not read the state of the task " << name;
    return kTaskOther;
  }
  return StateFromStatus(status);
}

base::Time TaskSchedulerV1::GetLastRunTime(const std::wstring& name) {
  ComPtr<ITask> task = GetWorkItem(name);
  SYSTEMTIME fields = {};
  // SCHED_S_TASK_HAS_NOT_RUN, a success code, leaves the fields empty.
  if (!task || task->GetMostRecentRunTime(&fields) != S_OK)
    return base::Time();
  return TimeFromLocalFields(fields);
}

HRESULT TaskSchedulerV1::OpenWorkItem(const std::wstring& full_name,
                                      ComPtr<ITask>* task) {
  return scheduler_->Activate(
      full_name.c_str(), IID_ITask,
      reinterpret_cast<IUnknown**>(task->ReleaseAndGetAddressOf()));
}

ComPtr<ITask> TaskSchedulerV1::GetWorkItem(const std::wstring& name) {
  DCHECK(scheduler_) << "Init first";
  if (!scheduler_)
    return nullptr;
  ComPtr<ITask> task;
  HRESULT hr = OpenWorkItem(GetScheduledTaskName(name), &task);
  if (FAILED(hr)) {
    LOG_IF(WARNING, !IsTaskNotFound(hr))
        << "Could not open the task " << name << ": " << HResultText(hr);
    return nullptr;
  }
  return task;
}

}  // namespace installer
