// The crash reporter's end of the pipe: registers clients and, when one of
// them crashes, runs the dump callback on a thread-pool thread while the
// client waits, frozen in its crash path, for the callback to return.
//
//   CrashGenerationServer server(pipe_name, &security, &OnClientDumpRequest,
//                                &context);
//   if (!server.Start()) ...
//
// Clients are checked before they are served: the process id a client
// names must be the pipe's own client, its table is bounded and its
// addresses are not null. Destroying the server stops accepting clients and
// waits for every running callback, so nothing it called outlives it.

#ifndef COMPONENTS_CRASH_HANDLER_CRASH_GENERATION_SERVER_H_
#define COMPONENTS_CRASH_HANDLER_CRASH_GENERATION_SERVER_H_

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/synchronization/lock.h"
#include "base/threading/platform_thread.h"
#include "base/win/scoped_handle.h"

namespace crash_handler {

class ClientInfo;
struct RegistrationMessage;

class CrashGenerationServer : private base::PlatformThread::Delegate {
 public:
  // Runs once per crashed client, on a thread-pool thread; several may run
  // at once for different clients. The client resumes when it returns.
  using OnClientDumpRequestCallback = void (*)(void* context,
                                               const ClientInfo* client_info);

  // |security| (may be null) applies to the pipe.
  CrashGenerationServer(const std::wstring& pipe_name,
                        SECURITY_ATTRIBUTES* security,
                        OnClientDumpRequestCallback dump_callback,
                        void* dump_context);
  CrashGenerationServer(const CrashGenerationServer&) = delete;
  CrashGenerationServer& operator=(const CrashGenerationServer&) = delete;
  ~CrashGenerationServer() override;

  // Creates the pipe and starts accepting clients. False when the pipe
  // exists already (another process holds the name) or cannot be made.
  bool Start();

  // How long a connected client may take over each registration message.
  static constexpr DWORD kMessageTimeoutMs = 2000;

 private:
  struct Client;

  // Accepts clients until stopped.
  void ThreadMain() override;

  base::win::ScopedHandle CreatePipeInstance(bool first);
  // Registers the client on |pipe|; every failure is logged and leaves the
  // client unregistered.
  void HandleConnection(HANDLE pipe);
  // Checks the request and opens the client; null when refused.
  std::unique_ptr<Client> AcceptRequest(HANDLE pipe,
                                        const RegistrationMessage& request);
  // Gives the client its handles and waits for its ack.
  bool CompleteRegistration(HANDLE pipe, Client* client);

  static void CALLBACK OnDumpRequest(void* param, BOOLEAN timed_out);
  static void CALLBACK OnClientExited(void* param, BOOLEAN timed_out);

  const std::wstring pipe_name_;
  SECURITY_ATTRIBUTES* const security_;
  const OnClientDumpRequestCallback dump_callback_;
  void* const dump_context_;

  base::win::ScopedHandle stop_event_;
  base::win::ScopedHandle listening_pipe_;
  base::PlatformThreadHandle accept_thread_;

  base::Lock lock_;
  // Registered clients, exited ones included (their waits are unregistered
  // and freed with the server).
  std::vector<std::unique_ptr<Client>> clients_;
};

}  // namespace crash_handler

#endif  // COMPONENTS_CRASH_HANDLER_CRASH_GENERATION_SERVER_H_
