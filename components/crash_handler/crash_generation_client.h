// The client's end of the crash reporter's pipe: registers once, then asks
// for a report when the process crashes and waits, within a limit, until
// the server has read what it needs.
//
//   CrashGenerationClient client(pipe_name, reporter_pid, MiniDumpNormal,
//                                &keys, &thread_id, &exception_pointers,
//                                &assertion);
//   if (client.Register()) ...
//   // On a crash, after storing the three values:
//   bool reported = client.RequestDump();

#ifndef COMPONENTS_CRASH_HANDLER_CRASH_GENERATION_CLIENT_H_
#define COMPONENTS_CRASH_HANDLER_CRASH_GENERATION_CLIENT_H_

#include <windows.h>

#include <dbghelp.h>

#include <string>

#include "base/win/scoped_handle.h"
#include "components/crash_handler/crash_handler_types.h"

namespace crash_handler {

struct RegistrationMessage;

class CrashGenerationClient {
 public:
  // The addresses are where the crash path stores the crashed thread's id,
  // its exception pointers and the assertion record; they must stay valid
  // while the client is registered. |custom_info| may be null. Only an
  // instance of the pipe that process |server_pid| serves is spoken to:
  // whoever else holds one of the name's instances learns nothing.
  CrashGenerationClient(const std::wstring& pipe_name,
                        DWORD server_pid,
                        MINIDUMP_TYPE dump_type,
                        const CustomClientInfo* custom_info,
                        DWORD* thread_id,
                        EXCEPTION_POINTERS** exception_pointers,
                        MDRawAssertionInfo* assertion_info);
  CrashGenerationClient(const CrashGenerationClient&) = delete;
  CrashGenerationClient& operator=(const CrashGenerationClient&) = delete;
  ~CrashGenerationClient();

  // Connects and registers; false when the server cannot be reached, is
  // another process than the one expected, does not answer in time or
  // answers wrongly.
  bool Register();
  bool IsRegistered() const { return dump_done_.IsValid(); }

  // Signals the server and waits at most |timeout_ms| for its answer. True
  // when the server signalled that it is done; false when it ended, did not
  // answer in time, or the client is not registered. Safe on a crashing
  // thread: it neither allocates nor takes locks.
  bool RequestDump(DWORD timeout_ms);

  // How long a crashed client waits for its report by default.
  static constexpr DWORD kDumpTimeoutMs = 60000;

 private:
  // Opens an instance of the pipe that the expected server serves, waiting
  // a little while every instance is busy.
  base::win::ScopedHandle ConnectToPipe() const;
  // Whether |pipe| is served by the expected server.
  bool IsExpectedServer(HANDLE pipe) const;
  // Checks the server's answer and takes its handles.
  bool AcceptResponse(const RegistrationMessage& response);

  const std::wstring pipe_name_;
  const DWORD server_pid_;
  const MINIDUMP_TYPE dump_type_;
  const CustomClientInfo custom_info_;
  DWORD* const thread_id_;
  EXCEPTION_POINTERS** const exception_pointers_;
  MDRawAssertionInfo* const assertion_info_;

  base::win::ScopedHandle dump_request_;
  base::win::ScopedHandle dump_done_;
  base::win::ScopedHandle server_alive_;
};

}  // namespace crash_handler

#endif  // COMPONENTS_CRASH_HANDLER_CRASH_GENERATION_CLIENT_H_
