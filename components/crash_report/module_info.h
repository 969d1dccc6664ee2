// One module loaded in a crashed process, as the text crash log reads it.

#ifndef COMPONENTS_CRASH_REPORT_MODULE_INFO_H_
#define COMPONENTS_CRASH_REPORT_MODULE_INFO_H_

#include <stdint.h>

namespace crash_report {

class ModuleInfo {
 public:
  virtual ~ModuleInfo() = default;

  // Narrow texts, NUL-terminated; empty when unknown.
  virtual const char* GetName() const = 0;
  virtual uint64_t GetBaseAddress() const = 0;
  virtual uint32_t GetSize() const = 0;
  // The module's code range: pointers into it are dumped narrowly.
  virtual uint64_t GetCodeStart() const = 0;
  virtual uint64_t GetCodeSize() const = 0;
  virtual const char* GetVersion() const = 0;
  // The link time stamp of the module's file; 0 when unknown.
  virtual uint32_t GetTimestamp() const = 0;
};

}  // namespace crash_report

#endif  // COMPONENTS_CRASH_REPORT_MODULE_INFO_H_
