// What a crash file says besides the state of the crashed process: the
// build in its header and the crash's metadata lines.

#ifndef COMPONENTS_CRASH_REPORT_CRASH_INFO_H_
#define COMPONENTS_CRASH_REPORT_CRASH_INFO_H_

#include <string>
#include <utility>
#include <vector>

namespace crash_report {

struct CrashInfo {
  CrashInfo();
  CrashInfo(const CrashInfo&);
  CrashInfo& operator=(const CrashInfo&);
  ~CrashInfo();

  std::string product_suffix;
  std::string version;
  std::string build_number;
  // Written in order as key="value" lines.
  std::vector<std::pair<std::string, std::string>> metadata;
};

}  // namespace crash_report

#endif  // COMPONENTS_CRASH_REPORT_CRASH_INFO_H_
