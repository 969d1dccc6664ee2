#include "desktop/windows/crash_reporter/self_crash_reporter.h"

#include "base/logging.h"
#include "base/win/registry.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/crash_reporter/crash_reporter_client.h"
#include "desktop/windows/installer/service/utils.h"

namespace crash_reporter {

const wchar_t kCrashReporterExceptionEventPrefix[] =
    L"KelvoCrashReporterException";
const wchar_t kLastCrashReporterCrashValue[] = L"Last crash in crash reporter";

namespace {

constexpr int64_t kFileTimeUnitsPerDay = 864000000000LL;

CrashReporterExceptionInfo g_exception_info = {};

int64_t FileTimeToInt64(const FILETIME& time) {
  ULARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  return static_cast<int64_t>(value.QuadPart);
}

LONG OpenProductKey(base::win::RegKey* key) {
  return key->Create(HKEY_CURRENT_USER,
                     installer::GetProductRegistryKey().c_str(),
                     KEY_QUERY_VALUE | KEY_SET_VALUE);
}

}  // namespace

CrashReporterExceptionInfo* GetCrashReporterExceptionInfo() {
  return &g_exception_info;
}

bool GetDaysSinceLastCrashReporterCrash(int64_t* days) {
  base::win::RegKey key;
  if (OpenProductKey(&key) != ERROR_SUCCESS)
    return false;
  int64_t last = 0;
  LONG result = key.ReadInt64(kLastCrashReporterCrashValue, &last);
  if (result == ERROR_FILE_NOT_FOUND) {
    last = 0;
    if (key.WriteValue(kLastCrashReporterCrashValue, &last, sizeof(last),
                       REG_QWORD) != ERROR_SUCCESS) {
      return false;
    }
  } else if (result != ERROR_SUCCESS) {
    return false;
  }
  SYSTEMTIME now_utc;
  FILETIME now;
  ::GetSystemTime(&now_utc);
  if (!::SystemTimeToFileTime(&now_utc, &now))
    return false;
  int64_t now_value = FileTimeToInt64(now);
  if (last > now_value)
    return false;
  *days = (now_value - last) / kFileTimeUnitsPerDay;
  return true;
}

void SetLastCrashReporterCrashTime(const SYSTEMTIME& utc) {
  FILETIME time;
  base::win::RegKey key;
  if (!::SystemTimeToFileTime(&utc, &time) ||
      OpenProductKey(&key) != ERROR_SUCCESS) {
    LOG(ERROR) << "Cannot record the time of the reporter's crash";
    return;
  }
  int64_t value = FileTimeToInt64(time);
  if (key.WriteValue(kLastCrashReporterCrashValue, &value, sizeof(value),
                     REG_QWORD) != ERROR_SUCCESS) {
    LOG(ERROR) << "Cannot record the time of the reporter's crash";
  }
}

void SignalCrashReporterExceptionEvent(DWORD pid) {
  std::wstring event_name =
      FormatCrashReporterObjectName(kCrashReporterExceptionEventPrefix, pid);
  if (event_name.empty())
    return;
  base::win::ScopedHandle event(
      ::CreateEventW(nullptr, TRUE, FALSE, event_name.c_str()));
  if (event.IsValid())
    ::SetEvent(event.Get());
}

}  // namespace crash_reporter
