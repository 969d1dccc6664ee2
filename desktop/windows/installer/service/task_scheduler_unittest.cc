// The choice of scheduler by Windows version.

#include "desktop/windows/installer/service/task_scheduler.h"

#include "base/test/scoped_log_capture.h"
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

}  // namespace
}  // namespace installer
