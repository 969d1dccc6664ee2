#include "components/crash_report/crash_info.h"

namespace crash_report {

CrashInfo::CrashInfo() = default;
CrashInfo::CrashInfo(const CrashInfo&) = default;
CrashInfo& CrashInfo::operator=(const CrashInfo&) = default;
CrashInfo::~CrashInfo() = default;

}  // namespace crash_report
