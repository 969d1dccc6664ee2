#include "components/crash_handler/client_info.h"

#include <string.h>
#include <wchar.h>

#include <iterator>
#include <string>

#include "base/logging.h"
#include "components/crash_handler/registration_protocol.h"

namespace crash_handler {

namespace {

constexpr wchar_t kProcessUptimeKey[] = L"ptime";

int64_t FileTimeToInt64(const FILETIME& time) {
  ULARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  return static_cast<int64_t>(value.QuadPart);
}

}  // namespace

ClientInfo::ClientInfo(DWORD pid,
                       base::win::ScopedHandle process,
                       const RegistrationMessage& request)
    : pid_(pid),
      process_(std::move(process)),
      thread_id_address_(request.thread_id_address),
      exception_pointers_address_(request.exception_pointers_address),
      assertion_info_address_(request.assertion_info_address),
      custom_info_address_(request.custom_info_address),
      custom_info_count_(request.custom_info_count) {
  DCHECK_LE(custom_info_count_, kMaxCustomInfoCount);
}

ClientInfo::~ClientInfo() = default;

bool ClientInfo::GetCustomInfo(CustomClientInfo* custom_info) const {
  custom_info_.assign(custom_info_count_, CustomInfoEntry{});
  bool read = custom_info_.empty() ||
              ReadClientMemory(custom_info_address_, custom_info_.data(),
                               custom_info_.size() * sizeof(CustomInfoEntry));
  if (!read) {
    PLOG(ERROR) << "Cannot read the crash keys of process " << pid_;
    custom_info_.clear();
    *custom_info = {nullptr, 0};
    return false;
  }
  CustomInfoEntry uptime = {};
  wcscpy(uptime.name, kProcessUptimeKey);
  int64_t uptime_ms = GetProcessUptimeMs();
  if (uptime_ms >= 0) {
    std::wstring text = std::to_wstring(uptime_ms);
    wcsncpy(uptime.value, text.c_str(), std::size(uptime.value) - 1);
  }
  custom_info_.push_back(uptime);
  *custom_info = {custom_info_.data(), custom_info_.size()};
  return true;
}

DWORD ClientInfo::ReadCrashedThreadId() const {
  DWORD thread_id = 0;
  if (!ReadClientMemory(thread_id_address_, &thread_id, sizeof(thread_id)))
    return 0;
  return thread_id;
}

bool ClientInfo::ReadExceptionRecord(DWORD* code, uint64_t* address) const {
  uint64_t pointers_address = 0;
  EXCEPTION_POINTERS pointers = {};
  EXCEPTION_RECORD record = {};
  if (!ReadClientMemory(exception_pointers_address_, &pointers_address,
                        sizeof(pointers_address)) ||
      !ReadClientMemory(pointers_address, &pointers, sizeof(pointers)) ||
      !ReadClientMemory(reinterpret_cast<uintptr_t>(pointers.ExceptionRecord),
                        &record, sizeof(record))) {
    return false;
  }
  *code = record.ExceptionCode;
  *address = reinterpret_cast<uintptr_t>(record.ExceptionAddress);
  return true;
}

bool ClientInfo::ReadAssertionInfo(MDRawAssertionInfo* assertion) const {
  if (!ReadClientMemory(assertion_info_address_, assertion,
                        sizeof(*assertion))) {
    return false;
  }
  // Whatever the client left there, the texts end inside their arrays.
  assertion->expression[std::size(assertion->expression) - 1] = L'\0';
  assertion->function[std::size(assertion->function) - 1] = L'\0';
  assertion->file[std::size(assertion->file) - 1] = L'\0';
  return true;
}

int64_t ClientInfo::GetProcessUptimeMs() const {
  FILETIME creation, exit, kernel, user;
  if (!::GetProcessTimes(process_.Get(), &creation, &exit, &kernel, &user))
    return -1;
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  int64_t elapsed = FileTimeToInt64(now) - FileTimeToInt64(creation);
  // FILETIME counts 100 ns.
  return elapsed < 0 ? 0 : elapsed / 10000;
}

bool ClientInfo::ReadClientMemory(uint64_t address,
                                  void* buffer,
                                  size_t size) const {
  if (!address)
    return false;
  SIZE_T read = 0;
  return ::ReadProcessMemory(process_.Get(),
                             reinterpret_cast<const void*>(address), buffer,
                             size, &read) &&
         read == size;
}

}  // namespace crash_handler
