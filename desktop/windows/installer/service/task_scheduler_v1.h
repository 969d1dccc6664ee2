// TaskScheduler over Task Scheduler 1.0, the service of Windows before
// Vista. A task is a work item, the job file "<full name>.job" of the
// system's Tasks folder, reached through ITaskScheduler and changed through
// ITask, its ITaskTriggers and IPersistFile, which writes the file.
//
// Task Scheduler 1.0 has no trigger ids, delays, network condition or run
// level, and passes no arguments to a run: a work item holds the program,
// its argument text, the account, a one-time or daily trigger starting at
// the current minute and, with the start-up flag, an at-logon trigger (for
// the system account too).

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TASK_SCHEDULER_V1_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TASK_SCHEDULER_V1_H_

#include <windows.h>

#include <mstask.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "base/time/time.h"
#include "desktop/windows/installer/service/task_scheduler.h"

namespace installer {

class TaskSchedulerV1 : public TaskScheduler {
 public:
  TaskSchedulerV1();
  TaskSchedulerV1(const TaskSchedulerV1&) = delete;
  TaskSchedulerV1& operator=(const TaskSchedulerV1&) = delete;
  ~TaskSchedulerV1() override;

  // The TaskState of a work item whose ITask::GetStatus answered |status|.
  static TaskState StateFromStatus(HRESULT status);

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
  // The work item of the full name |full_name| into |*task|; the service's
  // result, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) for a missing one.
  HRESULT OpenWorkItem(const std::wstring& full_name,
                       Microsoft::WRL::ComPtr<ITask>* task);
  // The work item of the short name |name|; null (logged unless it is
  // simply missing) when it cannot be had.
  Microsoft::WRL::ComPtr<ITask> GetWorkItem(const std::wstring& name);
  // Whether the work item |item_name| (as the enumeration names it) is one
  // of this product's enabled tasks whose program is gone.
  bool IsOrphaned(const std::wstring& item_name);
  // Lets Authenticated Users read and run the system task |task|, so that
  // the browser of any user can start the update.
  void GrantUsersAccess(ITask* task);

  Microsoft::WRL::ComPtr<ITaskScheduler> scheduler_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TASK_SCHEDULER_V1_H_
