// A crashed process made up by a test: threads, modules and readable
// memory as the test sets them, for the code that reads a ProcessState.

#ifndef COMPONENTS_CRASH_REPORT_TEST_FAKE_PROCESS_STATE_H_
#define COMPONENTS_CRASH_REPORT_TEST_FAKE_PROCESS_STATE_H_

#include <stdint.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "components/crash_report/process_state.h"
#include "components/crash_report/register_record.h"
#include "components/crash_report/remote_memory_reader.h"

namespace crash_report {

// Readable regions of a made-up address space; everything else is not.
class FakeMemory {
 public:
  // Makes [start, start + bytes.size()) readable with these contents.
  void Map(uint64_t start, std::vector<uint8_t> bytes);
  void MapZeros(uint64_t start, uint64_t size);
  void WriteWord(uint64_t address, uint64_t value);

  bool IsReadable(uint64_t address) const;
  // False unless every byte lies in one region.
  bool Read(uint64_t address, uint64_t size, uint8_t* out) const;

  int read_count() const { return read_count_; }

 private:
  std::map<uint64_t, std::vector<uint8_t>> regions_;
  mutable int read_count_ = 0;
};

class FakeMemoryReader : public RemoteMemoryReader {
 public:
  explicit FakeMemoryReader(const FakeMemory* memory);
  const uint8_t* Read(uint64_t address,
                      uint64_t size,
                      uint64_t* count) override;

 private:
  const FakeMemory* const memory_;
};

class FakeThread : public ThreadInfo {
 public:
  FakeThread(uint32_t id, bool crashed);
  uint32_t GetThreadId() const override { return id; }
  int32_t GetPriority() const override { return priority; }
  const RegisterRecord* GetRegisters() const override { return &registers; }
  uint64_t GetStackSize() const override { return stack_size; }
  bool IsCrashed() const override { return crashed; }

  uint32_t id;
  bool crashed;
  int32_t priority = 0;
  uint64_t stack_size = 0;
  RegisterRecord registers = {};
};

class FakeModule : public ModuleInfo {
 public:
  FakeModule(std::string name, uint64_t base, uint32_t size);
  const char* GetName() const override { return name.c_str(); }
  uint64_t GetBaseAddress() const override { return base; }
  uint32_t GetSize() const override { return size; }
  uint64_t GetCodeStart() const override { return base; }
  uint64_t GetCodeSize() const override { return code_size; }
  const char* GetVersion() const override { return version.c_str(); }
  uint32_t GetTimestamp() const override { return timestamp; }

  std::string name;
  uint64_t base;
  uint32_t size;
  uint64_t code_size = 0;
  std::string version;
  uint32_t timestamp = 0;
};

class FakeProcessState : public ProcessState {
 public:
  FakeThread* AddThread(uint32_t id, bool crashed);
  FakeModule* AddModule(std::string name, uint64_t base, uint32_t size);

  bool IsReadable(uint64_t address) const override;
  uint32_t GetExceptionCode() const override { return fault_code; }
  const char* GetExceptionName() const override { return nullptr; }
  uint64_t GetExceptionAddress() const override { return fault_address; }
  const ThreadList& GetThreads() const override { return threads_; }
  const ModuleInfo* GetMainModule() const override { return main_module; }
  const ModuleList& GetModules() const override { return modules_; }
  std::unique_ptr<RemoteMemoryReader> CreateMemoryReader() const override;

  FakeMemory memory;
  uint32_t fault_code = 0;
  uint64_t fault_address = 0;
  const ModuleInfo* main_module = nullptr;
  bool has_reader = true;

 private:
  ThreadList threads_;
  ModuleList modules_;
};

}  // namespace crash_report

#endif  // COMPONENTS_CRASH_REPORT_TEST_FAKE_PROCESS_STATE_H_
