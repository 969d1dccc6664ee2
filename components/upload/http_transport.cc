#include "components/upload/http_transport.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <climits>
#include <utility>

#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "components/upload/http_body_stream.h"
#include "components/upload/http_url.h"
#include "components/upload/scoped_internet_handle.h"

namespace upload {

namespace {

using ScopedWinHttpHandle = ScopedInternetHandle<::WinHttpCloseHandle>;

int TimeoutMilliseconds(double seconds) {
  return static_cast<int>(std::clamp(seconds * 1000.0, 1.0, double{INT_MAX}));
}

bool HasLineBreak(const std::string& text) {
  return text.find_first_of("\r\n") != std::string::npos;
}

}  // namespace

bool HTTPTransport::HeaderNameLess::operator()(const std::string& a,
                                               const std::string& b) const {
  return base::CompareCaseInsensitiveASCII(a, b) < 0;
}

// static
std::unique_ptr<HTTPTransport> HTTPTransport::Create() {
  return std::unique_ptr<HTTPTransport>(new HTTPTransport());
}

HTTPTransport::HTTPTransport() = default;

HTTPTransport::~HTTPTransport() = default;

void HTTPTransport::SetMethod(const std::string& method) {
  method_ = method;
}

void HTTPTransport::SetURL(const std::string& url) {
  url_ = url;
}

void HTTPTransport::SetHeader(const std::string& name,
                              const std::string& value) {
  headers_[name] = value;
}

void HTTPTransport::SetBodyStream(std::unique_ptr<HTTPBodyStream> stream) {
  body_stream_ = std::move(stream);
}

void HTTPTransport::SetTimeout(double timeout) {
  timeout_ = timeout;
}

bool HTTPTransport::ExecuteSynchronously(std::string* response_body) {
  const int timeout_ms = TimeoutMilliseconds(timeout_);
  const ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
  std::string body;
  if (body_stream_ && !ReadWholeBody(body_stream_.get(), kMaxBodySize, &body))
    return false;
  std::wstring headers;
  HttpURL url;
  if (!GetHeaderText(&headers) || !CrackHttpURL(base::UTF8ToWide(url_), &url))
    return false;

  ScopedWinHttpHandle session(
      ::WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                    WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session || !::WinHttpSetTimeouts(session.get(), timeout_ms, timeout_ms,
                                        timeout_ms, timeout_ms)) {
    PLOG(ERROR) << "Cannot open a WinHTTP session";
    return false;
  }
  ScopedWinHttpHandle connection(
      ::WinHttpConnect(session.get(), url.host.c_str(), url.port, 0));
  if (!connection) {
    PLOG(ERROR) << "WinHttpConnect failed for " << url_;
    return false;
  }
  ScopedWinHttpHandle request(::WinHttpOpenRequest(
      connection.get(), base::UTF8ToWide(method_).c_str(), url.path.c_str(),
      nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
      url.secure ? WINHTTP_FLAG_SECURE : 0));
  // A redirected POST would arrive elsewhere as a GET without the upload,
  // and its 200 would pass for success.
  DWORD disable = WINHTTP_DISABLE_REDIRECTS;
  // The wait for the reply's headers has a time-out of its own, unlimited
  // unless set, which WinHttpSetTimeouts leaves alone.
  DWORD response_timeout = static_cast<DWORD>(timeout_ms);
  if (!request ||
      !::WinHttpSetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE,
                          &disable, sizeof(disable)) ||
      !::WinHttpSetOption(request.get(),
                          WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT,
                          &response_timeout, sizeof(response_timeout))) {
    PLOG(ERROR) << "Cannot open the request to " << url_;
    return false;
  }
  const DWORD body_size = static_cast<DWORD>(body.size());
  if (!::WinHttpSendRequest(
          request.get(),
          headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
          headers.empty() ? 0 : static_cast<DWORD>(-1),
          body.empty() ? WINHTTP_NO_REQUEST_DATA : body.data(), body_size,
          body_size, 0) ||
      !::WinHttpReceiveResponse(request.get(), nullptr)) {
    PLOG(ERROR) << method_ << " " << url_ << " failed";
    return false;
  }
  return CheckReply(request.get(), deadline, response_body);
}

bool HTTPTransport::GetHeaderText(std::wstring* text) const {
  for (const auto& [name, value] : headers_) {
    // A line break would smuggle in a header, or a request, of its own.
    if (HasLineBreak(name) || HasLineBreak(value)) {
      LOG(ERROR) << "Refusing the header \"" << name
                 << "\": it holds a line break";
      return false;
    }
    *text += base::UTF8ToWide(name + ": " + value + "\r\n");
  }
  return true;
}

bool HTTPTransport::CheckReply(HINTERNET request,
                               uint64_t deadline,
                               std::string* response_body) const {
  DWORD status = 0;
  DWORD status_size = sizeof(status);
  if (!::WinHttpQueryHeaders(
          request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
          WINHTTP_HEADER_NAME_BY_INDEX, &status, &status_size,
          WINHTTP_NO_HEADER_INDEX)) {
    PLOG(ERROR) << "No status in the reply to " << url_;
    return false;
  }
  if (status != 200) {
    LOG(ERROR) << method_ << " " << url_ << " answered " << status;
    return false;
  }
  if (!response_body)
    return true;
  response_body->clear();
  char buffer[16384];
  while (true) {
    if (::GetTickCount64() > deadline) {
      LOG(ERROR) << "The reply of " << url_ << " took too long";
      return false;
    }
    DWORD read = 0;
    if (!::WinHttpReadData(request, buffer, sizeof(buffer), &read)) {
      PLOG(ERROR) << "Cannot read the reply of " << url_;
      return false;
    }
    if (read == 0)
      return true;
    if (response_body->size() + read > kMaxResponseBodySize) {
      LOG(ERROR) << "The reply of " << url_ << " exceeds "
                 << kMaxResponseBodySize << " bytes";
      return false;
    }
    response_body->append(buffer, read);
  }
}

}  // namespace upload
