// The choice of scheduler by Windows version, and what both schedulers
// decide alike.

#include "desktop/windows/installer/service/task_scheduler.h"

#include <memory>
#include <string>

#include "base/test/scoped_log_capture.h"
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

// A missing task is either answer for a missing file; other failures,
// and successes, are no missing task.
TEST(TaskSchedulerTest, MissingTaskAnswers) {
  EXPECT_TRUE(IsTaskNotFound(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)));
  EXPECT_TRUE(IsTaskNotFound(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)));
  for (HRESULT hr : {S_OK, S_FALSE, E_ACCESSDENIED, E_FAIL,
                     HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION),
                     static_cast<HRESULT>(ERROR_FILE_NOT_FOUND)}) {
    EXPECT_FALSE(IsTaskNotFound(hr)) << std::hex << hr;
  }
}

// One to 365 days; anything else is refused and logged.
TEST(TaskSchedulerTest, DailyIntervalsFromOneDayToAYear) {
  for (int days : {1, 2, 364, 365}) {
    base::ScopedLogCapture log;
    EXPECT_TRUE(IsValidDailyInterval(days)) << days;
    EXPECT_FALSE(log.Contains("Invalid daily interval")) << days;
  }
  for (int days : {0, -1, 366, 1 << 16}) {
    base::ScopedLogCapture log;
    EXPECT_FALSE(IsValidDailyInterval(days)) << days;
    EXPECT_TRUE(log.Contains(logging::LOG_ERROR,
                             "Invalid daily interval " + std::to_string(days)))
        << days;
  }
}

// A step hands its result on either way and logs only a failure, naming
// what failed.
TEST(TaskSchedulerTest, StepsLogTheirFailures) {
  HRESULT result = E_FAIL;
  {
    base::ScopedLogCapture log;
    EXPECT_TRUE(TaskStep(S_FALSE, "put_Id", &result));
    EXPECT_EQ(S_FALSE, result);
    EXPECT_FALSE(log.Contains("put_Id"));
  }
  base::ScopedLogCapture log;
  EXPECT_FALSE(TaskStep(E_INVALIDARG, "put_Id", &result));
  EXPECT_EQ(E_INVALIDARG, result);
  EXPECT_TRUE(
      log.Contains(logging::LOG_ERROR, "Task Scheduler: put_Id failed"));
}

}  // namespace
}  // namespace installer
