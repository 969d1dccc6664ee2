// The model of a crashed process read from outside through the debug,
// Tool Help and PSAPI functions, while the process is held still in its
// crash handler.
//
//   ProcessStateImpl state;
//   if (!state.Init(pid, exception_pointers_address, thread_id_address,
//                   fallback_modules))
//     return false;  // The exception could not be read.
//   WriteTextCrashLog(&ranges, state, info, path);

#ifndef COMPONENTS_CRASH_REPORT_PROCESS_STATE_IMPL_H_
#define COMPONENTS_CRASH_REPORT_PROCESS_STATE_IMPL_H_

#include <windows.h>

#include <stdint.h>

#include <string>
#include <vector>

#include "base/win/scoped_handle.h"
#include "components/crash_report/module_list.h"
#include "components/crash_report/process_state.h"

namespace crash_report {

class ProcessStateImpl : public ProcessState {
 public:
  ProcessStateImpl();
  ProcessStateImpl(const ProcessStateImpl&) = delete;
  ProcessStateImpl& operator=(const ProcessStateImpl&) = delete;
  ~ProcessStateImpl() override;

  // Reads process |pid|. |exception_pointers_address| is the address, in
  // that process, of a variable holding the crash's EXCEPTION_POINTERS*;
  // |thread_id_address| that of the crashed thread's id. |fallback_modules|
  // stand in when the process's modules cannot be listed. False when the
  // process cannot be opened or the exception cannot be read.
  bool Init(uint32_t pid,
            uint64_t exception_pointers_address,
            uint64_t thread_id_address,
            const std::vector<ModuleRecord>& fallback_modules);

  // ProcessState:
  bool IsReadable(uint64_t address) const override;
  uint32_t GetExceptionCode() const override;
  const char* GetExceptionName() const override;
  uint64_t GetExceptionAddress() const override;
  const ThreadList& GetThreads() const override;
  const ModuleInfo* GetMainModule() const override;
  const ModuleList& GetModules() const override;
  std::unique_ptr<RemoteMemoryReader> CreateMemoryReader() const override;

  // The process's memory counters, in bytes.
  uint64_t working_set_size() const { return working_set_size_; }
  uint64_t peak_working_set_size() const { return peak_working_set_size_; }
  uint64_t private_usage() const { return private_usage_; }

 private:
  void ReadMemoryCounters();
  // The executable's path with a drive letter; empty when unknown.
  std::wstring GetImagePath() const;
  // Lists the modules; false when no snapshot could be taken.
  bool ReadModuleSnapshot(uint32_t pid,
                          const std::wstring& image_path,
                          std::vector<std::wstring>* paths);
  void AddModule(const std::wstring& name,
                 const std::wstring& path,
                 uint64_t base,
                 uint32_t size,
                 bool is_main);
  void ReadOtherThreads(uint32_t pid, uint32_t crashed_thread_id);

  base::win::ScopedHandle process_;
  const ModuleInfo* main_module_ = nullptr;
  ModuleList modules_;
  ThreadList threads_;
  uint32_t exception_code_ = 0;
  uint64_t exception_address_ = 0;
  uint64_t working_set_size_ = 0;
  uint64_t peak_working_set_size_ = 0;
  uint64_t private_usage_ = 0;
};

}  // namespace crash_report

#endif  // COMPONENTS_CRASH_REPORT_PROCESS_STATE_IMPL_H_
