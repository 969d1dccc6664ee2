#include "components/crash_report/remote_memory_reader.h"

#include <new>

#include "base/logging.h"

namespace crash_report {

namespace {

constexpr uint64_t kMaxLoggedFailures = 100;

}  // namespace

base::win::ScopedHandle OpenProcessForReading(uint32_t pid) {
  base::win::ScopedHandle process(
      ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
  if (!process.IsValid())
    PLOG(ERROR) << "OpenProcess failed for " << pid;
  return process;
}

bool ReadRemoteMemory(HANDLE process,
                      uint64_t address,
                      void* buffer,
                      size_t size) {
  SIZE_T bytes_read = 0;
  return ::ReadProcessMemory(process, reinterpret_cast<void*>(address), buffer,
                             size, &bytes_read) &&
         bytes_read == size;
}

RemoteMemoryReader::RemoteMemoryReader(HANDLE process) : process_(process) {}

RemoteMemoryReader::~RemoteMemoryReader() = default;

const uint8_t* RemoteMemoryReader::Read(uint64_t address,
                                        uint64_t size,
                                        uint64_t* count) {
  *count = 0;
  uint8_t* buffer = GetBuffer(size);
  if (!buffer)
    return nullptr;
  SIZE_T bytes_read = 0;
  if (size &&
      ::ReadProcessMemory(process_, reinterpret_cast<void*>(address), buffer,
                          size, &bytes_read) &&
      bytes_read == size) {
    *count = bytes_read;
    return buffer;
  }
  ReportFailure(address, size, bytes_read);
  return nullptr;
}

void RemoteMemoryReader::ReportFailure(uint64_t address,
                                       uint64_t size,
                                       uint64_t bytes_read) {
  ++failure_count_;
  if (failure_count_ > kMaxLoggedFailures)
    return;
  LOG(ERROR) << "ReadProcessMemory failed for address 0x" << std::hex << address
             << std::dec << " and size " << size
             << ", bytes_read=" << bytes_read;
  if (failure_count_ == kMaxLoggedFailures)
    LOG(INFO) << "Reached limit of logged memory read errors";
}

uint8_t* RemoteMemoryReader::GetBuffer(uint64_t size) {
  if (capacity_ < size) {
    buffer_.reset(new (std::nothrow) uint8_t[size]);
    capacity_ = buffer_ ? size : 0;
    if (!buffer_)
      LOG(ERROR) << "No memory for a read of " << size << " bytes";
  }
  return buffer_.get();
}

}  // namespace crash_report
