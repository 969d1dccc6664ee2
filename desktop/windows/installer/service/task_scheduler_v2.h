// TaskScheduler over Task Scheduler 2.0, the service of Windows Vista and
// later. Every decision is made here: the definition a TaskInfo gives
// (settings, triggers, action, run level), the account it is registered
// for, its security descriptor, which tasks count as orphaned, and how the
// service's answers map onto TaskScheduler's. The service itself is reached
// through TaskService.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TASK_SCHEDULER_V2_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TASK_SCHEDULER_V2_H_

#include <memory>
#include <string>
#include <vector>

#include "base/time/time.h"
#include "desktop/windows/installer/service/task_scheduler.h"
#include "desktop/windows/installer/service/task_service.h"

namespace installer {

class TaskSchedulerV2 : public TaskScheduler {
 public:
  // Trigger ids; the browser looks its triggers up by them.
  static constexpr wchar_t kRunOnceTriggerId[] = L"Run once";
  static constexpr wchar_t kDailyTriggerId[] = L"Daily run";
  static constexpr wchar_t kStartUpTriggerId[] = L"Logon run";
  // What a system task grants besides its principal: Authenticated Users
  // may read and start it, so that the browser of any user can run the
  // update.
  static constexpr wchar_t kSystemTaskSddl[] = L"D:(A;;GRGX;;;AU)";

  // |service| is connected by Init.
  explicit TaskSchedulerV2(std::unique_ptr<TaskService> service);
  TaskSchedulerV2(const TaskSchedulerV2&) = delete;
  TaskSchedulerV2& operator=(const TaskSchedulerV2&) = delete;
  ~TaskSchedulerV2() override;

  // |time| as a trigger boundary: local time, "YYYY-MM-DDThh:mm:ss".
  static std::wstring FormatBoundary(base::Time time);

  // TaskScheduler:
  bool Init() override;
  bool CreateTask(const TaskInfo& info) override;
  void DeleteOrphanedTasks() override;
  void DeleteTask(const std::wstring& name) override;
  void SetDailyInterval(const std::wstring& name, int days) override;
  void SetEnabled(const std::wstring& name, bool enabled) override;
  bool Run(const std::wstring& name,
           const std::vector<std::wstring>& arguments) override;
  TaskState GetTaskState(const std::wstring& name) override;
  base::Time GetLastRunTime(const std::wstring& name) override;

 private:
  // The registered task of the short name |name|; null (logged unless the
  // task is simply missing) when it cannot be had.
  std::unique_ptr<RegisteredTask> GetRegisteredTask(const std::wstring& name);
  // The full name of |task| when it is one of this product's enabled tasks
  // whose single exec action names a program that is gone; empty otherwise.
  std::wstring GetOrphanedTaskName(RegisteredTask* task);

  std::unique_ptr<TaskService> service_;
  bool connected_ = false;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TASK_SCHEDULER_V2_H_
