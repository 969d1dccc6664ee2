#include "desktop/windows/crash_reporter/crash_key_table.h"

#include <windows.h>

#include <psapi.h>
#include <wchar.h>

#include <algorithm>
#include <iomanip>
#include <iterator>
#include <sstream>

#include "base/environment.h"
#include "base/logging.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/crash_reporter/crash_reporter_settings.h"
#include "desktop/windows/installer/product/version_info.h"

namespace crash_reporter {

namespace {

using crash_handler::CustomInfoEntry;

constexpr size_t kMaxValueLength = CustomInfoEntry::kValueMaxLength - 1;
constexpr size_t kBlockSize =
    CrashKeyTable::kEntryCount * sizeof(CustomInfoEntry);

struct KeyRange {
  size_t first;
  size_t last;
  const wchar_t* name;
};

constexpr KeyRange kKeyNames[] = {
    {CrashKeyTable::kVersion, CrashKeyTable::kVersion, L"Version"},
    {CrashKeyTable::kBuildNumber, CrashKeyTable::kBuildNumber, L"build_number"},
    {CrashKeyTable::kBuildId, CrashKeyTable::kBuildId, L"BuildID"},
    {CrashKeyTable::kProcessType, CrashKeyTable::kProcessType, L"process_type"},
    {CrashKeyTable::kCrashGuid, CrashKeyTable::kCrashGuid, L"crash_guid"},
    {CrashKeyTable::kUrlFirst, CrashKeyTable::kUrlLast, L"URL"},
    {CrashKeyTable::kGpuVendorId, CrashKeyTable::kGpuVendorId,
     L"gpu_vendor_id"},
    {CrashKeyTable::kGpuDeviceId, CrashKeyTable::kGpuDeviceId,
     L"gpu_device_id"},
    {CrashKeyTable::kGpuDriverVersion, CrashKeyTable::kGpuDriverVersion,
     L"gpu_driver_version"},
    {CrashKeyTable::kGpuPixelShaderVersion,
     CrashKeyTable::kGpuPixelShaderVersion, L"gpu_pixel_shader_version"},
    {CrashKeyTable::kGpuVertexShaderVersion,
     CrashKeyTable::kGpuVertexShaderVersion, L"gpu_vertex_shader_version"},
    {CrashKeyTable::kIsWow64, CrashKeyTable::kIsWow64, L"is_wow64"},
    {CrashKeyTable::kExceptionPolicy, CrashKeyTable::kExceptionPolicy,
     L"exception_policy"},
    {CrashKeyTable::kTestrigTestFirst, CrashKeyTable::kTestrigTestLast,
     L"testrig_test"},
    {CrashKeyTable::kOrigin, CrashKeyTable::kOrigin, L"origin"},
    {CrashKeyTable::kEnabledExtensionsFirst,
     CrashKeyTable::kEnabledExtensionsLast, L"enabled_extensions"},
    {CrashKeyTable::kDisabledExtensionsFirst,
     CrashKeyTable::kDisabledExtensionsLast, L"disabled_extensions"},
    {CrashKeyTable::kBlacklistedExtensionsFirst,
     CrashKeyTable::kBlacklistedExtensionsLast, L"blacklisted_extensions"},
    {CrashKeyTable::kTerminatedExtensionsFirst,
     CrashKeyTable::kTerminatedExtensionsLast, L"terminated_extensions"},
    {CrashKeyTable::kThirdPartyInstallsFirst,
     CrashKeyTable::kThirdPartyInstallsLast, L"third_party_installs"},
    {CrashKeyTable::kModulesFirst, CrashKeyTable::kModulesLast, L"modules"},
    {CrashKeyTable::kAbTestsFirst, CrashKeyTable::kAbTestsLast, L"ab_tests"},
};

// The modules of the module list, in its order; null is the host
// executable.
const wchar_t* const kListedModules[] = {
    nullptr,           L"kelvo_browser.dll", L"kelvo_child.dll",
    L"KernelBase.dll", L"kernel32.dll",      L"ntdll.dll",
    L"user32.dll",     L"msvcrt.dll",
};

void StoreText(CustomInfoEntry* entry, const wchar_t* text, size_t length) {
  length = std::min(length, kMaxValueLength);
  wmemcpy(entry->value, text, length);
  entry->value[length] = L'\0';
}

std::wstring GetEnvironmentText(const char* name) {
  return base::UTF8ToWide(GetEnvironmentVariableString(name));
}

// The record of one module, or empty text when it is not loaded or cannot
// be described.
std::wstring ModuleRecord(const wchar_t* name) {
  HMODULE module = ::GetModuleHandleW(name);
  MODULEINFO info = {};
  wchar_t path[MAX_PATH];
  if (!module || !::GetModuleInformation(::GetCurrentProcess(), module, &info,
                                         sizeof(info))) {
    return std::wstring();
  }
  DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return std::wstring();
  std::wstring full_path(path, length);
  std::wstring module_name =
      name ? name : full_path.substr(full_path.find_last_of(L'\\') + 1);
  std::wostringstream record;
  record << module_name << L':' << std::hex << std::uppercase
         << std::setfill(L'0') << std::setw(16)
         << reinterpret_cast<uintptr_t>(info.lpBaseOfDll) << L':'
         << std::nouppercase << std::setw(0) << info.SizeOfImage << L':'
         << full_path << L"::";
  return record.str();
}

}  // namespace

CrashKeyTable::CrashKeyTable() {
  entries_ = static_cast<CustomInfoEntry*>(::VirtualAlloc(
      nullptr, kBlockSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (!entries_) {
    PLOG(ERROR) << "No memory for the crash keys";
    return;
  }
  FillNames();
  FillFixedKeys();
  DWORD old_protection = 0;
  ::VirtualProtect(entries_, kBlockSize, PAGE_READONLY, &old_protection);
}

CrashKeyTable::~CrashKeyTable() {
  if (entries_)
    ::VirtualFree(entries_, 0, MEM_RELEASE);
}

// static
CrashKeyTable* CrashKeyTable::GetInstance() {
  // Never deleted, on purpose.
  static CrashKeyTable* table = new CrashKeyTable();
  return table;
}

crash_handler::CustomClientInfo CrashKeyTable::GetCustomClientInfo() const {
  if (!entries_)
    return {nullptr, 0};
  return {entries_, kEntryCount};
}

void CrashKeyTable::SetValue(size_t index, const wchar_t* text) {
  DCHECK_LT(index, static_cast<size_t>(kEntryCount));
  WriteLocked([&] {
    StoreText(&entries_[index], text ? text : L"", text ? wcslen(text) : 0);
  });
}

void CrashKeyTable::SetValueOverRange(size_t first,
                                      size_t last,
                                      const wchar_t* text) {
  DCHECK_LE(first, last);
  DCHECK_LT(last, static_cast<size_t>(kEntryCount));
  WriteLocked([&] {
    size_t remaining = text ? wcslen(text) : 0;
    for (size_t index = first; index <= last; ++index) {
      size_t piece = std::min(remaining, kMaxValueLength);
      StoreText(&entries_[index], piece ? text : L"", piece);
      text += piece;
      remaining -= piece;
    }
  });
}

template <typename Write>
void CrashKeyTable::WriteLocked(Write write) {
  if (!entries_)
    return;
  base::AutoLock lock(lock_);
  DWORD old_protection = 0;
  if (!::VirtualProtect(entries_, kBlockSize, PAGE_READWRITE,
                        &old_protection)) {
    PLOG(ERROR) << "Cannot write the crash keys";
    return;
  }
  write();
  ::VirtualProtect(entries_, kBlockSize, PAGE_READONLY, &old_protection);
}

void CrashKeyTable::FillNames() {
  for (const KeyRange& range : kKeyNames) {
    for (size_t index = range.first; index <= range.last; ++index)
      wcsncpy(entries_[index].name, range.name, kMaxValueLength);
  }
}

void CrashKeyTable::FillFixedKeys() {
  std::wstring version = base::UTF8ToWide(installer::GetProductVersion());
  StoreText(&entries_[kVersion], version.c_str(), version.size());
  std::wstring build_number =
      base::StringPrintf(L"%d", installer::GetBuildNumber());
  StoreText(&entries_[kBuildNumber], build_number.c_str(), build_number.size());
  std::wstring build_id = GetCrashBuildId();
  StoreText(&entries_[kBuildId], build_id.c_str(), build_id.size());

  HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  if (!kernel32)
    return;
  using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, BOOL*);
  auto is_wow64_process = reinterpret_cast<IsWow64ProcessFunction>(
      ::GetProcAddress(kernel32, "IsWow64Process"));
  BOOL is_wow64 = FALSE;
  if (is_wow64_process && is_wow64_process(::GetCurrentProcess(), &is_wow64))
    StoreText(&entries_[kIsWow64], is_wow64 ? L"1" : L"0", 1);
  using GetPolicyFunction = BOOL(WINAPI*)(DWORD*);
  auto get_policy = reinterpret_cast<GetPolicyFunction>(
      ::GetProcAddress(kernel32, "GetProcessUserModeExceptionPolicy"));
  DWORD policy = 0;
  if (get_policy && get_policy(&policy)) {
    std::wstring text = base::StringPrintf(L"0x%04lx", policy);
    StoreText(&entries_[kExceptionPolicy], text.c_str(), text.size());
  }
}

void SetInstallerCrashKeys() {
  CrashKeyTable* table = CrashKeyTable::GetInstance();
  table->SetValue(CrashKeyTable::kProcessType, L"installer");
  std::wstring testrig =
      GetEnvironmentText("KELVO_CRASH_REPORTER_TESTRIG_TEST");
  if (!testrig.empty()) {
    table->SetValueOverRange(CrashKeyTable::kTestrigTestFirst,
                             CrashKeyTable::kTestrigTestLast, testrig.c_str());
  }
  std::wstring origin = GetEnvironmentText("CRASH_ORIGIN");
  if (!origin.empty())
    table->SetValue(CrashKeyTable::kOrigin, origin.c_str());
  std::wstring modules = BuildModuleList();
  table->SetValueOverRange(CrashKeyTable::kModulesFirst,
                           CrashKeyTable::kModulesLast, modules.c_str());
}

std::wstring BuildModuleList() {
  std::wstring list;
  for (const wchar_t* name : kListedModules)
    list += ModuleRecord(name);
  return list;
}

}  // namespace crash_reporter
