// One synchronous WinINet request and the session and connection it needs,
// opened in that order and closed in reverse: the crash reporter's
// requests, which send no cookies, follow no redirect (its target never
// got what was sent) and show no user interface.
//
//   WinINetRequest request;
//   if (!request.Open(url, user_agent, L"GET") ||
//       !request.SetTimeouts(3000))
//     return false;
//   ::HttpSendRequestW(request.handle(), ...);

#ifndef COMPONENTS_UPLOAD_WININET_REQUEST_H_
#define COMPONENTS_UPLOAD_WININET_REQUEST_H_

#include <windows.h>
#include <wininet.h>

#include <optional>
#include <string>

#include "components/upload/scoped_internet_handle.h"

namespace upload {

struct HttpURL;

class WinINetRequest {
 public:
  WinINetRequest();
  WinINetRequest(const WinINetRequest&) = delete;
  WinINetRequest& operator=(const WinINetRequest&) = delete;
  ~WinINetRequest();

  // Opens a |verb| request for |url| with the system's proxy settings;
  // false (logged) when a step fails. Called once.
  bool Open(const HttpURL& url,
            const std::wstring& user_agent,
            const wchar_t* verb);

  // Bounds connecting, sending, and each wait for reply data.
  bool SetTimeouts(DWORD timeout_ms);

  HINTERNET handle() const { return request_ ? request_->get() : nullptr; }

 private:
  using ScopedWinINetHandle = ScopedInternetHandle<::InternetCloseHandle>;

  std::optional<ScopedWinINetHandle> internet_;
  std::optional<ScopedWinINetHandle> connection_;
  std::optional<ScopedWinINetHandle> request_;
};

}  // namespace upload

#endif  // COMPONENTS_UPLOAD_WININET_REQUEST_H_
