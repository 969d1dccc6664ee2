#include "desktop/windows/installer/version_info.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

#include "base/process/process.h"
#include "base/process/process_handle.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/stringprintf.h"
#include "desktop/windows/installer/branding_config.h"
#include "desktop/windows/installer/build_constants.h"

namespace installer {

namespace {

// A parent that has exited leaves its id free for reuse; a process that
// started after us cannot be our parent.
bool StartedBeforeUs(HANDLE process) {
  FILETIME created, self_created, unused1, unused2, unused3;
  if (!::GetProcessTimes(process, &created, &unused1, &unused2, &unused3) ||
      !::GetProcessTimes(::GetCurrentProcess(), &self_created, &unused1,
                         &unused2, &unused3)) {
    return false;
  }
  return ::CompareFileTime(&created, &self_created) <= 0;
}

}  // namespace

int GetEngineMajorVersion() {
  std::string engine = KELVO_ENGINE_VERSION;
  std::string major = engine.substr(0, engine.find('.'));
  int value = 0;
  base::StringToInt(major, &value);
  return value;
}

int GetProductMajorVersion() {
  return KELVO_BASE_MAJOR_VERSION + GetMajorDelta();
}

std::string GetProductVersion() {
  int minor = UseEngineMajorForMinor() ? GetEngineMajorVersion() : 0;
  return base::StringPrintf("%d.%d.%d.%d", GetProductMajorVersion(), minor,
                            KELVO_INTERNAL_BUILD, 0);
}

std::string GetProductVersionString() {
  return GetProductVersion();
}

std::string GetInternalVersion() {
  return base::StringPrintf("%d.%d", KELVO_INTERNAL_BUILD, 0);
}

std::string GetStream() {
  return KELVO_STREAM;
}

int GetChannel() {
  return KELVO_CHANNEL;
}

std::string GetChannelName(int channel) {
  switch (channel) {
    case CHANNEL_NIGHTLY:
      return "Nightly";
    case CHANNEL_DEVELOPER:
      return "Developer";
    case CHANNEL_NEXT:
      return "Next";
    case CHANNEL_STABLE:
      return "Stable";
    default:
      return std::string();
  }
}

std::string GetEditionSuffix() {
  return " (Edition " + GetStream() + ")";
}

std::string GetDefaultFolderName() {
  return GetVisibleProductName() + " " + GetStream();
}

std::string GetProductName() {
  return GetBrandingProductName();
}

std::string GetUserAgentName() {
  return GetBrandingUserAgentName();
}

int32_t GetBuildNumber() {
  return KELVO_BUILD_NUMBER;
}

uint32_t GetBuildRevision() {
  return KELVO_BUILD_REVISION;
}

std::string GetBuildTimestamp() {
  return KELVO_BUILD_TIMESTAMP;
}

base::FilePath GetParentProcessImagePath() {
  base::ProcessId parent_id =
      base::GetParentProcessId(base::GetCurrentProcessHandle());
  base::Process parent =
      base::Process::OpenWithAccess(parent_id, base::kBasicProcessAccess);
  if (!parent.IsValid() || !StartedBeforeUs(parent.Handle()))
    return base::FilePath();
  wchar_t name[MAX_PATH];
  DWORD size = MAX_PATH;
  if (!::QueryFullProcessImageNameW(parent.Handle(), 0, name, &size))
    return base::FilePath();
  return base::FilePath(std::wstring(name, size));
}

void PrintToConsole(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(stdout, format, args);
  va_end(args);
  std::fflush(stdout);
}

}  // namespace installer
