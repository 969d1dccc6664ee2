// TaskSchedulerV2 on the real Task Scheduler 2.0 service of the Wine
// prefix. Wine registers and deletes tasks, but keeps no triggers or
// actions, makes daily triggers only and refuses their ids, and runs
// nothing: a task without triggers is registered for real, a task with any
// trigger is refused at the step that Wine refuses, and the task registered
// before stays. Everything else is tested through FakeTaskService, and the
// triggers themselves in win32_task_triggers_unittest.cc.

#include "desktop/windows/installer/service/win32_task_service.h"

#include <memory>

#include "base/guid.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/scoped_log_capture.h"
#include "base/win/scoped_com_initializer.h"
#include "desktop/windows/installer/service/task_scheduler_v2.h"
#include "desktop/windows/installer/test/fake_security_access.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class Win32TaskServiceTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(com_.Succeeded());
    // Wine's principal cannot take a run level, which an administrator's
    // task asks for.
    access_.set_admin(false, false);
    ASSERT_TRUE(scheduler_.Init());
  }

  void TearDown() override { scheduler_.DeleteTask(info_.name); }

  // A task of this test's own name, which goes at the end.
  TaskInfo MakeTaskInfo() {
    TaskInfo info;
    info.command_line =
        base::CommandLine(base::FilePath(L"C:\\Kelvo Smoke\\launcher.exe"));
    info.command_line.AppendSwitch("scheduledautoupdate");
    info.name = name_;
    info.description = L"Smoke test";
    info.trigger_kind = TaskInfo::kNoTimeTrigger;
    info.time_limit_seconds = 60;
    return info;
  }

  base::win::ScopedCOMInitializer com_;
  FakeSecurityAccess access_;
  SecurityAccess::ScopedOverrideForTesting override_access_{&access_};
  TaskSchedulerV2 scheduler_{std::make_unique<Win32TaskService>()};
  const std::wstring name_ = L"Smoke " + base::UTF8ToWide(base::GenerateGUID());
  TaskInfo info_ = MakeTaskInfo();
};

TEST_F(Win32TaskServiceTest, RegistersAndDeletesATaskWithoutTrigger) {
  ASSERT_TRUE(scheduler_.CreateTask(info_));
  EXPECT_NE(TaskScheduler::kTaskMissing, scheduler_.GetTaskState(info_.name));
  scheduler_.DeleteTask(info_.name);
  EXPECT_EQ(TaskScheduler::kTaskMissing, scheduler_.GetTaskState(info_.name));
}

// Every trigger the scheduler makes reaches the service, which refuses it:
// the daily trigger's id, and the registration, logon and boot triggers
// themselves. Nothing is registered then, and the task already there is
// kept.
TEST_F(Win32TaskServiceTest, TriggersWineRefusesKeepTheTaskThere) {
  ASSERT_TRUE(scheduler_.CreateTask(info_));
  const struct {
    TaskInfo::TriggerKind kind;
    bool start_up;
    bool system;
    const char* refused_step;
  } kCases[] = {
      {TaskInfo::kDaily, false, false, "put_Id failed"},
      {TaskInfo::kDaily, true, false, "put_Id failed"},
      {TaskInfo::kRunOnce, false, false, "creating a trigger failed"},
      {TaskInfo::kNoTimeTrigger, true, false, "creating a trigger failed"},
      {TaskInfo::kNoTimeTrigger, true, true, "creating a trigger failed"},
  };
  for (const auto& test : kCases) {
    SCOPED_TRACE(testing::Message()
                 << "kind " << test.kind << " start-up " << test.start_up
                 << " system " << test.system);
    TaskInfo info = info_;
    info.trigger_kind = test.kind;
    info.start_up_trigger = test.start_up;
    info.run_as_system = test.system;
    base::ScopedLogCapture log;

    EXPECT_FALSE(scheduler_.CreateTask(info));

    EXPECT_TRUE(log.Contains(logging::LOG_ERROR, test.refused_step));
    // E_NOTIMPL as a signed number.
    EXPECT_TRUE(log.Contains(logging::LOG_ERROR,
                             "Failed task registration: -2147467263"));
    EXPECT_NE(TaskScheduler::kTaskMissing, scheduler_.GetTaskState(info_.name));
  }
}

}  // namespace
}  // namespace installer
