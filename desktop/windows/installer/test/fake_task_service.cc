#include "desktop/windows/installer/test/fake_task_service.h"

#include <utility>

#include "base/logging.h"

namespace installer {

namespace {

constexpr HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

}  // namespace

// A handle on a task of the service by name; a task deleted meanwhile
// answers "not found", as a handle on a deleted task does on Windows.
class FakeTaskService::FakeRegisteredTask : public RegisteredTask {
 public:
  FakeRegisteredTask(FakeTaskService* service, std::wstring name)
      : service_(service), name_(std::move(name)) {}
  FakeRegisteredTask(const FakeRegisteredTask&) = delete;
  FakeRegisteredTask& operator=(const FakeRegisteredTask&) = delete;
  ~FakeRegisteredTask() override = default;

  HRESULT GetName(std::wstring* name) override {
    HRESULT hr = service_->ResultOf(kGetName);
    if (SUCCEEDED(hr))
      *name = name_;
    return hr;
  }

  HRESULT GetEnabled(bool* enabled) override {
    Task* task = nullptr;
    HRESULT hr = Find(kGetEnabled, &task);
    if (SUCCEEDED(hr))
      *enabled = task->enabled;
    return hr;
  }

  HRESULT SetEnabled(bool enabled) override { return E_NOTIMPL; }
  HRESULT GetState(TASK_STATE* state) override { return E_NOTIMPL; }
  HRESULT GetLastRunTime(DATE* time) override { return E_NOTIMPL; }
  HRESULT Run(const std::vector<std::wstring>& arguments) override {
    return E_NOTIMPL;
  }

  HRESULT SetSecurityDescriptor(const std::wstring& sddl) override {
    Task* task = nullptr;
    HRESULT hr = Find(kSetSecurityDescriptor, &task);
    if (SUCCEEDED(hr)) {
      task->sddl = sddl;
      service_->RecordChange(L"sddl " + name_);
    }
    return hr;
  }

  HRESULT GetActions(std::vector<TaskAction>* actions) override {
    Task* task = nullptr;
    HRESULT hr = Find(kGetActions, &task);
    if (SUCCEEDED(hr))
      *actions = task->definition.actions;
    return hr;
  }

  HRESULT GetTriggers(std::vector<TaskTrigger>* triggers) override {
    return E_NOTIMPL;
  }
  HRESULT UpdateDailyInterval(size_t index, short days) override {
    return E_NOTIMPL;
  }

 private:
  HRESULT Find(Operation operation, Task** task) {
    HRESULT hr = service_->ResultOf(operation);
    if (FAILED(hr))
      return hr;
    *task = service_->FindTask(name_);
    return *task ? S_OK : kNotFound;
  }

  FakeTaskService* const service_;
  const std::wstring name_;
};

FakeTaskService::Task::Task() = default;
FakeTaskService::Task::Task(const Task&) = default;
FakeTaskService::Task& FakeTaskService::Task::operator=(const Task&) = default;
FakeTaskService::Task::~Task() = default;

FakeTaskService::FakeTaskService() = default;

FakeTaskService::~FakeTaskService() = default;

void FakeTaskService::Fail(Operation operation, HRESULT hr) {
  failures_[operation] = hr;
}

void FakeTaskService::AddTask(const std::wstring& name, const Task& task) {
  tasks_[name] = task;
}

FakeTaskService::Task* FakeTaskService::FindTask(const std::wstring& name) {
  auto it = tasks_.find(name);
  return it == tasks_.end() ? nullptr : &it->second;
}

HRESULT FakeTaskService::Connect() {
  HRESULT hr = ResultOf(kConnect);
  connected_ = SUCCEEDED(hr);
  return hr;
}

HRESULT FakeTaskService::RegisterTask(const std::wstring& name,
                                      const TaskDefinition& definition,
                                      const TaskLogon& logon,
                                      int flags,
                                      std::unique_ptr<RegisteredTask>* task) {
  CHECK(connected_) << "Connect first";
  HRESULT hr = ResultOf(kRegister);
  if (FAILED(hr))
    return hr;
  const bool exists = FindTask(name) != nullptr;
  if (exists && !(flags & TASK_UPDATE))
    return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
  if (!exists && !(flags & TASK_CREATE))
    return kNotFound;
  Task& stored = tasks_[name];
  stored = Task();
  stored.definition = definition;
  stored.logon = logon;
  stored.flags = flags;
  RecordChange(L"register " + name);
  *task = std::make_unique<FakeRegisteredTask>(this, name);
  return S_OK;
}

HRESULT FakeTaskService::GetTask(const std::wstring& name,
                                 std::unique_ptr<RegisteredTask>* task) {
  CHECK(connected_) << "Connect first";
  HRESULT hr = ResultOf(kGetTask);
  if (FAILED(hr))
    return hr;
  if (!FindTask(name))
    return kNotFound;
  *task = std::make_unique<FakeRegisteredTask>(this, name);
  return S_OK;
}

HRESULT FakeTaskService::GetTasks(
    std::vector<std::unique_ptr<RegisteredTask>>* tasks) {
  CHECK(connected_) << "Connect first";
  HRESULT hr = ResultOf(kGetTasks);
  if (FAILED(hr))
    return hr;
  tasks->clear();
  for (const auto& entry : tasks_)
    tasks->push_back(std::make_unique<FakeRegisteredTask>(this, entry.first));
  return S_OK;
}

HRESULT FakeTaskService::DeleteTask(const std::wstring& name) {
  CHECK(connected_) << "Connect first";
  HRESULT hr = ResultOf(kDelete);
  if (FAILED(hr))
    return hr;
  if (!tasks_.erase(name))
    return kNotFound;
  RecordChange(L"delete " + name);
  return S_OK;
}

HRESULT FakeTaskService::ResultOf(Operation operation) const {
  auto it = failures_.find(operation);
  return it == failures_.end() ? S_OK : it->second;
}

}  // namespace installer
