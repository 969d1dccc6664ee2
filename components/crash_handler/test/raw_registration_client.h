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

  // A request of this process, with addresses in it, that a server accepts.
  static RegistrationMessage ValidRequest();

 private:
  base::win::ScopedHandle pipe_;
};

}  // namespace crash_handler

#endif  // COMPONENTS_CRASH_HANDLER_TEST_RAW_REGISTRATION_CLIENT_H_
