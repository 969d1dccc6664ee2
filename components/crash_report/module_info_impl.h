// A module of a crashed process with what its file says about it: the link
// time stamp, where its code ends, its export name and its version text.
// The file comes from outside the reporter, so every read of it is bounded
// by the mapped file and by the sizes the file itself declares.

#ifndef COMPONENTS_CRASH_REPORT_MODULE_INFO_IMPL_H_
#define COMPONENTS_CRASH_REPORT_MODULE_INFO_IMPL_H_

#include <windows.h>

#include <stdint.h>

#include <string_view>

#include "components/crash_report/module_info.h"

namespace crash_report {

class ModuleInfoImpl : public ModuleInfo {
 public:
  // Longest name and version text kept, without the terminator.
  static constexpr size_t kMaxTextLength = 127;

  ModuleInfoImpl();
  ModuleInfoImpl(const ModuleInfoImpl&) = delete;
  ModuleInfoImpl& operator=(const ModuleInfoImpl&) = delete;
  ~ModuleInfoImpl() override;

  // Fills the module from |name| (may be empty) and its open |file| (may
  // be INVALID_HANDLE_VALUE: then only name, base and size are known).
  void Init(std::wstring_view name, HANDLE file, uint64_t base, uint32_t size);

  // ModuleInfo:
  const char* GetName() const override;
  uint64_t GetBaseAddress() const override;
  uint32_t GetSize() const override;
  uint64_t GetCodeStart() const override;
  uint64_t GetCodeSize() const override;
  const char* GetVersion() const override;
  uint32_t GetTimestamp() const override;

 private:
  // Reads what the mapped image says; missing pieces are logged.
  void ReadImage(const uint8_t* view, size_t length);
  const char* LogName() const;

  char name_[kMaxTextLength + 1] = {};
  char version_[kMaxTextLength + 1] = {};
  uint32_t timestamp_ = 0;
  uint64_t base_address_ = 0;
  uint32_t size_ = 0;
  uint64_t code_end_ = 0;
};

}  // namespace crash_report

#endif  // COMPONENTS_CRASH_REPORT_MODULE_INFO_IMPL_H_
