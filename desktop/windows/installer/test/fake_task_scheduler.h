// A TaskScheduler that records what it is asked, for tests of the code
// that creates one through CreateTaskScheduler (the engine). The record
// outlives the schedulers, which their user destroys.
//
//   FakeTaskScheduler::Record record;
//   ScopedTaskSchedulerFactoryForTesting factory(
//       FakeTaskScheduler::Factory(&record));
//   ... run the install ...
//   EXPECT_EQ(L"CreateTask Autoupdate " + app_id, record.calls.back());

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_TASK_SCHEDULER_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_TASK_SCHEDULER_H_

#include <set>
#include <string>
#include <vector>

#include "desktop/windows/installer/service/task_scheduler.h"

namespace installer {

class FakeTaskScheduler : public TaskScheduler {
 public:
  struct Record {
    Record();
    ~Record();

    // What Init and CreateTask answer.
    bool init_result = true;
    bool create_result = true;
    // Every call of every scheduler, in order: "Init", "CreateTask NAME",
    // "DeleteOrphanedTasks", "DeleteTask NAME", "SetDailyInterval NAME
    // DAYS", "SetEnabled NAME 0|1", "Run NAME", "GetTaskState NAME",
    // "GetLastRunTime NAME".
    std::vector<std::wstring> calls;
    // The TaskInfo of every CreateTask.
    std::vector<TaskInfo> created;
    // The short names of the tasks that exist: created successfully and not
    // deleted since. A test may place tasks here.
    std::set<std::wstring> tasks;
    int schedulers_made = 0;
  };

  // A factory for ScopedTaskSchedulerFactoryForTesting whose schedulers
  // write to |record|, which must outlive them.
  static ScopedTaskSchedulerFactoryForTesting::Factory Factory(Record* record);

  explicit FakeTaskScheduler(Record* record);
  FakeTaskScheduler(const FakeTaskScheduler&) = delete;
  FakeTaskScheduler& operator=(const FakeTaskScheduler&) = delete;
  ~FakeTaskScheduler() override;

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
  Record* const record_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_TASK_SCHEDULER_H_
