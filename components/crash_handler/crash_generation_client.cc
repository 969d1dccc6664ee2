#include "components/crash_handler/crash_generation_client.h"

#include "base/logging.h"
#include "base/win/vista_function.h"
#include "components/crash_handler/registration_protocol.h"

namespace crash_handler {

namespace {

// A busy pipe is waited for this long, this many times.
constexpr DWORD kPipeBusyWaitMs = 2000;
constexpr int kConnectAttempts = 3;
// Instances of the name that another process serves are passed over at
// once, this many: each one closed stops listening, so the next open
// reaches another instance, normally the server's own.
constexpr int kForeignInstancesPassed = 3;
// The server answers at once; a server that does not is not serving.
constexpr DWORD kRegistrationTimeoutMs = 5000;

uint64_t AddressOf(const void* pointer) {
  return reinterpret_cast<uintptr_t>(pointer);
}

}  // namespace

CrashGenerationClient::CrashGenerationClient(
    const std::wstring& pipe_name,
    DWORD server_pid,
    MINIDUMP_TYPE dump_type,
    const CustomClientInfo* custom_info,
    DWORD* thread_id,
    EXCEPTION_POINTERS** exception_pointers,
    MDRawAssertionInfo* assertion_info)
    : pipe_name_(pipe_name),
      server_pid_(server_pid),
      dump_type_(dump_type),
      custom_info_(custom_info ? *custom_info : CustomClientInfo{nullptr, 0}),
      thread_id_(thread_id),
      exception_pointers_(exception_pointers),
      assertion_info_(assertion_info) {
  DCHECK(thread_id_ && exception_pointers_ && assertion_info_);
}

CrashGenerationClient::~CrashGenerationClient() = default;

bool CrashGenerationClient::Register() {
  base::win::ScopedHandle pipe = ConnectToPipe();
  if (!pipe.IsValid())
    return false;
  DWORD mode = PIPE_READMODE_MESSAGE;
  if (!::SetNamedPipeHandleState(pipe.Get(), &mode, nullptr, nullptr))
    return false;

  RegistrationMessage request = {};
  request.tag = kRegistrationRequest;
  request.pid = ::GetCurrentProcessId();
  request.dump_type = dump_type_;
  request.thread_id_address = AddressOf(thread_id_);
  request.exception_pointers_address = AddressOf(exception_pointers_);
  request.assertion_info_address = AddressOf(assertion_info_);
  request.custom_info_address = AddressOf(custom_info_.entries);
  request.custom_info_count = custom_info_.entries ? custom_info_.count : 0;
  RegistrationMessage response = {};
  if (!WriteRegistrationMessage(pipe.Get(), kRegistrationTimeoutMs, nullptr,
                                request) ||
      !ReadRegistrationMessage(pipe.Get(), kRegistrationTimeoutMs, nullptr,
                               &response) ||
      !AcceptResponse(response)) {
    return false;
  }
  RegistrationMessage ack = {};
  ack.tag = kRegistrationAck;
  ack.pid = request.pid;
  if (!WriteRegistrationMessage(pipe.Get(), kRegistrationTimeoutMs, nullptr,
                                ack)) {
    // The server closes the handles it gave us when no ack comes.
    dump_request_.Close();
    dump_done_.Close();
    server_alive_.Close();
    return false;
  }
  return true;
}

bool CrashGenerationClient::RequestDump(DWORD timeout_ms) {
  if (!IsRegistered() || !::SetEvent(dump_request_.Get()))
    return false;
  HANDLE handles[] = {dump_done_.Get(), server_alive_.Get()};
  return ::WaitForMultipleObjects(2, handles, FALSE, timeout_ms) ==
         WAIT_OBJECT_0;
}

base::win::ScopedHandle CrashGenerationClient::ConnectToPipe() const {
  int busy_waits = 0;
  int foreign_instances = 0;
  while (busy_waits < kConnectAttempts &&
         foreign_instances < kForeignInstancesPassed) {
    // Identification only: the server may learn who we are, never act as
    // us.
    base::win::ScopedHandle pipe(::CreateFileW(
        pipe_name_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
        OPEN_EXISTING,
        FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION,
        nullptr));
    if (pipe.IsValid()) {
      // The registration tells where this process keeps its crash keys and
      // state: it goes to the expected server or to nobody.
      if (IsExpectedServer(pipe.Get()))
        return pipe;
      ++foreign_instances;
      continue;
    }
    if (::GetLastError() != ERROR_PIPE_BUSY) {
      PLOG(WARNING) << "Cannot open the crash pipe " << pipe_name_;
      return pipe;
    }
    ++busy_waits;
    if (!::WaitNamedPipeW(pipe_name_.c_str(), kPipeBusyWaitMs))
      break;
  }
  LOG(WARNING) << "The crash reporter " << server_pid_
               << " cannot be reached on " << pipe_name_;
  return base::win::ScopedHandle();
}

bool CrashGenerationClient::IsExpectedServer(HANDLE pipe) const {
  static const auto get_server_pid =
      base::win::GetVistaFunction<decltype(&::GetNamedPipeServerProcessId)>(
          "GetNamedPipeServerProcessId");
  if (!get_server_pid) {
    LOG(WARNING) << "Before Windows Vista the process serving the crash pipe "
                 << pipe_name_ << " cannot be checked";
    return true;
  }
  ULONG server_pid = 0;
  if (!get_server_pid(pipe, &server_pid)) {
    PLOG(WARNING) << "Cannot tell which process serves the crash pipe "
                  << pipe_name_;
    return false;
  }
  if (server_pid == server_pid_)
    return true;
  LOG(WARNING) << "The crash pipe " << pipe_name_ << " reached process "
               << server_pid << ", not the crash reporter " << server_pid_
               << ": nothing sent";
  return false;
}

bool CrashGenerationClient::AcceptResponse(
    const RegistrationMessage& response) {
  if (response.tag != kRegistrationResponse ||
      response.pid != ::GetCurrentProcessId() ||
      !response.dump_request_handle || !response.dump_done_handle ||
      !response.server_alive_handle) {
    return false;
  }
  dump_request_.Set(reinterpret_cast<HANDLE>(response.dump_request_handle));
  dump_done_.Set(reinterpret_cast<HANDLE>(response.dump_done_handle));
  server_alive_.Set(reinterpret_cast<HANDLE>(response.server_alive_handle));
  return true;
}

}  // namespace crash_handler
