#include "desktop/windows/crash_reporter/crash_reporter_logging.h"

#include <windows.h>

#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/crash_reporter/crash_logger_capture.h"
#include "desktop/windows/installer/product/version_info.h"

namespace crash_reporter {

namespace {

constexpr DWORD kMaxLogPathLength = MAX_PATH + 1;

}  // namespace

std::wstring GetCrashReporterLogPath() {
  wchar_t temp[kMaxLogPathLength];
  DWORD length = ::GetTempPathW(kMaxLogPathLength, temp);
  if (length == 0 || length >= kMaxLogPathLength)
    return std::wstring();
  std::wstring path(temp, length);
  path += base::UTF8ToWide(base::ToLowerASCII(installer::GetProductName()) +
                           "_crashreporter.log");
  return path.size() < kMaxLogPathLength ? path : std::wstring();
}

void InitCrashReporterLogging() {
  logging::LoggingSettings settings;
  settings.log_file = GetCrashReporterLogPath();
  settings.logging_dest = settings.log_file.empty()
                              ? logging::LOG_TO_SYSTEM_DEBUG_LOG
                              : logging::LOG_TO_FILE;
  settings.lock_log = logging::LOCK_LOG_FILE;
  settings.delete_old = logging::DELETE_OLD_LOG_FILE;
  logging::InitLogging(settings);
  logging::SetLogItems(true, true, true, true);
  logging::SetMinLogLevel(logging::LOG_INFO);
  logging::SetLogMessageHandler(&CrashLoggerCapture::HandleLogMessage);
}

}  // namespace crash_reporter
