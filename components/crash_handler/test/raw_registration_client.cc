#include "components/crash_handler/test/raw_registration_client.h"

#include "components/crash_handler/crash_handler_types.h"

namespace crash_handler {

namespace {

constexpr DWORD kPipeWaitMs = 5000;
constexpr DWORD kResponseTimeoutMs = 10000;

}  // namespace

RawRegistrationClient::RawRegistrationClient(const std::wstring& pipe_name) {
  for (int attempt = 0; attempt < 3 && !pipe_.IsValid(); ++attempt) {
    pipe_.Set(::CreateFileW(pipe_name.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                            nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                            nullptr));
    if (!pipe_.IsValid())
      ::WaitNamedPipeW(pipe_name.c_str(), kPipeWaitMs);
  }
  DWORD mode = PIPE_READMODE_MESSAGE;
  if (pipe_.IsValid())
    ::SetNamedPipeHandleState(pipe_.Get(), &mode, nullptr, nullptr);
}

RawRegistrationClient::~RawRegistrationClient() = default;

bool RawRegistrationClient::Register(const RegistrationMessage& request,
                                     size_t size) {
  base::win::ScopedHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  OVERLAPPED overlapped = {};
  overlapped.hEvent = event.Get();
  if (!::WriteFile(pipe_.Get(), &request, static_cast<DWORD>(size), nullptr,
                   &overlapped) &&
      ::GetLastError() != ERROR_IO_PENDING) {
    return false;
  }
  DWORD written = 0;
  ::GetOverlappedResult(pipe_.Get(), &overlapped, &written, TRUE);
  RegistrationMessage response = {};
  return ReadResponse(&response);
}

bool RawRegistrationClient::CompleteRegistration(
    const RegistrationMessage& request) {
  if (!WriteRegistrationMessage(pipe_.Get(), kResponseTimeoutMs, nullptr,
                                request)) {
    return false;
  }
  RegistrationMessage response = {};
  if (!ReadResponse(&response))
    return false;
  dump_request_.Set(reinterpret_cast<HANDLE>(response.dump_request_handle));
  dump_done_.Set(reinterpret_cast<HANDLE>(response.dump_done_handle));
  RegistrationMessage ack = {};
  ack.tag = kRegistrationAck;
  ack.pid = request.pid;
  return WriteRegistrationMessage(pipe_.Get(), kResponseTimeoutMs, nullptr,
                                  ack);
}

bool RawRegistrationClient::RequestDump(DWORD timeout_ms) {
  return ::SetEvent(dump_request_.Get()) &&
         ::WaitForSingleObject(dump_done_.Get(), timeout_ms) == WAIT_OBJECT_0;
}

bool RawRegistrationClient::ReadResponse(RegistrationMessage* response) {
  return ReadRegistrationMessage(pipe_.Get(), kResponseTimeoutMs, nullptr,
                                 response) &&
         response->tag == kRegistrationResponse;
}

// static
RegistrationMessage RawRegistrationClient::ValidRequest() {
  static DWORD thread_id;
  static EXCEPTION_POINTERS* pointers;
  static MDRawAssertionInfo assertion;
  static CustomInfoEntry keys[4];
  RegistrationMessage request = {};
  request.tag = kRegistrationRequest;
  request.pid = ::GetCurrentProcessId();
  request.thread_id_address = reinterpret_cast<uintptr_t>(&thread_id);
  request.exception_pointers_address = reinterpret_cast<uintptr_t>(&pointers);
  request.assertion_info_address = reinterpret_cast<uintptr_t>(&assertion);
  request.custom_info_address = reinterpret_cast<uintptr_t>(keys);
  request.custom_info_count = 4;
  return request;
}

}  // namespace crash_handler
