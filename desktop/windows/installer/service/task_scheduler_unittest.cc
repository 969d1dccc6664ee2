// The choice of scheduler by Windows version.

#include "desktop/windows/installer/service/task_scheduler.h"

#include <memory>

#include "desktop/windows/installer/service/task_scheduler_v1.h"
#include "desktop/windows/installer/service/task_scheduler_v2.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(TaskSchedulerTest, TaskScheduler1BeforeVistaAnd2From) {
  for (base::win::Version version :
       {base::win::VERSION_XP, base::win::VERSION_SERVER_2003}) {
    std::unique_ptr<TaskScheduler> scheduler =
        CreateTaskSchedulerForVersion(version);
    EXPECT_TRUE(dynamic_cast<TaskSchedulerV1*>(scheduler.get())) << version;
  }
  for (base::win::Version version :
       {base::win::VERSION_VISTA, base::win::VERSION_WIN10_TH2}) {
    std::unique_ptr<TaskScheduler> scheduler =
        CreateTaskSchedulerForVersion(version);
    EXPECT_TRUE(dynamic_cast<TaskSchedulerV2*>(scheduler.get())) << version;
  }
}

}  // namespace
}  // namespace installer
