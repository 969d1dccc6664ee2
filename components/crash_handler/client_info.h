// What the crash reporter knows of one registered client: its process and
// the addresses, in the client, of the records its crash path fills. Every
// read of the client's memory is bounded and checked: the client is not
// trusted.

#ifndef COMPONENTS_CRASH_HANDLER_CLIENT_INFO_H_
#define COMPONENTS_CRASH_HANDLER_CLIENT_INFO_H_

#include <windows.h>

#include <stdint.h>

#include <vector>

#include "base/win/scoped_handle.h"
#include "components/crash_handler/crash_handler_types.h"

namespace crash_handler {

struct RegistrationMessage;

class ClientInfo {
 public:
  // |process| is open with PROCESS_QUERY_INFORMATION, PROCESS_VM_READ,
  // PROCESS_DUP_HANDLE and SYNCHRONIZE; |request| is a checked request.
  ClientInfo(DWORD pid,
             base::win::ScopedHandle process,
             const RegistrationMessage& request);
  ClientInfo(const ClientInfo&) = delete;
  ClientInfo& operator=(const ClientInfo&) = delete;
  ~ClientInfo();

  DWORD pid() const { return pid_; }
  HANDLE process_handle() const { return process_.Get(); }

  // Addresses in the client: the crashed thread's id (DWORD), the variable
  // holding its EXCEPTION_POINTERS*, and its MDRawAssertionInfo.
  uint64_t thread_id_address() const { return thread_id_address_; }
  uint64_t exception_pointers_address() const {
    return exception_pointers_address_;
  }
  uint64_t assertion_info_address() const { return assertion_info_address_; }

  // The client's crash keys, read now, followed by one entry "ptime": the
  // client's run time in milliseconds, in decimal. The result points into
  // this object and holds until the next call. False (and an empty table)
  // when the client's table cannot be read.
  bool GetCustomInfo(CustomClientInfo* custom_info) const;

  // The crashed thread's id as the client stored it; 0 when unreadable.
  DWORD ReadCrashedThreadId() const;
  // The exception code and address of the crash as the client stored
  // them; false when any read fails.
  bool ReadExceptionRecord(DWORD* code, uint64_t* address) const;
  // The assertion record; false when it cannot be read.
  bool ReadAssertionInfo(MDRawAssertionInfo* assertion) const;

  // Milliseconds since the client was created; -1 when unknown.
  int64_t GetProcessUptimeMs() const;

 private:
  // Reads exactly |size| bytes at |address| in the client.
  bool ReadClientMemory(uint64_t address, void* buffer, size_t size) const;

  const DWORD pid_;
  const base::win::ScopedHandle process_;
  const uint64_t thread_id_address_;
  const uint64_t exception_pointers_address_;
  const uint64_t assertion_info_address_;
  const uint64_t custom_info_address_;
  const uint64_t custom_info_count_;

  mutable std::vector<CustomInfoEntry> custom_info_;
};

}  // namespace crash_handler

#endif  // COMPONENTS_CRASH_HANDLER_CLIENT_INFO_H_
