#include "components/upload/wininet_request.h"

#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "components/upload/http_url.h"

namespace upload {

WinINetRequest::WinINetRequest() = default;

// The request goes first, then its connection, then the session.
WinINetRequest::~WinINetRequest() {
  request_.reset();
  connection_.reset();
}

bool WinINetRequest::Open(const HttpURL& url,
                          const std::wstring& user_agent,
                          const wchar_t* verb) {
  DCHECK(!internet_);
  internet_.emplace(::InternetOpenW(
      user_agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!*internet_) {
    PLOG(ERROR) << "InternetOpen failed";
    return false;
  }
  connection_.emplace(::InternetConnectW(internet_->get(), url.host.c_str(),
                                         url.port, nullptr, nullptr,
                                         INTERNET_SERVICE_HTTP, 0, 0));
  if (!*connection_) {
    PLOG(ERROR) << "InternetConnect failed for " << base::WideToUTF8(url.host);
    return false;
  }
  const DWORD flags = INTERNET_FLAG_NO_COOKIES |
                      INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_UI |
                      (url.secure ? INTERNET_FLAG_SECURE : 0);
  request_.emplace(::HttpOpenRequestW(connection_->get(), verb,
                                      url.path.c_str(), nullptr, nullptr,
                                      nullptr, flags, 0));
  if (!*request_) {
    PLOG(ERROR) << "HttpOpenRequest failed for " << base::WideToUTF8(url.path);
    return false;
  }
  return true;
}

bool WinINetRequest::SetTimeouts(DWORD timeout_ms) {
  for (DWORD option :
       {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
        INTERNET_OPTION_RECEIVE_TIMEOUT,
        INTERNET_OPTION_DATA_RECEIVE_TIMEOUT}) {
    if (!::InternetSetOptionW(handle(), option, &timeout_ms,
                              sizeof(timeout_ms))) {
      PLOG(ERROR) << "Cannot set the time-out option " << option;
      return false;
    }
  }
  return true;
}

}  // namespace upload
