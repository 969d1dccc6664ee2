#include "base/win/windows_version.h"

#include "base/logging.h"

namespace base {
namespace win {

namespace {

using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);

// False when ntdll has no RtlGetVersion, which every supported Windows has.
bool GetRealVersion(OSVERSIONINFOEXW* info) {
  *info = {};
  info->dwOSVersionInfoSize = sizeof(*info);
  auto rtl_get_version = reinterpret_cast<RtlGetVersionFunction>(
      ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion"));
  return rtl_get_version && rtl_get_version(info) == 0;
}

}  // namespace

Version MajorMinorBuildToVersion(int major, int minor, int build) {
  if (major >= 10)
    return build >= 10586 ? VERSION_WIN10_TH2 : VERSION_WIN10;
  if (major == 6) {
    switch (minor) {
      case 0:
        return VERSION_VISTA;
      case 1:
        return VERSION_WIN7;
      case 2:
        return VERSION_WIN8;
      default:
        return VERSION_WIN8_1;
    }
  }
  if (major == 5 && minor >= 1)
    return minor == 1 ? VERSION_XP : VERSION_SERVER_2003;
  return major > 6 ? VERSION_WIN8_1 : VERSION_PRE_XP;
}

// static
OSInfo* OSInfo::GetInstance() {
  // Immutable and needed until the very end: never destroyed.
  static OSInfo* const info = new OSInfo();
  return info;
}

OSInfo::OSInfo() {
  OSVERSIONINFOEXW version_info;
  if (GetRealVersion(&version_info)) {
    version_number_ = {static_cast<int>(version_info.dwMajorVersion),
                       static_cast<int>(version_info.dwMinorVersion),
                       static_cast<int>(version_info.dwBuildNumber)};
    service_pack_ = {version_info.wServicePackMajor,
                     version_info.wServicePackMinor};
    version_ = MajorMinorBuildToVersion(
        version_number_.major, version_number_.minor, version_number_.build);
  } else {
    LOG(ERROR) << "RtlGetVersion is not available";
  }

  SYSTEM_INFO system_info = {};
  ::GetNativeSystemInfo(&system_info);
  switch (system_info.wProcessorArchitecture) {
    case PROCESSOR_ARCHITECTURE_INTEL:
      architecture_ = X86_ARCHITECTURE;
      break;
    case PROCESSOR_ARCHITECTURE_AMD64:
      architecture_ = X64_ARCHITECTURE;
      break;
    case PROCESSOR_ARCHITECTURE_IA64:
      architecture_ = IA64_ARCHITECTURE;
      break;
    default:
      architecture_ = OTHER_ARCHITECTURE;
  }
  processors_ = static_cast<int>(system_info.dwNumberOfProcessors);
  wow64_status_ = GetWOW64StatusForProcess(::GetCurrentProcess());
}

OSInfo::~OSInfo() = default;

// static
OSInfo::WOW64Status OSInfo::GetWOW64StatusForProcess(HANDLE process_handle) {
  BOOL is_wow64 = FALSE;
  if (!::IsWow64Process(process_handle, &is_wow64)) {
    PLOG(WARNING) << "IsWow64Process failed";
    return WOW64_UNKNOWN;
  }
  return is_wow64 ? WOW64_ENABLED : WOW64_DISABLED;
}

Version GetVersion() {
  return OSInfo::GetInstance()->version();
}

}  // namespace win
}  // namespace base
