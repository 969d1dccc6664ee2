// A read-only model of a crashed process: the exception, its threads (the
// crashed one first), its modules and a reader of its memory. The text
// crash log is written from it; tests give it a process of their own.

#ifndef COMPONENTS_CRASH_REPORT_PROCESS_STATE_H_
#define COMPONENTS_CRASH_REPORT_PROCESS_STATE_H_

#include <windows.h>

#include <stdint.h>

#include <memory>
#include <vector>

#include "components/crash_report/module_info.h"
#include "components/crash_report/thread_info.h"

// <excpt.h> makes GetExceptionCode a macro for the __except blocks of other
// compilers; this one has none, and the model keeps the accessor's name.
#undef GetExceptionCode

namespace crash_report {

class RemoteMemoryReader;

class ProcessState {
 public:
  using ThreadList = std::vector<std::unique_ptr<ThreadInfo>>;
  using ModuleList = std::vector<std::unique_ptr<ModuleInfo>>;

  virtual ~ProcessState() = default;

  // Whether the byte at |address| can be read.
  virtual bool IsReadable(uint64_t address) const = 0;
  virtual uint32_t GetExceptionCode() const = 0;
  // A readable name of the exception, or null when it has none.
  virtual const char* GetExceptionName() const = 0;
  virtual uint64_t GetExceptionAddress() const = 0;
  virtual const ThreadList& GetThreads() const = 0;
  // The executable's module, or null when it was not found.
  virtual const ModuleInfo* GetMainModule() const = 0;
  virtual const ModuleList& GetModules() const = 0;
  // A new reader of the process's memory, or null when there is none.
  virtual std::unique_ptr<RemoteMemoryReader> CreateMemoryReader() const = 0;
};

}  // namespace crash_report

#endif  // COMPONENTS_CRASH_REPORT_PROCESS_STATE_H_
