#include "components/crash_handler/crash_generation_server.h"

#include <utility>

#include "base/logging.h"
#include "base/win/cancel_io.h"
#include "base/win/vista_function.h"
#include "components/crash_handler/client_info.h"
#include "components/crash_handler/registration_protocol.h"

namespace crash_handler {

namespace {

// What the server needs of a client's process: its memory and times for
// the report, duplicating handles into it, and waiting for its end.
constexpr DWORD kClientProcessAccess = PROCESS_QUERY_INFORMATION |
                                       PROCESS_VM_READ | PROCESS_DUP_HANDLE |
                                       SYNCHRONIZE;

// Accepting gives up after this many failures in a row: something is wrong
// with the pipe itself, and spinning would not mend it.
constexpr int kMaxAcceptFailures = 10;

const char* RefusalText(RequestCheck check) {
  switch (check) {
    case RequestCheck::kAccepted:
      return "accepted";
    case RequestCheck::kWrongTag:
      return "not a registration request";
    case RequestCheck::kPidMismatch:
      return "the process id is not the pipe client's";
    case RequestCheck::kNullAddress:
      return "a null address";
    case RequestCheck::kTooManyEntries:
      return "too many crash keys";
  }
  return "unknown";
}

}  // namespace

// One registered client. Its waits are unregistered only at teardown or,
// for the dump wait, by the exit callback, which also frees its handles.
struct CrashGenerationServer::Client {
  CrashGenerationServer* server = nullptr;
  std::unique_ptr<ClientInfo> info;
  base::win::ScopedHandle dump_request;
  base::win::ScopedHandle dump_done;
  // The same three as handle values in the client, closed there again when
  // the registration does not complete.
  HANDLE remote_handles[3] = {};
  HANDLE dump_wait = nullptr;
  HANDLE exit_wait = nullptr;

  void CloseRemoteHandles() {
    for (HANDLE& remote : remote_handles) {
      if (remote) {
        ::DuplicateHandle(info->process_handle(), remote, nullptr, nullptr, 0,
                          FALSE, DUPLICATE_CLOSE_SOURCE);
        remote = nullptr;
      }
    }
  }
};

CrashGenerationServer::CrashGenerationServer(
    const std::wstring& pipe_name,
    SECURITY_ATTRIBUTES* security,
    OnClientDumpRequestCallback dump_callback,
    void* dump_context)
    : pipe_name_(pipe_name),
      security_(security),
      dump_callback_(dump_callback),
      dump_context_(dump_context) {
  DCHECK(dump_callback_);
}

CrashGenerationServer::~CrashGenerationServer() {
  if (stop_event_.IsValid())
    ::SetEvent(stop_event_.Get());
  if (!accept_thread_.is_null())
    base::PlatformThread::Join(accept_thread_);
  std::vector<std::unique_ptr<Client>> clients;
  {
    base::AutoLock lock(lock_);
    clients.swap(clients_);
  }
  // Waiting for each running callback: they use the dump callback's context
  // and the clients, which go away with the server.
  for (const std::unique_ptr<Client>& client : clients) {
    if (client->exit_wait)
      ::UnregisterWaitEx(client->exit_wait, INVALID_HANDLE_VALUE);
    if (client->dump_wait)
      ::UnregisterWaitEx(client->dump_wait, INVALID_HANDLE_VALUE);
  }
}

bool CrashGenerationServer::Start() {
  DCHECK(!stop_event_.IsValid()) << "started twice";
  stop_event_.Set(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!stop_event_.IsValid()) {
    PLOG(ERROR) << "Cannot create the crash server's stop event";
    return false;
  }
  listening_pipe_ = CreatePipeInstance(true);
  if (!listening_pipe_.IsValid())
    return false;
  if (!base::PlatformThread::Create(0, this, &accept_thread_)) {
    PLOG(ERROR) << "Cannot start the crash server's thread";
    listening_pipe_.Close();
    return false;
  }
  return true;
}

base::win::ScopedHandle CrashGenerationServer::CreatePipeInstance(bool first) {
  // The first instance claims the name: a process that made the pipe
  // before us would otherwise receive our clients.
  DWORD open_mode = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED |
                    (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
  base::win::ScopedHandle pipe(
      ::CreateNamedPipeW(pipe_name_.c_str(), open_mode,
                         PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                         PIPE_UNLIMITED_INSTANCES, sizeof(RegistrationMessage),
                         sizeof(RegistrationMessage), 0, security_));
  if (!pipe.IsValid())
    PLOG(ERROR) << "Cannot create the crash pipe " << pipe_name_;
  return pipe;
}

void CrashGenerationServer::ThreadMain() {
  base::PlatformThread::SetName("CrashServerAccept");
  base::win::ScopedHandle connected_event(
      ::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!connected_event.IsValid()) {
    PLOG(ERROR) << "Cannot create the crash server's connect event";
    return;
  }
  base::win::ScopedHandle pipe = std::move(listening_pipe_);
  int failures = 0;
  while (pipe.IsValid() && failures < kMaxAcceptFailures) {
    OVERLAPPED overlapped = {};
    overlapped.hEvent = connected_event.Get();
    ::ResetEvent(connected_event.Get());
    bool connected = ::ConnectNamedPipe(pipe.Get(), &overlapped);
    DWORD error = connected ? ERROR_SUCCESS : ::GetLastError();
    if (error == ERROR_PIPE_CONNECTED) {
      connected = true;
    } else if (error == ERROR_IO_PENDING) {
      HANDLE handles[] = {connected_event.Get(), stop_event_.Get()};
      DWORD wait = ::WaitForMultipleObjects(2, handles, FALSE, INFINITE);
      DWORD unused = 0;
      if (wait != WAIT_OBJECT_0) {
        base::win::CancelOwnIo(pipe.Get(), &overlapped);
        ::GetOverlappedResult(pipe.Get(), &overlapped, &unused, TRUE);
        break;
      }
      connected =
          ::GetOverlappedResult(pipe.Get(), &overlapped, &unused, FALSE);
    }
    if (!connected) {
      PLOG(WARNING) << "A crash client's connection failed";
      ++failures;
    } else {
      failures = 0;
    }
    // The next instance comes first, so that the name never lacks one.
    base::win::ScopedHandle next = CreatePipeInstance(false);
    if (connected)
      HandleConnection(pipe.Get());
    ::DisconnectNamedPipe(pipe.Get());
    pipe = std::move(next);
    if (::WaitForSingleObject(stop_event_.Get(), 0) == WAIT_OBJECT_0)
      break;
  }
  if (failures >= kMaxAcceptFailures)
    LOG(ERROR) << "The crash server stops accepting clients";
}

void CrashGenerationServer::HandleConnection(HANDLE pipe) {
  RegistrationMessage request = {};
  if (!ReadRegistrationMessage(pipe, kMessageTimeoutMs, stop_event_.Get(),
                               &request)) {
    LOG(WARNING) << "No valid registration request from a crash client";
    return;
  }
  std::unique_ptr<Client> client = AcceptRequest(pipe, request);
  if (!client || !CompleteRegistration(pipe, client.get()))
    return;
  client->server = this;
  if (!::RegisterWaitForSingleObject(
          &client->dump_wait, client->dump_request.Get(), &OnDumpRequest,
          client.get(), INFINITE,
          WT_EXECUTEONLYONCE | WT_EXECUTELONGFUNCTION)) {
    PLOG(ERROR) << "Cannot wait for crashes of process " << request.pid;
    client->dump_wait = nullptr;
    client->CloseRemoteHandles();
    return;
  }
  if (!::RegisterWaitForSingleObject(
          &client->exit_wait, client->info->process_handle(), &OnClientExited,
          client.get(), INFINITE, WT_EXECUTEONLYONCE)) {
    PLOG(ERROR) << "Cannot wait for the end of process " << request.pid;
    client->exit_wait = nullptr;
    ::UnregisterWaitEx(client->dump_wait, INVALID_HANDLE_VALUE);
    client->dump_wait = nullptr;
    client->CloseRemoteHandles();
    return;
  }
  base::AutoLock lock(lock_);
  clients_.push_back(std::move(client));
}

std::unique_ptr<CrashGenerationServer::Client>
CrashGenerationServer::AcceptRequest(HANDLE pipe,
                                     const RegistrationMessage& request) {
  static const auto get_client_pid =
      base::win::GetVistaFunction<decltype(&::GetNamedPipeClientProcessId)>(
          "GetNamedPipeClientProcessId");
  ULONG client_pid = 0;
  if (!get_client_pid) {
    // The pipe's default security before Vista lets only this user's
    // processes (and administrators) write to it, and they may read the
    // memory of the process they name anyway.
    LOG(WARNING) << "Before Windows Vista the crash client's process cannot "
                    "be checked; taking process "
                 << request.pid << " at its word";
    client_pid = request.pid;
  } else if (!get_client_pid(pipe, &client_pid)) {
    PLOG(WARNING) << "Cannot tell which process a crash client is";
    return nullptr;
  }
  RequestCheck check = CheckRegistrationRequest(request, client_pid);
  if (check != RequestCheck::kAccepted) {
    LOG(WARNING) << "Refused the crash client " << client_pid << ": "
                 << RefusalText(check);
    return nullptr;
  }
  base::win::ScopedHandle process(
      ::OpenProcess(kClientProcessAccess, FALSE, client_pid));
  if (!process.IsValid()) {
    PLOG(WARNING) << "Cannot open the crash client " << client_pid;
    return nullptr;
  }
  auto client = std::make_unique<Client>();
  client->info =
      std::make_unique<ClientInfo>(client_pid, std::move(process), request);
  // Automatic reset: one signal is one request, one answer.
  client->dump_request.Set(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
  client->dump_done.Set(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
  if (!client->dump_request.IsValid() || !client->dump_done.IsValid()) {
    PLOG(ERROR) << "Cannot create the events of a crash client";
    return nullptr;
  }
  return client;
}

bool CrashGenerationServer::CompleteRegistration(HANDLE pipe, Client* client) {
  HANDLE target = client->info->process_handle();
  HANDLE self = ::GetCurrentProcess();
  struct {
    HANDLE source;
    DWORD access;
  } handles[] = {
      {client->dump_request.Get(), EVENT_MODIFY_STATE | SYNCHRONIZE},
      {client->dump_done.Get(), SYNCHRONIZE},
      // The client stops waiting for a report when this process ends.
      {self, SYNCHRONIZE},
  };
  for (size_t i = 0; i < std::size(handles); ++i) {
    if (!::DuplicateHandle(self, handles[i].source, target,
                           &client->remote_handles[i], handles[i].access, FALSE,
                           0)) {
      PLOG(ERROR) << "Cannot give handles to the crash client "
                  << client->info->pid();
      client->remote_handles[i] = nullptr;
      client->CloseRemoteHandles();
      return false;
    }
  }
  RegistrationMessage response = {};
  response.tag = kRegistrationResponse;
  response.pid = client->info->pid();
  response.dump_request_handle =
      reinterpret_cast<uintptr_t>(client->remote_handles[0]);
  response.dump_done_handle =
      reinterpret_cast<uintptr_t>(client->remote_handles[1]);
  response.server_alive_handle =
      reinterpret_cast<uintptr_t>(client->remote_handles[2]);
  RegistrationMessage ack = {};
  if (!WriteRegistrationMessage(pipe, kMessageTimeoutMs, stop_event_.Get(),
                                response) ||
      !ReadRegistrationMessage(pipe, kMessageTimeoutMs, stop_event_.Get(),
                               &ack) ||
      ack.tag != kRegistrationAck || ack.pid != response.pid) {
    LOG(WARNING) << "The crash client " << response.pid
                 << " did not complete its registration";
    client->CloseRemoteHandles();
    return false;
  }
  return true;
}

// static
void CALLBACK CrashGenerationServer::OnDumpRequest(void* param, BOOLEAN) {
  Client* client = static_cast<Client*>(param);
  client->server->dump_callback_(client->server->dump_context_,
                                 client->info.get());
  ::SetEvent(client->dump_done.Get());
}

// static
void CALLBACK CrashGenerationServer::OnClientExited(void* param, BOOLEAN) {
  Client* client = static_cast<Client*>(param);
  // A client killed during its report: its callback still reads through the
  // handles freed below.
  ::UnregisterWaitEx(client->dump_wait, INVALID_HANDLE_VALUE);
  client->dump_wait = nullptr;
  client->dump_request.Close();
  client->dump_done.Close();
  client->info.reset();
}

}  // namespace crash_handler
