// Speaks the registration protocol by hand, as a hostile client could, for
// the tests of the servers.

#ifndef COMPONENTS_CRASH_HANDLER_TEST_RAW_REGISTRATION_CLIENT_H_
#define COMPONENTS_CRASH_HANDLER_TEST_RAW_REGISTRATION_CLIENT_H_

#include <windows.h>

#include <stddef.h>

#include <string>

#include "base/win/scoped_handle.h"
#include "components/crash_handler/registration_protocol.h"

namespace crash_handler {

class RawRegistrationClient {
 public:
  // Connects, waiting a little while the pipe is busy.
  explicit RawRegistrationClient(const std::wstring& pipe_name);
  RawRegistrationClient(const RawRegistrationClient&) = delete;
  RawRegistrationClient& operator=(const RawRegistrationClient&) = delete;
  ~RawRegistrationClient();

  bool connected() const { return pipe_.IsValid(); }

  // Sends the first |size| bytes of |request|; true when a response came.
  bool Register(const RegistrationMessage& request, size_t size);

  // Registers with |request| and acknowledges the response; true when the
  // server gave its handles.
  bool CompleteRegistration(const RegistrationMessage& request);
  // Asks for a report and waits for the answer; true when the server said
  // it is done.
  bool RequestDump(DWORD timeout_ms);

  // A request of this process that a server accepts, with addresses in it;
  // the exception pointers they lead to are null.
  static RegistrationMessage ValidRequest();

 private:
  bool ReadResponse(RegistrationMessage* response);

  base::win::ScopedHandle pipe_;
  base::win::ScopedHandle dump_request_;
  base::win::ScopedHandle dump_done_;
};

}  // namespace crash_handler

#endif  // COMPONENTS_CRASH_HANDLER_TEST_RAW_REGISTRATION_CLIENT_H_
