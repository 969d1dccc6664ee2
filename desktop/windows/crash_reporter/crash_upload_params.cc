#include "desktop/windows/crash_reporter/crash_upload_params.h"

#include <limits>

#include "base/files/file_path.h"
#include "base/logging.h"
#include "base/process/process_handle.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/crash_reporter/crash_key_reader.h"
#include "desktop/windows/crash_reporter/crash_report_static_info.h"
#include "desktop/windows/crash_reporter/crash_reporter_settings.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/product/version_info.h"

namespace crash_reporter {

namespace {

// A run time of fewer digits is under a second, one of more is no run
// time a process could have had.
constexpr size_t kMinUptimeDigits = 4;
constexpr size_t kMaxUptimeDigits = 13;
// From 1601-01-01, where FILETIME counts, to 1970-01-01.
constexpr int64_t kUnixEpochInFileTimeMicroseconds = 11644473600000000LL;

void SetParam(UploadParams* params,
              const std::wstring& name,
              const std::wstring& value) {
  params->emplace(name, value);
}

// Times are microseconds since 1970, kept within int64 rather than
// wrapping: a hostile "ptime" must not turn into a time in the past.
int64_t SaturatedAdd(int64_t a, int64_t b) {
  int64_t sum = 0;
  if (!__builtin_add_overflow(a, b, &sum))
    return sum;
  return b > 0 ? std::numeric_limits<int64_t>::max()
               : std::numeric_limits<int64_t>::min();
}

int64_t SaturatedSub(int64_t a, int64_t b) {
  int64_t difference = 0;
  if (!__builtin_sub_overflow(a, b, &difference))
    return difference;
  return b < 0 ? std::numeric_limits<int64_t>::max()
               : std::numeric_limits<int64_t>::min();
}

int64_t MillisecondsToMicroseconds(int64_t ms) {
  int64_t us = 0;
  if (!__builtin_mul_overflow(ms, int64_t{1000}, &us))
    return us;
  return ms > 0 ? std::numeric_limits<int64_t>::max()
                : std::numeric_limits<int64_t>::min();
}

int64_t FileTimeToUnixMicroseconds(const FILETIME& time) {
  ULARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  // 100-ns units; the largest FILETIME still fits after the division.
  return static_cast<int64_t>(value.QuadPart / 10) -
         kUnixEpochInFileTimeMicroseconds;
}

int64_t NowUnixMicroseconds() {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  return FileTimeToUnixMicroseconds(now);
}

bool GetProcessCreationTime(HANDLE process, int64_t* time) {
  FILETIME creation, exit, kernel, user;
  if (!process ||
      !::GetProcessTimes(process, &creation, &exit, &kernel, &user)) {
    return false;
  }
  *time = FileTimeToUnixMicroseconds(creation);
  return true;
}

// When the executable of |process| was created: when it was installed.
bool GetInstallTime(HANDLE process, int64_t* time) {
  base::FilePath image;
  if (!base::GetProcessImagePath(process, &image))
    return false;
  base::win::ScopedHandle file(
      ::CreateFileW(image.value().c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr));
  FILETIME creation;
  if (!file.IsValid() ||
      !::GetFileTime(file.Get(), &creation, nullptr, nullptr)) {
    return false;
  }
  *time = FileTimeToUnixMicroseconds(creation);
  return true;
}

}  // namespace

void AddEmailParam(UploadParams* params) {
  const std::wstring& email = CrashReportStaticInfo::GetInstance().email();
  if (!email.empty())
    SetParam(params, L"email", email);
}

void AddEmailParamCapitalized(UploadParams* params) {
  const std::wstring& email = CrashReportStaticInfo::GetInstance().email();
  if (!email.empty())
    SetParam(params, L"Email", email);
}

void BuildTextLogUploadParams(const crash_handler::CustomClientInfo& keys,
                              UploadParams* params) {
  AddEmailParam(params);
  std::wstring uptime;
  if (GetCrashKeyValue(keys, L"ptime", &uptime) &&
      uptime.size() >= kMinUptimeDigits && uptime.size() <= kMaxUptimeDigits) {
    SetParam(params, L"ptime", uptime.substr(0, uptime.size() - 3));
  }
  SetParam(params, L"origin", GetCrashOrigin(keys));
  std::wstring url;
  if (!IsBrowserProcessType(keys) &&
      GetJoinedCrashKeyValue(keys, L"URL", &url)) {
    SetParam(params, L"URL", url);
  }
  SetParam(params, L"ProductName",
           base::UTF8ToWide(installer::GetProductName()));
  SetParam(params, L"Version",
           base::UTF8ToWide(installer::GetProductVersion()));
  SetParam(params, L"build_number",
           base::NumberToString16(installer::GetBuildNumber()));
  SetParam(params, L"ReleaseChannel", base::UTF8ToWide(installer::GetStream()));
}

void AddStacktraceIdParam(const std::wstring& crash_id, UploadParams* params) {
  if (!crash_id.empty())
    SetParam(params, L"stacktraceId", crash_id);
}

void BuildMinidumpUploadParams(HANDLE process,
                               const crash_handler::CustomClientInfo& keys,
                               UploadParams* params) {
  AddEmailParamCapitalized(params);
  const auto& key_map = CrashReportStaticInfo::GetInstance().key_map();
  for (size_t i = 0; i < keys.count; ++i) {
    auto mapped = key_map.find(GetCrashKeyName(keys.entries[i]));
    // Every mapped key the process has is sent, empty or not; a value
    // spread over a range is rejoined.
    if (mapped != key_map.end())
      (*params)[mapped->second] += GetCrashKeyText(keys.entries[i]);
  }
  SetParam(params, L"Origin", GetCrashOrigin(keys));
  AddCrashTimeParams(process, &keys, params);
  AddProductUploadParams(params);
}

void BuildCrashReporterMinidumpParams(DWORD pid, UploadParams* params) {
  AddEmailParamCapitalized(params);
  SetParam(params, L"ProcessType", L"crash_reporter");
  base::win::ScopedHandle process(
      ::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid));
  if (!process.IsValid())
    PLOG(WARNING) << "Cannot open the crashed reporter " << pid;
  AddCrashTimeParams(process.Get(), nullptr, params);
  AddProductUploadParams(params);
}

void AddCrashTimeParams(HANDLE process,
                        const crash_handler::CustomClientInfo* keys,
                        UploadParams* params) {
  std::wstring uptime_text;
  int64_t uptime_ms = 0;
  bool has_uptime = keys && GetCrashKeyValue(*keys, L"ptime", &uptime_text) &&
                    base::StringToInt64(uptime_text, &uptime_ms);
  int64_t uptime = MillisecondsToMicroseconds(uptime_ms);
  int64_t start = 0;
  int64_t crash = 0;
  if (GetProcessCreationTime(process, &start)) {
    crash = has_uptime ? SaturatedAdd(start, uptime) : NowUnixMicroseconds();
  } else {
    crash = NowUnixMicroseconds();
    start = has_uptime ? SaturatedSub(crash, uptime) : crash;
  }
  SetParam(params, L"StartupTime", FormatUnixSeconds(start));
  SetParam(params, L"CrashTime", FormatUnixSeconds(crash));
  int64_t install = 0;
  if (process && GetInstallTime(process, &install))
    SetParam(params, L"InstallTime", FormatUnixSeconds(install));
}

void AddProductUploadParams(UploadParams* params) {
  SetParam(params, L"ProductName",
           base::UTF8ToWide(installer::GetCrashUploadProductName()));
  SetParam(params, L"Version",
           base::UTF8ToWide(installer::GetProductVersion()));
  SetParam(params, L"UBN", base::NumberToString16(installer::GetBuildNumber()));
  SetParam(params, L"ReleaseChannel", GetCrashReleaseChannel());
  SetParam(params, L"BuildID", GetCrashBuildId());
  auto process_type = params->find(L"ProcessType");
  SetParam(params, L"symbols-package",
           GetSymbolsPackageName(process_type == params->end()
                                     ? std::wstring()
                                     : process_type->second));
}

std::wstring FormatUnixSeconds(int64_t microseconds) {
  return base::NumberToString16(microseconds / 1000000);
}

}  // namespace crash_reporter
