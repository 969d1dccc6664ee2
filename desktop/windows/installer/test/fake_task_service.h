// A TaskService that keeps its tasks in memory, for tests of
// TaskSchedulerV2: it stores what is registered exactly as given, lets a
// test place tasks of its own, and fails any operation on request.
//
//   auto service = std::make_unique<FakeTaskService>();
//   FakeTaskService* fake = service.get();
//   TaskSchedulerV2 scheduler(std::move(service));
//   fake->Fail(FakeTaskService::kRegister, E_ACCESSDENIED);

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_TASK_SERVICE_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_TASK_SERVICE_H_

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "desktop/windows/installer/service/task_service.h"

namespace installer {

class FakeTaskService : public TaskService {
 public:
  // The operations a test can make fail.
  enum Operation {
    kConnect,
    kRegister,
    kGetTask,
    kGetTasks,
    kDelete,
    kGetName,
    kGetEnabled,
    kSetSecurityDescriptor,
    kGetActions,
  };

  struct Task {
    Task();
    Task(const Task&);
    Task& operator=(const Task&);
    ~Task();

    TaskDefinition definition;
    TaskLogon logon;
    int flags = 0;
    bool enabled = true;
    // Empty until SetSecurityDescriptor.
    std::wstring sddl;
  };

  FakeTaskService();
  FakeTaskService(const FakeTaskService&) = delete;
  FakeTaskService& operator=(const FakeTaskService&) = delete;
  ~FakeTaskService() override;

  // Makes |operation| answer |hr| from now on (S_OK: work again).
  void Fail(Operation operation, HRESULT hr);

  void AddTask(const std::wstring& name, const Task& task);
  // Null when there is no such task.
  Task* FindTask(const std::wstring& name);
  const std::map<std::wstring, Task>& tasks() const { return tasks_; }

  // The changes made, in order: "register NAME", "delete NAME", "sddl
  // NAME". Failed calls are not recorded. What no test uses (enabling,
  // running, states, triggers) answers E_NOTIMPL.
  const std::vector<std::wstring>& changes() const { return changes_; }

  // TaskService:
  HRESULT Connect() override;
  HRESULT RegisterTask(const std::wstring& name,
                       const TaskDefinition& definition,
                       const TaskLogon& logon,
                       int flags,
                       std::unique_ptr<RegisteredTask>* task) override;
  HRESULT GetTask(const std::wstring& name,
                  std::unique_ptr<RegisteredTask>* task) override;
  HRESULT GetTasks(
      std::vector<std::unique_ptr<RegisteredTask>>* tasks) override;
  HRESULT DeleteTask(const std::wstring& name) override;

 private:
  class FakeRegisteredTask;

  // The answer set for |operation|; S_OK unless it was made to fail.
  HRESULT ResultOf(Operation operation) const;
  void RecordChange(const std::wstring& change) { changes_.push_back(change); }

  std::map<std::wstring, Task> tasks_;
  std::map<Operation, HRESULT> failures_;
  std::vector<std::wstring> changes_;
  bool connected_ = false;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_TASK_SERVICE_H_
