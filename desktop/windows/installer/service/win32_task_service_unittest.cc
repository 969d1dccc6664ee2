// The one test on the real Task Scheduler. Wine registers and deletes tasks
// but keeps no triggers or actions and runs nothing, so everything else is
// tested through FakeTaskService.

#include "desktop/windows/installer/service/win32_task_service.h"

#include <memory>

#include "base/guid.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/scoped_com_initializer.h"
#include "desktop/windows/installer/service/task_scheduler_v2.h"
#include "desktop/windows/installer/test/fake_security_access.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(Win32TaskServiceTest, RegistersAndDeletesATaskWithoutTrigger) {
  base::win::ScopedCOMInitializer com;
  ASSERT_TRUE(com.Succeeded());
  // Wine's principal cannot take a run level, which an administrator's task
  // asks for.
  FakeSecurityAccess access;
  access.set_admin(false, false);
  SecurityAccess::ScopedOverrideForTesting override_access(&access);
  TaskSchedulerV2 scheduler(std::make_unique<Win32TaskService>());
  ASSERT_TRUE(scheduler.Init());

  TaskInfo info;
  info.command_line =
      base::CommandLine(base::FilePath(L"C:\\Kelvo Smoke\\launcher.exe"));
  info.command_line.AppendSwitch("scheduledautoupdate");
  info.name = L"Smoke " + base::UTF8ToWide(base::GenerateGUID());
  info.description = L"Smoke test";
  info.trigger_kind = TaskInfo::kNoTimeTrigger;
  info.time_limit_seconds = 60;

  ASSERT_TRUE(scheduler.CreateTask(info));
  EXPECT_NE(TaskScheduler::kTaskMissing, scheduler.GetTaskState(info.name));
  scheduler.DeleteTask(info.name);
  EXPECT_EQ(TaskScheduler::kTaskMissing, scheduler.GetTaskState(info.name));
}

}  // namespace
}  // namespace installer
