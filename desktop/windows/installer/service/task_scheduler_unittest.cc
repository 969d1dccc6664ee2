// The choice of scheduler, the names of the product's tasks, and the
// factory through which the engine's tests put a fake in its place.

#include "desktop/windows/installer/service/task_scheduler.h"

#include <memory>

#include "desktop/windows/installer/branding_config.h"
#include "desktop/windows/installer/test/fake_task_scheduler.h"
#include "desktop/windows/installer/test/scoped_log_capture.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(TaskSchedulerTest, TaskScheduler2FromVista) {
  ScopedLogCapture log;
  EXPECT_FALSE(CreateTaskSchedulerForVersion(base::win::VERSION_XP));
  EXPECT_FALSE(CreateTaskSchedulerForVersion(base::win::VERSION_SERVER_2003));
  EXPECT_TRUE(log.Contains(logging::LOG_ERROR,
                           "Task Scheduler 1.0 (before Windows Vista) is not "
                           "supported"));
  EXPECT_TRUE(CreateTaskSchedulerForVersion(base::win::VERSION_VISTA));
  EXPECT_TRUE(CreateTaskSchedulerForVersion(base::win::VERSION_WIN10_TH2));
  EXPECT_TRUE(CreateTaskScheduler());
}

TEST(TaskSchedulerTest, FullNamesCarryTheProductName) {
  EXPECT_EQ(L"Kelvo scheduled Autoupdate 1234",
            GetScheduledTaskName(L"Autoupdate 1234"));
  BrandingConfig::ScopedOverrideForTesting branding(
      R"({"product_name": "Acme"})");
  EXPECT_EQ(L"Acme scheduled X", GetScheduledTaskName(L"X"));
}

TEST(TaskSchedulerTest, FactoryOverrideHandsOutFakes) {
  FakeTaskScheduler::Record record;
  record.init_result = false;
  {
    ScopedTaskSchedulerFactoryForTesting factory(
        FakeTaskScheduler::Factory(&record));
    std::unique_ptr<TaskScheduler> scheduler = CreateTaskScheduler();
    ASSERT_TRUE(scheduler);
    EXPECT_FALSE(scheduler->Init());
    TaskInfo info;
    info.name = L"Autoupdate 1";
    EXPECT_TRUE(scheduler->CreateTask(info));
    EXPECT_EQ(TaskScheduler::kTaskReady,
              CreateTaskScheduler()->GetTaskState(L"Autoupdate 1"));
    scheduler->DeleteTask(L"Autoupdate 1");
    EXPECT_EQ(TaskScheduler::kTaskMissing,
              scheduler->GetTaskState(L"Autoupdate 1"));
  }
  EXPECT_EQ(2, record.schedulers_made);
  EXPECT_EQ(
      (std::vector<std::wstring>{
          L"Init", L"CreateTask Autoupdate 1", L"GetTaskState Autoupdate 1",
          L"DeleteTask Autoupdate 1", L"GetTaskState Autoupdate 1"}),
      record.calls);
  ASSERT_EQ(1u, record.created.size());
}

}  // namespace
}  // namespace installer
