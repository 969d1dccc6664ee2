#include "desktop/windows/installer/process/crash_reporter_pid.h"

#include <atomic>

#include "base/command_line.h"
#include "base/strings/string_number_conversions.h"
#include "desktop/windows/installer/product/installer_switches.h"

namespace installer {

namespace {

std::atomic<uint32_t> g_crash_reporter_pid{0};

}  // namespace

uint32_t GetCrashReporterProcessId() {
  return g_crash_reporter_pid.load();
}

void SetCrashReporterProcessId(uint32_t pid) {
  g_crash_reporter_pid.store(pid);
}

std::string GetCrashReporterPidText(const base::CommandLine& command_line) {
  if (uint32_t pid = GetCrashReporterProcessId())
    return base::UintToString(pid);
  // Until this process has a crash reporter of its own, it reports to the
  // one it was given, as its children will.
  unsigned pid = 0;
  if (!base::StringToUint(
          command_line.GetSwitchValueNative(switches::kCrashReporterPid),
          &pid)) {
    pid = 0;
  }
  return base::UintToString(pid);
}

}  // namespace installer
