#include "components/crash_report/test/minidump_streams.h"

#include <string.h>

namespace crash_report {

std::map<uint32_t, std::string> ReadMinidumpStreams(const std::string& dump) {
  std::map<uint32_t, std::string> streams;
  uint32_t count = 0;
  uint32_t directory = 0;
  if (dump.size() < 32 || dump.compare(0, 4, "MDMP"))
    return streams;
  memcpy(&count, dump.data() + 8, 4);
  memcpy(&directory, dump.data() + 12, 4);
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t entry[3];  // Type, size, offset.
    if (directory + 12 * (i + uint64_t{1}) > dump.size())
      break;
    memcpy(entry, dump.data() + directory + 12 * i, sizeof(entry));
    if (entry[2] + uint64_t{entry[1]} <= dump.size())
      streams[entry[0]] = dump.substr(entry[2], entry[1]);
  }
  return streams;
}

}  // namespace crash_report
