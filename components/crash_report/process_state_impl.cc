#include "components/crash_report/process_state_impl.h"

#include <psapi.h>
#include <tlhelp32.h>
#include <wchar.h>

#include <memory>
#include <string_view>

#include "base/logging.h"
#include "base/strings/string_util.h"
#include "components/crash_report/module_info_impl.h"
#include "components/crash_report/remote_memory_reader.h"
#include "components/crash_report/thread_info_impl.h"

namespace crash_report {

namespace {

constexpr int kModuleSnapshotAttempts = 10;
// EXCEPTION_RECORD: the code first, the address at 16.
constexpr uint64_t kExceptionAddressOffset = 16;
static_assert(offsetof(EXCEPTION_RECORD, ExceptionAddress) ==
              kExceptionAddressOffset);
static_assert(sizeof(CONTEXT) == 1232);
static_assert(sizeof(PROCESS_MEMORY_COUNTERS_EX) == 80);
// The smallest THREADENTRY32 that still holds the owner's process id.
constexpr DWORD kMinThreadEntrySize = 16;

// The drive-letter form of |device_path| ("\Device\HarddiskVolume1\x" to
// "C:\x"); empty when no drive's device is a parent of it. Drives are
// logged when none matches, which helps to see why.
std::wstring DevicePathToDrivePath(const std::wstring& device_path) {
  wchar_t drives[512];
  DWORD length = ::GetLogicalDriveStringsW(std::size(drives), drives);
  if (!length) {
    PLOG(ERROR) << "GetLogicalDriveStrings failed";
    return std::wstring();
  }
  if (length >= std::size(drives)) {
    LOG(ERROR) << "GetLogicalDriveStrings failed, result=" << length
               << ", length=" << std::size(drives);
    return std::wstring();
  }
  std::vector<std::pair<std::wstring, std::wstring>> devices;
  for (const wchar_t* drive = drives; *drive; drive += wcslen(drive) + 1) {
    std::wstring_view root(drive);
    if (root.size() != 3 || !base::IsAsciiAlpha(root[0]) || root[1] != L':' ||
        root[2] != L'\\') {
      LOG(WARNING) << "GetDeviceName: '" << root << "'";
      continue;
    }
    std::wstring letter(root.substr(0, 2));
    wchar_t device[MAX_PATH];
    if (!::QueryDosDeviceW(letter.c_str(), device, MAX_PATH)) {
      PLOG(ERROR) << "QueryDosDevice failed for '" << letter << "' (from '"
                  << root << "')";
      continue;
    }
    std::wstring_view device_name(device);
    if (device_path.size() > device_name.size() &&
        device_path[device_name.size()] == L'\\' &&
        base::EqualsCaseInsensitiveASCII(
            std::wstring_view(device_path).substr(0, device_name.size()),
            device_name)) {
      return letter + device_path.substr(device_name.size());
    }
    devices.emplace_back(std::wstring(root), std::wstring(device_name));
  }
  LOG(WARNING) << "Could not convert process image file name '" << device_path
               << "'";
  for (const auto& [root, device] : devices) {
    LOG(INFO) << "Logical drive: " << root;
    LOG(INFO) << "Device name: " << device;
  }
  return std::wstring();
}

}  // namespace

ProcessStateImpl::ProcessStateImpl() = default;
ProcessStateImpl::~ProcessStateImpl() = default;

bool ProcessStateImpl::Init(uint32_t pid,
                            uint64_t exception_pointers_address,
                            uint64_t thread_id_address,
                            const std::vector<ModuleRecord>& fallback_modules) {
  process_ = OpenProcessForReading(pid);
  if (!process_.IsValid())
    return false;
  ReadMemoryCounters();
  std::wstring image_path = GetImagePath();
  std::vector<std::wstring> snapshot_paths;
  ReadModuleSnapshot(pid, image_path, &snapshot_paths);
  if (modules_.empty()) {
    LOG(INFO) << "Using fallback modules";
    for (const ModuleRecord& record : fallback_modules) {
      AddModule(record.name, record.path, record.base_address,
                static_cast<uint32_t>(record.size),
                !main_module_ && !image_path.empty() &&
                    base::EqualsCaseInsensitiveASCII(record.path, image_path));
    }
  }
  if (!main_module_ && !image_path.empty()) {
    LOG(WARNING) << "Couldn't find main module for '" << image_path << "'";
    for (const std::wstring& path : snapshot_paths)
      LOG(WARNING) << "Module path: " << path;
  }

  uint64_t pointers_address = 0;
  EXCEPTION_POINTERS pointers = {};
  uint32_t code = 0;
  uint64_t address = 0;
  auto context = std::make_unique<CONTEXT>();
  if (!ReadRemoteMemory(process_.Get(), exception_pointers_address,
                        &pointers_address, sizeof(pointers_address)) ||
      !ReadRemoteMemory(process_.Get(), pointers_address, &pointers,
                        sizeof(pointers)) ||
      !ReadRemoteMemory(process_.Get(),
                        reinterpret_cast<uintptr_t>(pointers.ExceptionRecord),
                        &code, sizeof(code)) ||
      !ReadRemoteMemory(process_.Get(),
                        reinterpret_cast<uintptr_t>(pointers.ExceptionRecord) +
                            kExceptionAddressOffset,
                        &address, sizeof(address)) ||
      !ReadRemoteMemory(process_.Get(),
                        reinterpret_cast<uintptr_t>(pointers.ContextRecord),
                        context.get(), sizeof(CONTEXT))) {
    LOG(ERROR) << "Could not read the exception of process " << pid;
    return false;
  }
  exception_code_ = code;
  exception_address_ = address;

  uint32_t crashed_thread_id = 0;
  if (!ReadRemoteMemory(process_.Get(), thread_id_address, &crashed_thread_id,
                        sizeof(crashed_thread_id))) {
    LOG(WARNING) << "Could not read ID of crashed thread";
    crashed_thread_id = 0;
  }
  auto crashed = std::make_unique<ThreadInfoImpl>(crashed_thread_id);
  crashed->InitCrashed(process_.Get(), *context);
  threads_.push_back(std::move(crashed));
  ReadOtherThreads(pid, crashed_thread_id);
  return true;
}

void ProcessStateImpl::ReadMemoryCounters() {
  PROCESS_MEMORY_COUNTERS_EX counters = {};
  counters.cb = sizeof(counters);
  if (!::GetProcessMemoryInfo(
          process_.Get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
          sizeof(counters))) {
    PLOG(ERROR) << "GetProcessMemoryInfo failed";
    return;
  }
  working_set_size_ = counters.WorkingSetSize;
  peak_working_set_size_ = counters.PeakWorkingSetSize;
  private_usage_ = counters.PrivateUsage;
}

std::wstring ProcessStateImpl::GetImagePath() const {
  wchar_t device_path[MAX_PATH];
  DWORD length =
      ::GetProcessImageFileNameW(process_.Get(), device_path, MAX_PATH);
  if (!length) {
    PLOG(ERROR) << "GetProcessImageFileName failed";
    return std::wstring();
  }
  return DevicePathToDrivePath(std::wstring(device_path, length));
}

bool ProcessStateImpl::ReadModuleSnapshot(uint32_t pid,
                                          const std::wstring& image_path,
                                          std::vector<std::wstring>* paths) {
  base::win::ScopedHandle snapshot;
  // A snapshot taken while the process loads or unloads a module may fail
  // with ERROR_BAD_LENGTH; a later one usually works.
  for (int attempts_left = kModuleSnapshotAttempts - 1; attempts_left >= 0;
       --attempts_left) {
    snapshot.Set(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid));
    if (snapshot.IsValid())
      break;
    DWORD error = ::GetLastError();
    PLOG(ERROR) << "TH32CS_SNAPMODULE failed, retries_left=" << attempts_left;
    if (error != ERROR_BAD_LENGTH)
      break;
  }
  if (!snapshot.IsValid())
    return false;
  MODULEENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  if (!::Module32FirstW(snapshot.Get(), &entry)) {
    PLOG(ERROR) << "Module32First failed";
    return true;
  }
  do {
    std::wstring path = entry.szExePath;
    bool is_main = !main_module_ && !image_path.empty() &&
                   base::EqualsCaseInsensitiveASCII(path, image_path);
    AddModule(entry.szModule, path,
              reinterpret_cast<uintptr_t>(entry.modBaseAddr), entry.modBaseSize,
              is_main);
    paths->push_back(std::move(path));
  } while (::Module32NextW(snapshot.Get(), &entry));
  return true;
}

void ProcessStateImpl::AddModule(const std::wstring& name,
                                 const std::wstring& path,
                                 uint64_t base,
                                 uint32_t size,
                                 bool is_main) {
  base::win::ScopedHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                             FILE_SHARE_READ, nullptr,
                                             OPEN_EXISTING, 0, nullptr));
  if (!file.IsValid())
    PLOG(ERROR) << "CreateFile failed for " << path;
  if (name.empty())
    LOG(WARNING) << "Module " << path << " has no name";
  auto module = std::make_unique<ModuleInfoImpl>();
  module->Init(name, file.IsValid() ? file.Get() : INVALID_HANDLE_VALUE, base,
               size);
  if (is_main)
    main_module_ = module.get();
  modules_.push_back(std::move(module));
}

void ProcessStateImpl::ReadOtherThreads(uint32_t pid,
                                        uint32_t crashed_thread_id) {
  base::win::ScopedHandle snapshot(
      ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, pid));
  if (!snapshot.IsValid()) {
    PLOG(ERROR) << "TH32CS_SNAPTHREAD failed";
    return;
  }
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  if (!::Thread32First(snapshot.Get(), &entry) ||
      entry.dwSize < kMinThreadEntrySize) {
    LOG(ERROR) << "Thread32First failed, te.dwSize=" << entry.dwSize
               << ", min size=" << kMinThreadEntrySize;
    return;
  }
  do {
    if (entry.th32OwnerProcessID != pid ||
        entry.th32ThreadID == crashed_thread_id) {
      continue;
    }
    auto thread = std::make_unique<ThreadInfoImpl>(entry.th32ThreadID);
    if (thread->InitLive(process_.Get()))
      threads_.push_back(std::move(thread));
  } while (::Thread32Next(snapshot.Get(), &entry));
}

bool ProcessStateImpl::IsReadable(uint64_t address) const {
  uint8_t byte = 0;
  return ReadRemoteMemory(process_.Get(), address, &byte, 1);
}

uint32_t ProcessStateImpl::GetExceptionCode() const {
  return exception_code_;
}

const char* ProcessStateImpl::GetExceptionName() const {
  return nullptr;
}

uint64_t ProcessStateImpl::GetExceptionAddress() const {
  return exception_address_;
}

const ProcessState::ThreadList& ProcessStateImpl::GetThreads() const {
  return threads_;
}

const ModuleInfo* ProcessStateImpl::GetMainModule() const {
  return main_module_;
}

const ProcessState::ModuleList& ProcessStateImpl::GetModules() const {
  return modules_;
}

std::unique_ptr<RemoteMemoryReader> ProcessStateImpl::CreateMemoryReader()
    const {
  if (!process_.IsValid())
    return nullptr;
  return std::make_unique<RemoteMemoryReader>(process_.Get());
}

}  // namespace crash_report
