// The crash keys of one installer process: 97 named text values at a fixed
// address for the life of the process, which the crash reporter reads out
// of the process's memory after a crash. The memory is read-only except
// during a write, so that a stray write elsewhere in the process cannot
// damage the keys that describe the crash.
//
// A key may cover a range of entries: its name stands in each, and a long
// value is spread over them in order (readers join the pieces).

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_KEY_TABLE_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_KEY_TABLE_H_

#include <stddef.h>

#include <string>

#include "base/synchronization/lock.h"
#include "components/crash_handler/crash_handler_types.h"

namespace crash_reporter {

class CrashKeyTable {
 public:
  // Entry numbers; a range runs from its First to its Last entry.
  enum Entry : size_t {
    kVersion = 0,
    kBuildNumber = 1,
    kBuildId = 2,
    kProcessType = 3,
    kCrashGuid = 4,
    kUrlFirst = 5,
    kUrlLast = 20,
    kGpuVendorId = 21,
    kGpuDeviceId = 22,
    kGpuDriverVersion = 23,
    kGpuPixelShaderVersion = 24,
    kGpuVertexShaderVersion = 25,
    kIsWow64 = 26,
    kExceptionPolicy = 27,
    kTestrigTestFirst = 28,
    kTestrigTestLast = 31,
    kOrigin = 32,
    kEnabledExtensionsFirst = 33,
    kEnabledExtensionsLast = 48,
    kDisabledExtensionsFirst = 49,
    kDisabledExtensionsLast = 64,
    kBlacklistedExtensionsFirst = 65,
    kBlacklistedExtensionsLast = 68,
    kTerminatedExtensionsFirst = 69,
    kTerminatedExtensionsLast = 72,
    kThirdPartyInstallsFirst = 73,
    kThirdPartyInstallsLast = 76,
    kModulesFirst = 77,
    kModulesLast = 92,
    kAbTestsFirst = 93,
    kAbTestsLast = 96,
    kEntryCount = 97,
  };

  // A table of its own: the process has one, from GetInstance; tests make
  // others.
  CrashKeyTable();
  CrashKeyTable(const CrashKeyTable&) = delete;
  CrashKeyTable& operator=(const CrashKeyTable&) = delete;
  ~CrashKeyTable();

  // The process's table, created and filled on first use and never
  // destroyed: it must outlive every possible crash.
  static CrashKeyTable* GetInstance();

  // {first entry, 97}, or {null, 0} when the memory could not be had.
  crash_handler::CustomClientInfo GetCustomClientInfo() const;

  // One entry's value: at most 63 characters of |text|; null is empty.
  void SetValue(size_t index, const wchar_t* text);
  // A long value over entries |first| to |last|, 63 characters each; the
  // entries it does not reach become empty and text beyond them is lost.
  void SetValueOverRange(size_t first, size_t last, const wchar_t* text);

 private:
  // Makes the block writable for |write| and read-only again; nothing is
  // written when the block cannot be made writable.
  template <typename Write>
  void WriteLocked(Write write);
  void FillNames();
  void FillFixedKeys();

  crash_handler::CustomInfoEntry* entries_ = nullptr;
  base::Lock lock_;
};

// The installer's own keys in the process's table: the process type, the
// test-rig and origin variables, and the module list.
void SetInstallerCrashKeys();

// One "name:BASE:size:path::" record for each loaded module the reporter
// wants to see, in a fixed order: the host executable, the browser's DLLs
// and a few system DLLs.
std::wstring BuildModuleList();

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_KEY_TABLE_H_
