#include "desktop/windows/installer/service/task_scheduler.h"

#include <shlwapi.h>
#include <string.h>

#include <utility>

#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/product/version_info.h"
#include "desktop/windows/installer/service/com_util.h"
#include "desktop/windows/installer/service/task_scheduler_v1.h"
#include "desktop/windows/installer/service/task_scheduler_v2.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/service/win32_task_service.h"

namespace installer {

namespace {

ScopedTaskSchedulerFactoryForTesting::Factory* g_factory_for_testing = nullptr;

constexpr int kMaxDailyInterval = 365;

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
  if (version < base::win::VERSION_VISTA)
    return std::make_unique<TaskSchedulerV1>();
  return std::make_unique<TaskSchedulerV2>(
      std::make_unique<Win32TaskService>());
}

std::wstring GetScheduledTaskName(const std::wstring& short_name) {
  return base::UTF8ToWide(GetProductName()) + L" scheduled " + short_name;
}

bool IsProductTaskName(const std::wstring& name) {
  return base::StartsWith(name, GetScheduledTaskName(std::wstring()),
                          base::CompareCase::INSENSITIVE_ASCII);
}

bool IsTaskProgramGone(const std::wstring& path) {
  // The stored text may run on past a NUL; the path ends there.
  const std::wstring program(path.c_str(), wcsnlen(path.c_str(), path.size()));
  if (program.empty())
    return false;
  wchar_t expanded[MAX_PATH * 2];
  DWORD length = ::ExpandEnvironmentStringsW(program.c_str(), expanded,
                                             ARRAYSIZE(expanded));
  if (length == 0 || length > ARRAYSIZE(expanded))
    return false;
  if (::GetFileAttributesW(expanded) != INVALID_FILE_ATTRIBUTES)
    return false;
  DWORD error = ::GetLastError();
  if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
    return false;
  // Same size as |expanded|, whose text ExpandEnvironmentStringsW ended
  // with a NUL within it.
  wchar_t root[ARRAYSIZE(expanded)];
  memcpy(root, expanded, sizeof(root));
  if (!::PathStripToRootW(root))
    return false;
  return ::GetFileAttributesW(root) != INVALID_FILE_ATTRIBUTES;
}

base::Time TimeFromLocalFields(const SYSTEMTIME& fields) {
  base::Time::Exploded exploded;
  exploded.year = fields.wYear;
  exploded.month = fields.wMonth;
  exploded.day_of_week = fields.wDayOfWeek;
  exploded.day_of_month = fields.wDay;
  exploded.hour = fields.wHour;
  exploded.minute = fields.wMinute;
  exploded.second = fields.wSecond;
  exploded.millisecond = fields.wMilliseconds;
  base::Time time;
  if (!base::Time::FromLocalExploded(exploded, &time))
    return base::Time();
  return time;
}

bool IsTaskNotFound(HRESULT hr) {
  return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ||
         hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
}

bool IsValidDailyInterval(int days) {
  if (days >= 1 && days <= kMaxDailyInterval)
    return true;
  LOG(ERROR) << "Invalid daily interval " << days;
  return false;
}

bool GetTaskAccount(std::wstring* account) {
  if (GetUserNameEx(account, NameSamCompatible))
    return true;
  LOG(ERROR) << "Could not read the account name of the task's user";
  return false;
}

bool TaskStep(HRESULT hr, const char* what, HRESULT* result) {
  *result = hr;
  LOG_IF(ERROR, FAILED(hr))
      << "Task Scheduler: " << what << " failed: " << HResultText(hr);
  return SUCCEEDED(hr);
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
