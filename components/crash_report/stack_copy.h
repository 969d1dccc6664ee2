// The copy of a thread's stack that a text crash log dumps and searches for
// pointers: at most 8 KiB from the stack pointer, shrunk page by page when
// the end cannot be read, then trimmed to what is likely in use.

#ifndef COMPONENTS_CRASH_REPORT_STACK_COPY_H_
#define COMPONENTS_CRASH_REPORT_STACK_COPY_H_

#include <stdint.h>

#include <vector>

namespace crash_report {

class RemoteMemoryReader;
class ThreadInfo;

struct StackCopy {
  StackCopy();
  StackCopy(StackCopy&&);
  StackCopy& operator=(StackCopy&&);
  ~StackCopy();

  bool Contains(uint64_t address) const {
    return address >= start && address - start < bytes.size();
  }

  uint64_t start = 0;
  std::vector<uint8_t> bytes;
};

// Longest copy, and shortest for the crashed thread.
constexpr uint64_t kMaxStackCopySize = 8192;
constexpr uint64_t kMinCrashedStackCopySize = 512;

// The stack copy of |thread|; empty when its stack pointer lies in the
// first page or no part of the stack can be read.
StackCopy ReadStackCopy(RemoteMemoryReader* reader, const ThreadInfo& thread);

}  // namespace crash_report

#endif  // COMPONENTS_CRASH_REPORT_STACK_COPY_H_
