// The choice of scheduler and the names of the product's tasks.

#include "desktop/windows/installer/service/task_scheduler.h"

#include "base/test/scoped_log_capture.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(TaskSchedulerTest, TaskScheduler2FromVista) {
  base::ScopedLogCapture log;
  EXPECT_FALSE(CreateTaskSchedulerForVersion(base::win::VERSION_SERVER_2003));
  EXPECT_TRUE(log.Contains(logging::LOG_ERROR,
                           "Task Scheduler 1.0 (before Windows Vista) is not "
                           "supported"));
  EXPECT_TRUE(CreateTaskSchedulerForVersion(base::win::VERSION_VISTA));
}

TEST(TaskSchedulerTest, FullNamesCarryTheProductName) {
  EXPECT_EQ(L"Kelvo scheduled Autoupdate 1234",
            GetScheduledTaskName(L"Autoupdate 1234"));
  BrandingConfig::ScopedOverrideForTesting branding(
      R"({"product_name": "Acme"})");
  EXPECT_EQ(L"Acme scheduled X", GetScheduledTaskName(L"X"));
}

}  // namespace
}  // namespace installer
