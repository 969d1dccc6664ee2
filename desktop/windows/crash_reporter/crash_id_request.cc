#include "desktop/windows/crash_reporter/crash_id_request.h"

#include <windows.h>
#include <wininet.h>

#include <memory>

#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "base/synchronization/waitable_event.h"
#include "base/threading/platform_thread.h"
#include "components/upload/http_url.h"
#include "components/upload/wininet_request.h"
#include "desktop/windows/crash_reporter/crash_server_urls.h"

namespace crash_reporter {

const wchar_t kCrashServerUserAgent[] = L"Breakpad/1.0 (Windows)";

namespace {

// A Location header is a URL; one longer than this is no answer of a
// crash server.
constexpr DWORD kMaxLocationLength = 8192;

// What the request thread hands back; shared, since a caller whose time
// ran out leaves before the thread does.
struct CrashIdExchange {
  CrashIdExchange()
      : done(base::WaitableEvent::ResetPolicy::MANUAL,
             base::WaitableEvent::InitialState::NOT_SIGNALED) {}

  // Copies: a thread whose caller gave up may outlive the process's
  // static objects.
  std::wstring url;
  std::wstring user_agent;
  std::wstring url_header;
  std::wstring origin;
  int timeout_ms = 0;

  CrashIdResult result = kCrashIdFailed;
  std::wstring crash_id;
  std::wstring location;
  base::WaitableEvent done;
};

// A header the crashed process supplied must not carry a line of its own.
bool IsSafeHeaderValue(const std::wstring& value) {
  for (wchar_t c : value) {
    if (c < 0x20 || c == 0x7f)
      return false;
  }
  return true;
}

bool AddHeader(HINTERNET request,
               const wchar_t* name,
               const std::wstring& value) {
  if (value.empty())
    return true;
  if (!IsSafeHeaderValue(value)) {
    LOG(WARNING) << "Header " << name << " left out: its value holds control "
                 << "characters";
    return true;
  }
  std::wstring header = std::wstring(name) + L": " + value + L"\r\n";
  if (!::HttpAddRequestHeadersW(
          request, header.c_str(), static_cast<DWORD>(header.size()),
          HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_ADD_IF_NEW)) {
    PLOG(ERROR) << "Cannot add the header " << name;
    return false;
  }
  return true;
}

// The reply's Location; false when it has none or an absurd one.
bool QueryLocation(HINTERNET request, std::wstring* location) {
  // In: the header's name; out: its value. Sizes are in bytes.
  std::wstring buffer = L"Location";
  buffer.resize(9);
  DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  if (!::HttpQueryInfoW(request, HTTP_QUERY_CUSTOM, &buffer[0], &size,
                        nullptr)) {
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0 ||
        size / sizeof(wchar_t) > kMaxLocationLength) {
      PLOG(ERROR) << "The crash server's 303 has no usable Location";
      return false;
    }
    buffer = L"Location";
    buffer.resize(size / sizeof(wchar_t) + 1);
    size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (!::HttpQueryInfoW(request, HTTP_QUERY_CUSTOM, &buffer[0], &size,
                          nullptr)) {
      PLOG(ERROR) << "Cannot read the crash server's Location";
      return false;
    }
  }
  location->assign(buffer.c_str(), size / sizeof(wchar_t));
  return true;
}

// The id in "...?id=<id>&..."; false when either mark is missing.
bool ParseCrashId(const std::wstring& location, std::wstring* crash_id) {
  size_t start = location.find(L"?id=");
  if (start == std::wstring::npos)
    return false;
  start += 4;
  size_t end = location.find(L'&', start);
  if (end == std::wstring::npos)
    return false;
  *crash_id = location.substr(start, end - start);
  return true;
}

CrashIdResult ReadReply(HINTERNET request, CrashIdExchange* exchange) {
  wchar_t status[4] = {};
  DWORD size = sizeof(status);
  if (!::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE, status, &size,
                        nullptr)) {
    PLOG(ERROR) << "The crash server's reply has no status";
    return kCrashIdFailed;
  }
  const std::wstring code(status, wcsnlen(status, 3));
  if (code == L"503") {
    LOG(INFO) << "The crash server is busy (503)";
    return kCrashIdServerBusy;
  }
  if (code != L"303") {
    LOG(WARNING) << "The crash server gave no crash id: "
                 << base::WideToUTF8(code);
    return kCrashIdFailed;
  }
  std::wstring location;
  std::wstring crash_id;
  if (!QueryLocation(request, &location) ||
      !ParseCrashId(location, &crash_id)) {
    LOG(WARNING) << "The crash server's Location holds no crash id";
    return kCrashIdFailed;
  }
  exchange->location = location;
  exchange->crash_id = crash_id;
  return kCrashIdReceived;
}

CrashIdResult SendRequest(CrashIdExchange* exchange) {
  upload::HttpURL cracked;
  upload::WinINetRequest request;
  if (!upload::CrackHttpURL(exchange->url, &cracked) ||
      !request.Open(cracked, exchange->user_agent, L"GET") ||
      (exchange->timeout_ms > 0 &&
       !request.SetTimeouts(static_cast<DWORD>(exchange->timeout_ms))) ||
      !AddHeader(request.handle(), L"X-Kelvo-Crash-URL",
                 exchange->url_header) ||
      !AddHeader(request.handle(), L"X-Origin", exchange->origin)) {
    return kCrashIdFailed;
  }
  if (!::HttpSendRequestW(request.handle(), nullptr, 0, nullptr, 0)) {
    PLOG(ERROR) << "The crash id request failed";
    return kCrashIdFailed;
  }
  return ReadReply(request.handle(), exchange);
}

// Runs the request on a thread of its own: WinINet's time-outs bound each
// step, but not a server that sends its reply a byte at a time.
class CrashIdRequestThread : public base::PlatformThread::Delegate {
 public:
  explicit CrashIdRequestThread(std::shared_ptr<CrashIdExchange> exchange)
      : exchange_(std::move(exchange)) {}

  void ThreadMain() override {
    exchange_->result = SendRequest(exchange_.get());
    exchange_->done.Signal();
    delete this;
  }

 private:
  const std::shared_ptr<CrashIdExchange> exchange_;
};

}  // namespace

CrashIdResult RequestCrashId(const std::wstring& url_header,
                             const std::wstring& origin,
                             std::wstring* crash_id,
                             std::wstring* location,
                             int timeout_ms) {
  auto exchange = std::make_shared<CrashIdExchange>();
  exchange->url = GetCrashServerUrl();
  exchange->user_agent = kCrashServerUserAgent + GetUserAgentSuffix();
  exchange->url_header = url_header;
  exchange->origin = origin;
  exchange->timeout_ms = timeout_ms;
  if (timeout_ms <= 0) {
    exchange->result = SendRequest(exchange.get());
  } else {
    auto* thread = new CrashIdRequestThread(exchange);
    if (!base::PlatformThread::CreateNonJoinable(0, thread)) {
      delete thread;
      LOG(ERROR) << "No thread for the crash id request";
      return kCrashIdFailed;
    }
    if (!exchange->done.TimedWait(
            base::TimeDelta::FromMilliseconds(timeout_ms))) {
      LOG(ERROR) << "The crash server gave no answer within " << timeout_ms
                 << " ms";
      return kCrashIdFailed;
    }
  }
  if (exchange->result == kCrashIdReceived) {
    *crash_id = exchange->crash_id;
    *location = exchange->location;
  }
  return exchange->result;
}

}  // namespace crash_reporter
