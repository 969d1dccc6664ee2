// The module list that an installer process keeps among its crash keys, in
// records "name:BASE:size:path::" (hexadecimal base and size), read back by
// the reporter when it cannot list the crashed process's modules itself.

#ifndef COMPONENTS_CRASH_REPORT_MODULE_LIST_H_
#define COMPONENTS_CRASH_REPORT_MODULE_LIST_H_

#include <stdint.h>

#include <string>
#include <string_view>
#include <vector>

namespace crash_report {

struct ModuleRecord {
  std::wstring name;
  uint64_t base_address = 0;
  uint64_t size = 0;
  std::wstring path;
};

// The records of |text| up to the first malformed one, which ends the list.
std::vector<ModuleRecord> ParseModuleList(std::wstring_view text);

}  // namespace crash_report

#endif  // COMPONENTS_CRASH_REPORT_MODULE_LIST_H_
