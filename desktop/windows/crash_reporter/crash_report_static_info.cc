#include "desktop/windows/crash_reporter/crash_report_static_info.h"

#include <windows.h>

#include "base/lazy_instance_helpers.h"
#include "base/logging.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/crash_reporter/crash_reporter_settings.h"

namespace crash_reporter {

namespace {

// Keys whose name in the minidump upload differs, or that the collector
// indexes under their own name.
const wchar_t* const kKeyMap[][2] = {
    {L"Version", L"Version"},
    {L"build_number", L"UBN"},
    {L"process_type", L"ProcessType"},
    {L"URL", L"URL"},
    {L"gpu_vendor_id", L"gpu_vendor_id"},
    {L"gpu_device_id", L"gpu_device_id"},
    {L"gpu_driver_version", L"gpu_driver_version"},
    {L"gpu_pixel_shader_version", L"gpu_pixel_shader_version"},
    {L"gpu_vertex_shader_version", L"gpu_vertex_shader_version"},
    {L"enabled_extensions", L"enabled_extensions"},
    {L"disabled_extensions", L"disabled_extensions"},
    {L"blacklisted_extensions", L"blacklisted_extensions"},
    {L"terminated_extensions", L"terminated_extensions"},
    {L"third_party_installs", L"third_party_installs"},
    {L"ab_tests", L"ab_tests"},
};

base::LazySingleton<CrashReportStaticInfo> g_static_info;

std::string Hex(unsigned value) {
  return base::StringPrintf("0x%x", value);
}

}  // namespace

CrashReportStaticInfo::CrashReportStaticInfo() {
  OSVERSIONINFOEXW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  if (::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version))) {
    os_version_ =
        base::StringPrintf("%lu.%lu.%lu", version.dwMajorVersion,
                           version.dwMinorVersion, version.dwBuildNumber);
    if (version.wServicePackMajor) {
      os_service_pack_version_ = base::StringPrintf(
          "%u.%u", version.wServicePackMajor, version.wServicePackMinor);
    }
  } else {
    PLOG(WARNING) << "No system version for crash reports";
  }
  SYSTEM_INFO system = {};
  ::GetNativeSystemInfo(&system);
  cpu_architecture_ = Hex(system.wProcessorArchitecture);
  cpu_level_ = Hex(system.wProcessorLevel);
  cpu_revision_ = Hex(system.wProcessorRevision);
  email_ = base::UTF8ToWide(GetEnvironmentVariableString(
      MakeProductEnvVarName(kCrashEmailEnvSuffix)));
  for (const auto& row : kKeyMap)
    key_map_.emplace(row[0], row[1]);
}

CrashReportStaticInfo::~CrashReportStaticInfo() = default;

// static
const CrashReportStaticInfo& CrashReportStaticInfo::GetInstance() {
  return *g_static_info.Get();
}

}  // namespace crash_reporter
