#include "desktop/windows/installer/service/task_scheduler.h"

#include <utility>

#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/product/version_info.h"
#include "desktop/windows/installer/service/task_scheduler_v2.h"
#include "desktop/windows/installer/service/win32_task_service.h"

namespace installer {

namespace {

ScopedTaskSchedulerFactoryForTesting::Factory* g_factory_for_testing = nullptr;

}  // namespace

TaskInfo::TaskInfo() = default;
TaskInfo::TaskInfo(const TaskInfo&) = default;
TaskInfo& TaskInfo::operator=(const TaskInfo&) = default;
TaskInfo::~TaskInfo() = default;

TaskScheduler::~TaskScheduler() = default;

std::unique_ptr<TaskScheduler> CreateTaskScheduler() {
  if (g_factory_for_testing)
    return g_factory_for_testing->Run();
  return CreateTaskSchedulerForVersion(base::win::GetVersion());
}

std::unique_ptr<TaskScheduler> CreateTaskSchedulerForVersion(
    base::win::Version version) {
  // Windows before Vista has only Task Scheduler 1.0, and this build does
  // not run there.
  if (version < base::win::VERSION_VISTA) {
    LOG(ERROR) << "No task scheduler: Task Scheduler 1.0 (before Windows "
                  "Vista) is not supported";
    return nullptr;
  }
  return std::make_unique<TaskSchedulerV2>(
      std::make_unique<Win32TaskService>());
}

std::wstring GetScheduledTaskName(const std::wstring& short_name) {
  return base::UTF8ToWide(GetProductName()) + L" scheduled " + short_name;
}

ScopedTaskSchedulerFactoryForTesting::ScopedTaskSchedulerFactoryForTesting(
    Factory factory)
    : factory_(std::move(factory)) {
  DCHECK(!g_factory_for_testing) << "not nestable";
  DCHECK(factory_);
  g_factory_for_testing = &factory_;
}

ScopedTaskSchedulerFactoryForTesting::~ScopedTaskSchedulerFactoryForTesting() {
  DCHECK_EQ(g_factory_for_testing, &factory_);
  g_factory_for_testing = nullptr;
}

}  // namespace installer
