// Reads another process's memory into a buffer it owns and reuses. Read
// failures are logged, at most 100 of them, so that a badly damaged process
// cannot flood the reporter's log.

#ifndef COMPONENTS_CRASH_REPORT_REMOTE_MEMORY_READER_H_
#define COMPONENTS_CRASH_REPORT_REMOTE_MEMORY_READER_H_

#include <windows.h>

#include <stdint.h>

#include <memory>

#include "base/win/scoped_handle.h"

namespace crash_report {

// Opens process |pid| for reading its state and memory; logs a failure.
base::win::ScopedHandle OpenProcessForReading(uint32_t pid);

// Reads exactly |size| bytes at |address| of |process|; false when any of
// them cannot be read.
bool ReadRemoteMemory(HANDLE process,
                      uint64_t address,
                      void* buffer,
                      size_t size);

class RemoteMemoryReader {
 public:
  // |process| must stay open, with PROCESS_VM_READ, while the reader lives.
  explicit RemoteMemoryReader(HANDLE process);
  RemoteMemoryReader(const RemoteMemoryReader&) = delete;
  RemoteMemoryReader& operator=(const RemoteMemoryReader&) = delete;
  virtual ~RemoteMemoryReader();

  // Reads the whole of [address, address + size); the bytes, valid until
  // the next read, and their count, or null (count 0) when any of them
  // cannot be read.
  virtual const uint8_t* Read(uint64_t address, uint64_t size, uint64_t* count);

 protected:
  // Logs a failed read unless too many were logged already.
  void ReportFailure(uint64_t address, uint64_t size, uint64_t bytes_read);
  // A buffer of at least |size| bytes, or null when it cannot be had.
  uint8_t* GetBuffer(uint64_t size);

 private:
  const HANDLE process_;
  std::unique_ptr<uint8_t[]> buffer_;
  uint64_t capacity_ = 0;
  uint64_t failure_count_ = 0;
};

}  // namespace crash_report

#endif  // COMPONENTS_CRASH_REPORT_REMOTE_MEMORY_READER_H_
