// One thread of a crashed process, as the text crash log reads it.

#ifndef COMPONENTS_CRASH_REPORT_THREAD_INFO_H_
#define COMPONENTS_CRASH_REPORT_THREAD_INFO_H_

#include <stdint.h>

namespace crash_report {

struct RegisterRecord;

class ThreadInfo {
 public:
  virtual ~ThreadInfo() = default;

  virtual uint32_t GetThreadId() const = 0;
  virtual int32_t GetPriority() const = 0;
  virtual const RegisterRecord* GetRegisters() const = 0;
  // Bytes from the stack pointer to the end of the thread's stack region;
  // 0 when that region was not found.
  virtual uint64_t GetStackSize() const = 0;
  virtual bool IsCrashed() const = 0;
};

}  // namespace crash_report

#endif  // COMPONENTS_CRASH_REPORT_THREAD_INFO_H_
