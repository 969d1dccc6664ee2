#include "desktop/windows/installer/service/win32_task_service.h"

#include <oleauto.h>

#include <utility>

#include "base/logging.h"
#include "base/win/scoped_bstr.h"
#include "base/win/scoped_variant.h"
#include "desktop/windows/installer/service/com_util.h"
#include "desktop/windows/installer/service/task_scheduler.h"
#include "desktop/windows/installer/service/win32_task_triggers.h"

using Microsoft::WRL::ComPtr;

namespace installer {

namespace {

constexpr CLSID kClsidTaskScheduler = {
    0x0f87369f,
    0xa4e5,
    0x4cfc,
    {0xbd, 0x3e, 0x73, 0xe6, 0x15, 0x45, 0x72, 0xdd}};
constexpr IID kIidITaskService = {
    0x2faba4c7,
    0x4da9,
    0x4013,
    {0x96, 0x97, 0x20, 0xcc, 0x3f, 0xd4, 0x0f, 0x85}};
constexpr IID kIidIExecAction = {
    0x4c3d624d,
    0xfd6b,
    0x49a3,
    {0xb9, 0xb7, 0x09, 0xcb, 0x3c, 0xd3, 0xf0, 0x47}};

VARIANT_BOOL ToVariantBool(bool value) {
  return value ? VARIANT_TRUE : VARIANT_FALSE;
}

// A string variant, or an empty one for an empty |text|.
void SetOptionalText(const std::wstring& text,
                     base::win::ScopedVariant* variant) {
  if (!text.empty())
    variant->Set(text.c_str());
}

HRESULT ApplyRegistrationInfo(ITaskDefinition* task,
                              const TaskDefinition& definition) {
  HRESULT hr;
  ComPtr<IRegistrationInfo> info;
  if (!TaskStep(task->get_RegistrationInfo(&info), "get_RegistrationInfo",
                &hr) ||
      !TaskStep(info->put_Author(base::win::ScopedBstr(definition.author)),
                "put_Author", &hr) ||
      !TaskStep(
          info->put_Description(base::win::ScopedBstr(definition.description)),
          "put_Description", &hr)) {
    return hr;
  }
  return S_OK;
}

HRESULT ApplySettings(ITaskDefinition* task, const TaskDefinition& definition) {
  HRESULT hr;
  ComPtr<ITaskSettings> settings;
  if (!TaskStep(task->get_Settings(&settings), "get_Settings", &hr) ||
      !TaskStep(settings->put_ExecutionTimeLimit(
                    base::win::ScopedBstr(definition.execution_time_limit)),
                "put_ExecutionTimeLimit", &hr) ||
      !TaskStep(settings->put_MultipleInstances(definition.multiple_instances),
                "put_MultipleInstances", &hr) ||
      !TaskStep(settings->put_RunOnlyIfNetworkAvailable(
                    ToVariantBool(definition.run_only_if_network_available)),
                "put_RunOnlyIfNetworkAvailable", &hr) ||
      !TaskStep(settings->put_StopIfGoingOnBatteries(
                    ToVariantBool(definition.stop_if_going_on_batteries)),
                "put_StopIfGoingOnBatteries", &hr) ||
      !TaskStep(settings->put_DisallowStartIfOnBatteries(
                    ToVariantBool(definition.disallow_start_if_on_batteries)),
                "put_DisallowStartIfOnBatteries", &hr) ||
      !TaskStep(settings->put_StartWhenAvailable(
                    ToVariantBool(definition.start_when_available)),
                "put_StartWhenAvailable", &hr)) {
    return hr;
  }
  if (!definition.delete_expired_task_after.empty() &&
      !TaskStep(settings->put_DeleteExpiredTaskAfter(base::win::ScopedBstr(
                    definition.delete_expired_task_after)),
                "put_DeleteExpiredTaskAfter", &hr)) {
    return hr;
  }
  return S_OK;
}

HRESULT AddExecAction(IActionCollection* actions, const TaskAction& data) {
  DCHECK_EQ(data.type, TASK_ACTION_EXEC) << "only exec actions are made";
  HRESULT hr;
  ComPtr<IAction> action;
  ComPtr<IExecAction> exec;
  if (!TaskStep(actions->Create(TASK_ACTION_EXEC, &action),
                "creating an action", &hr) ||
      !TaskStep(QueryFor(action.Get(), kIidIExecAction, exec), "IExecAction",
                &hr) ||
      !TaskStep(exec->put_Path(base::win::ScopedBstr(data.path)), "put_Path",
                &hr) ||
      !TaskStep(exec->put_Arguments(base::win::ScopedBstr(data.arguments)),
                "put_Arguments", &hr)) {
    return hr;
  }
  return S_OK;
}

HRESULT ApplyTriggersAndActions(ITaskDefinition* task,
                                const TaskDefinition& definition) {
  HRESULT hr;
  ComPtr<ITriggerCollection> triggers;
  if (!TaskStep(task->get_Triggers(&triggers), "get_Triggers", &hr))
    return hr;
  for (const TaskTrigger& trigger : definition.triggers) {
    hr = AddTrigger(triggers.Get(), trigger);
    if (FAILED(hr))
      return hr;
  }
  ComPtr<IActionCollection> actions;
  if (!TaskStep(task->get_Actions(&actions), "get_Actions", &hr))
    return hr;
  for (const TaskAction& action : definition.actions) {
    hr = AddExecAction(actions.Get(), action);
    if (FAILED(hr))
      return hr;
  }
  return S_OK;
}

HRESULT ApplyPrincipal(ITaskDefinition* task,
                       const TaskDefinition& definition) {
  if (!definition.run_level)
    return S_OK;
  HRESULT hr;
  ComPtr<IPrincipal> principal;
  if (!TaskStep(task->get_Principal(&principal), "get_Principal", &hr) ||
      !TaskStep(principal->put_RunLevel(*definition.run_level), "put_RunLevel",
                &hr)) {
    return hr;
  }
  return S_OK;
}

// Registers |task| in |folder| as |name|, without password and with an
// empty security descriptor.
HRESULT Register(ITaskFolder* folder,
                 const std::wstring& name,
                 ITaskDefinition* task,
                 int flags,
                 const TaskLogon& logon,
                 ComPtr<IRegisteredTask>* registered) {
  base::win::ScopedVariant user;
  SetOptionalText(logon.user, &user);
  base::win::ScopedVariant password;
  base::win::ScopedVariant sddl(L"");
  HRESULT hr;
  TaskStep(folder->RegisterTaskDefinition(
               base::win::ScopedBstr(name), task, flags, *user.AsInput(),
               *password.AsInput(), logon.logon_type, *sddl.AsInput(),
               registered->ReleaseAndGetAddressOf()),
           "registering the task", &hr);
  return hr;
}

// A one-dimensional array of strings holding |arguments|, in a variant.
HRESULT MakeArgumentArray(const std::vector<std::wstring>& arguments,
                          base::win::ScopedVariant* result) {
  SAFEARRAY* array =
      ::SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(arguments.size()));
  if (!array)
    return E_OUTOFMEMORY;
  VARIANT variant;
  ::VariantInit(&variant);
  variant.vt = VT_ARRAY | VT_BSTR;
  variant.parray = array;
  result->Reset(variant);
  for (LONG i = 0; i < static_cast<LONG>(arguments.size()); ++i) {
    base::win::ScopedBstr argument(arguments[i]);
    // The array keeps a copy.
    HRESULT hr = ::SafeArrayPutElement(array, &i, argument.Get());
    if (FAILED(hr))
      return hr;
  }
  return S_OK;
}

class Win32RegisteredTask : public RegisteredTask {
 public:
  Win32RegisteredTask(ComPtr<IRegisteredTask> task, ComPtr<ITaskFolder> folder)
      : task_(std::move(task)), folder_(std::move(folder)) {}
  Win32RegisteredTask(const Win32RegisteredTask&) = delete;
  Win32RegisteredTask& operator=(const Win32RegisteredTask&) = delete;
  ~Win32RegisteredTask() override = default;

  HRESULT GetName(std::wstring* name) override {
    base::win::ScopedBstr bstr;
    HRESULT hr = task_->get_Name(bstr.Receive());
    if (SUCCEEDED(hr))
      *name = base::win::BstrToString(bstr);
    return hr;
  }

  HRESULT GetEnabled(bool* enabled) override {
    VARIANT_BOOL value = VARIANT_FALSE;
    HRESULT hr = task_->get_Enabled(&value);
    if (SUCCEEDED(hr))
      *enabled = value != VARIANT_FALSE;
    return hr;
  }

  HRESULT SetEnabled(bool enabled) override {
    return task_->put_Enabled(ToVariantBool(enabled));
  }

  HRESULT GetState(TASK_STATE* state) override {
    return task_->get_State(state);
  }

  HRESULT GetLastRunTime(DATE* time) override {
    return task_->get_LastRunTime(time);
  }

  HRESULT Run(const std::vector<std::wstring>& arguments) override {
    base::win::ScopedVariant parameters;
    if (!arguments.empty()) {
      HRESULT hr = MakeArgumentArray(arguments, &parameters);
      if (FAILED(hr))
        return hr;
    }
    ComPtr<IRunningTask> running;
    return task_->Run(*parameters.AsInput(), &running);
  }

  HRESULT SetSecurityDescriptor(const std::wstring& sddl) override {
    return task_->SetSecurityDescriptor(base::win::ScopedBstr(sddl), 0);
  }

  HRESULT GetActions(std::vector<TaskAction>* actions) override;
  HRESULT GetTriggers(std::vector<TaskTrigger>* triggers) override;
  HRESULT UpdateDailyInterval(size_t index, short days) override;

 private:
  HRESULT GetTriggerCollection(ComPtr<ITaskDefinition>* definition,
                               ComPtr<ITriggerCollection>* triggers);

  ComPtr<IRegisteredTask> task_;
  // Where the task is registered again when it changes.
  ComPtr<ITaskFolder> folder_;
};

HRESULT Win32RegisteredTask::GetActions(std::vector<TaskAction>* actions) {
  ComPtr<ITaskDefinition> definition;
  ComPtr<IActionCollection> collection;
  LONG count = 0;
  HRESULT hr = task_->get_Definition(&definition);
  if (SUCCEEDED(hr))
    hr = definition->get_Actions(&collection);
  if (SUCCEEDED(hr))
    hr = collection->get_Count(&count);
  if (FAILED(hr))
    return hr;
  actions->clear();
  for (LONG i = 1; i <= count; ++i) {
    ComPtr<IAction> action;
    TaskAction data;
    hr = collection->get_Item(i, &action);
    if (SUCCEEDED(hr))
      hr = action->get_Type(&data.type);
    if (FAILED(hr))
      return hr;
    ComPtr<IExecAction> exec;
    if (data.type == TASK_ACTION_EXEC &&
        SUCCEEDED(QueryFor(action.Get(), kIidIExecAction, exec))) {
      base::win::ScopedBstr path;
      base::win::ScopedBstr arguments;
      if (SUCCEEDED(exec->get_Path(path.Receive())))
        data.path = base::win::BstrToString(path);
      if (SUCCEEDED(exec->get_Arguments(arguments.Receive())))
        data.arguments = base::win::BstrToString(arguments);
    }
    actions->push_back(std::move(data));
  }
  return S_OK;
}

HRESULT Win32RegisteredTask::GetTriggerCollection(
    ComPtr<ITaskDefinition>* definition,
    ComPtr<ITriggerCollection>* triggers) {
  HRESULT hr = task_->get_Definition(definition->ReleaseAndGetAddressOf());
  if (SUCCEEDED(hr))
    hr = (*definition)->get_Triggers(triggers->ReleaseAndGetAddressOf());
  return hr;
}

HRESULT Win32RegisteredTask::GetTriggers(std::vector<TaskTrigger>* triggers) {
  ComPtr<ITaskDefinition> definition;
  ComPtr<ITriggerCollection> collection;
  HRESULT hr = GetTriggerCollection(&definition, &collection);
  if (SUCCEEDED(hr))
    hr = ReadTriggers(collection.Get(), triggers);
  return hr;
}

HRESULT Win32RegisteredTask::UpdateDailyInterval(size_t index, short days) {
  ComPtr<ITaskDefinition> definition;
  ComPtr<ITriggerCollection> collection;
  ComPtr<ITrigger> trigger;
  TaskTrigger daily;
  daily.type = TASK_TRIGGER_DAILY;
  daily.days_interval = days;
  base::win::ScopedBstr name;
  HRESULT hr;
  if (!TaskStep(GetTriggerCollection(&definition, &collection), "get_Triggers",
                &hr) ||
      !TaskStep(collection->get_Item(static_cast<LONG>(index) + 1, &trigger),
                "get_Item", &hr)) {
    return hr;
  }
  hr = ApplyTriggerKind(trigger.Get(), daily);
  if (FAILED(hr) || !TaskStep(task_->get_Name(name.Receive()), "get_Name", &hr))
    return hr;
  ComPtr<IRegisteredTask> updated;
  return Register(folder_.Get(), base::win::BstrToString(name), definition.Get(), TASK_UPDATE,
                  TaskLogon(), &updated);
}

}  // namespace

Win32TaskService::Win32TaskService() = default;

Win32TaskService::~Win32TaskService() = default;

HRESULT Win32TaskService::Connect() {
  HRESULT hr;
  base::win::ScopedVariant empty;
  if (!TaskStep(::CoCreateInstance(kClsidTaskScheduler, nullptr,
                                   CLSCTX_INPROC_SERVER, kIidITaskService,
                                   reinterpret_cast<void**>(
                                       service_.ReleaseAndGetAddressOf())),
                "creating the service object", &hr) ||
      !TaskStep(service_->Connect(*empty.AsInput(), *empty.AsInput(),
                                  *empty.AsInput(), *empty.AsInput()),
                "Connect", &hr) ||
      !TaskStep(service_->GetFolder(base::win::ScopedBstr(L"\\"),
                                    root_folder_.ReleaseAndGetAddressOf()),
                "opening the root folder", &hr)) {
    service_.Reset();
    root_folder_.Reset();
    return hr;
  }
  return S_OK;
}

HRESULT Win32TaskService::RegisterTask(const std::wstring& name,
                                       const TaskDefinition& definition,
                                       const TaskLogon& logon,
                                       int flags,
                                       std::unique_ptr<RegisteredTask>* task) {
  DCHECK(root_folder_) << "Connect first";
  ComPtr<ITaskDefinition> new_task;
  HRESULT hr;
  if (!TaskStep(service_->NewTask(0, &new_task), "NewTask", &hr))
    return hr;
  hr = ApplyRegistrationInfo(new_task.Get(), definition);
  if (SUCCEEDED(hr))
    hr = ApplySettings(new_task.Get(), definition);
  if (SUCCEEDED(hr))
    hr = ApplyTriggersAndActions(new_task.Get(), definition);
  if (SUCCEEDED(hr))
    hr = ApplyPrincipal(new_task.Get(), definition);
  if (FAILED(hr))
    return hr;
  ComPtr<IRegisteredTask> registered;
  hr = Register(root_folder_.Get(), name, new_task.Get(), flags, logon,
                &registered);
  if (FAILED(hr))
    return hr;
  *task = std::make_unique<Win32RegisteredTask>(std::move(registered),
                                                root_folder_);
  return S_OK;
}

HRESULT Win32TaskService::GetTask(const std::wstring& name,
                                  std::unique_ptr<RegisteredTask>* task) {
  DCHECK(root_folder_) << "Connect first";
  ComPtr<IRegisteredTask> registered;
  HRESULT hr = root_folder_->GetTask(base::win::ScopedBstr(name), &registered);
  if (FAILED(hr))
    return hr;
  *task = std::make_unique<Win32RegisteredTask>(std::move(registered),
                                                root_folder_);
  return S_OK;
}

HRESULT Win32TaskService::GetTasks(
    std::vector<std::unique_ptr<RegisteredTask>>* tasks) {
  DCHECK(root_folder_) << "Connect first";
  ComPtr<IRegisteredTaskCollection> collection;
  LONG count = 0;
  HRESULT hr = root_folder_->GetTasks(0, &collection);
  if (SUCCEEDED(hr))
    hr = collection->get_Count(&count);
  if (FAILED(hr))
    return hr;
  tasks->clear();
  for (LONG i = 1; i <= count; ++i) {
    ComPtr<IRegisteredTask> registered;
    base::win::ScopedVariant index(static_cast<int32_t>(i));
    hr = collection->get_Item(*index.AsInput(), &registered);
    if (FAILED(hr)) {
      LOG(WARNING) << "Task Scheduler: task " << i << " of " << count
                   << " cannot be read: "
                   << logging::SystemErrorCodeToString(static_cast<DWORD>(hr));
      continue;
    }
    tasks->push_back(std::make_unique<Win32RegisteredTask>(
        std::move(registered), root_folder_));
  }
  return S_OK;
}

HRESULT Win32TaskService::DeleteTask(const std::wstring& name) {
  DCHECK(root_folder_) << "Connect first";
  return root_folder_->DeleteTask(base::win::ScopedBstr(name), 0);
}

}  // namespace installer
