// The registration of a client with the crash reporter's pipe: one message
// each way and an acknowledgement, all of this fixed size, in message mode.
//
//   client -> server  request: the client's process id and the addresses, in
//                     the client, of what the server reads after a crash
//   server -> client  response: the dump-request and dump-done events and the
//                     server's own process handle, duplicated into the client
//   client -> server  ack: the client has taken the handles
//
// Both ends are the same 64-bit build; numbers are little-endian.

#ifndef COMPONENTS_CRASH_HANDLER_REGISTRATION_PROTOCOL_H_
#define COMPONENTS_CRASH_HANDLER_REGISTRATION_PROTOCOL_H_

#include <windows.h>

#include <stdint.h>

namespace crash_handler {

enum RegistrationTag : uint32_t {
  kRegistrationRequest = 1,
  kRegistrationResponse = 2,
  kRegistrationAck = 3,
};

struct RegistrationMessage {
  uint32_t tag;  // RegistrationTag.
  uint32_t pid;
  uint32_t dump_type;  // MINIDUMP_TYPE the client asks for; informational.
  uint32_t reserved;
  // Request: addresses in the client.
  uint64_t thread_id_address;           // DWORD of the crashed thread.
  uint64_t exception_pointers_address;  // EXCEPTION_POINTERS* variable.
  uint64_t assertion_info_address;      // MDRawAssertionInfo.
  uint64_t custom_info_address;         // CustomInfoEntry[count].
  uint64_t custom_info_count;
  // Response: handle values valid in the client.
  uint64_t dump_request_handle;
  uint64_t dump_done_handle;
  uint64_t server_alive_handle;
};
static_assert(sizeof(RegistrationMessage) == 80, "the wire format");

// A client table larger than this is refused: the server copies it out of
// the client for every report.
constexpr uint64_t kMaxCustomInfoCount = 256;

// Why the server refuses a request; kAccepted when it does not.
enum class RequestCheck {
  kAccepted,
  kWrongTag,
  kPidMismatch,
  kNullAddress,
  kTooManyEntries,
};

// Checks a request read from the pipe whose client process is
// |pipe_client_pid| (as the system reports it, not as the client claims).
// A table may be absent (null address and count 0), nothing else may.
RequestCheck CheckRegistrationRequest(const RegistrationMessage& request,
                                      DWORD pipe_client_pid);

// One message over a pipe opened for overlapped I/O, in at most
// |timeout_ms|; a message of any other size fails the read. |abort_event|
// (may be null) ends the wait early. I/O still pending when the wait ends
// is cancelled before these return, so |message| is free again.
bool ReadRegistrationMessage(HANDLE pipe,
                             DWORD timeout_ms,
                             HANDLE abort_event,
                             RegistrationMessage* message);
bool WriteRegistrationMessage(HANDLE pipe,
                              DWORD timeout_ms,
                              HANDLE abort_event,
                              const RegistrationMessage& message);

}  // namespace crash_handler

#endif  // COMPONENTS_CRASH_HANDLER_REGISTRATION_PROTOCOL_H_
