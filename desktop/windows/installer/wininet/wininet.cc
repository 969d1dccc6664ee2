#include "desktop/windows/installer/wininet/wininet.h"

#include <string.h>

// GetProcessMemoryInfo of psapi.dll, which every Windows has.
#define PSAPI_VERSION 1
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <limits>

#include "base/bind.h"
#include "base/logging.h"
#include "base/memory/ref_counted.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_util.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"
#include "base/synchronization/atomic_flag.h"
#include "base/synchronization/waitable_event.h"
#include "base/threading/simple_thread.h"
#include "base/threading/thread_task_runner_handle.h"
#include "desktop/windows/installer/product/version_info.h"
#include "desktop/windows/installer/wininet/connection_abort.h"
#include "desktop/windows/installer/wininet/download_observer.h"
#include "desktop/windows/installer/wininet/download_progress_delegate.h"
#include "desktop/windows/installer/wininet/download_url.h"
#include "desktop/windows/installer/wininet/host_allow_list.h"
#include "desktop/windows/installer/wininet/ui_callback_runner.h"
#include "desktop/windows/installer/wininet/wininet_response_writer.h"

namespace installer {

namespace {

constexpr wchar_t kUserAgentPrefix[] = L"Kelvo NetInstaller/";
// Large reads keep the calls per megabyte (and the writes to the file) few:
// under Wine a download with 8 KiB reads (what WinINet reports available at
// most) takes several times as long as with these, and 256 KiB reads a
// quarter longer.
constexpr DWORD kReadBufferSize = 1024 * 1024;
// A fast server fills the buffer at every read: after this many reads the
// loop lets the owner's other tasks (a Stop, say) run.
constexpr int kReadsPerTask = 4;
// A server that stops answering must not hold a download for ever. Wine
// does not honour these: the stall timer is what ends such a request there.
constexpr DWORD kConnectTimeoutMs = 30 * 1000;
constexpr DWORD kSendReceiveTimeoutMs = 60 * 1000;
// A hostile server's header is not read beyond this.
constexpr DWORD kMaxHeaderBytes = 64 * 1024;

base::TimeDelta g_retry_delay = WininetDownloader::kRetryDelay;
base::TimeDelta g_stall_time_limit = WininetDownloader::kStallTimeLimit;

bool IsConnectivityError(DWORD error) {
  switch (error) {
    case ERROR_INTERNET_TIMEOUT:
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
    case ERROR_INTERNET_CANNOT_CONNECT:
    case ERROR_INTERNET_CONNECTION_ABORTED:
    case ERROR_INTERNET_CONNECTION_RESET:
    case ERROR_HTTP_INVALID_SERVER_RESPONSE:
      return true;
    default:
      return false;
  }
}

bool IsRedirect(DWORD status) {
  return status == 301 || status == 302 || status == 303 || status == 307 ||
         status == 308;
}

int ClampToInt(int64_t value) {
  return static_cast<int>(
      std::min<int64_t>(value, std::numeric_limits<int>::max()));
}

// The text WinINet reports with a status: UTF-16 to a callback registered
// with the W function on some systems, narrow on others.
std::string StatusText(const void* info, DWORD size) {
  if (!info || !size)
    return std::string();
  const unsigned char* bytes = static_cast<const unsigned char*>(info);
  size = std::min<DWORD>(size, 256);
  std::string text;
  if (size >= 2 && bytes[0] && !bytes[1]) {
    for (DWORD i = 0; i + 1 < size; i += 2) {
      const wchar_t c = bytes[i] | (bytes[i + 1] << 8);
      if (!c)
        break;
      text += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return text;
  }
  const char* narrow = static_cast<const char*>(info);
  return std::string(narrow, strnlen(narrow, size));
}

// "bytes START-END/TOTAL"; |total| is -1 for "*".
bool ParseContentRange(const std::wstring& value,
                       int64_t* start,
                       int64_t* total) {
  const std::wstring prefix = L"bytes ";
  if (!base::StartsWith(value, prefix, base::CompareCase::INSENSITIVE_ASCII))
    return false;
  const size_t dash = value.find(L'-', prefix.size());
  const size_t slash = value.find(L'/', prefix.size());
  if (dash == std::wstring::npos || slash == std::wstring::npos ||
      dash > slash) {
    return false;
  }
  const std::wstring total_text = value.substr(slash + 1);
  *total = -1;
  return base::StringToInt64(value.substr(prefix.size(), dash - prefix.size()),
                             start) &&
         *start >= 0 &&
         (total_text == L"*" || base::StringToInt64(total_text, total));
}

int ShowProxyCredentialsDialog(HINTERNET request, HWND window) {
  return static_cast<int>(::InternetErrorDlg(
      window, request, ERROR_INTERNET_INCORRECT_PASSWORD,
      FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS |
          FLAGS_ERROR_UI_FLAGS_GENERATE_DATA,
      nullptr));
}

// What the process has committed; 0 when it cannot be told.
int64_t CommittedBytes() {
  PROCESS_MEMORY_COUNTERS counters = {};
  if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters,
                              sizeof(counters))) {
    return 0;
  }
  return static_cast<int64_t>(counters.PagefileUsage);
}

void SetTimeout(HINTERNET handle, DWORD option, DWORD milliseconds) {
  if (!::InternetSetOptionW(handle, option, &milliseconds,
                            sizeof(milliseconds))) {
    PLOG(WARNING) << "Could not set the WinINet time-out " << option;
  }
}

}  // namespace

// What the WinINet handles of one download share with the callback. WinINet
// reports the closing of each handle last, so the session lives until
// WinINet is done with every handle of the download.
struct WininetDownloader::Session
    : public base::RefCountedThreadSafe<WininetDownloader::Session> {
  Session(scoped_refptr<base::SingleThreadTaskRunner> owner,
          base::WeakPtr<WininetDownloader> downloader,
          const std::string& body)
      : owner(std::move(owner)), downloader(downloader), body(body) {}

  void HandleOpened() { ++open_handles; }
  void HandleClosed() {
    if (--open_handles == 0)
      handles_closed.Signal();
  }

  const scoped_refptr<base::SingleThreadTaskRunner> owner;
  const base::WeakPtr<WininetDownloader> downloader;
  // WinINet reads a POST body while the request is under way.
  const std::string body;
  base::AtomicFlag cancelled;
  // The cancellation is logged once, by the first callback that sees it.
  std::atomic<bool> cancellation_seen{false};
  std::atomic<int> open_handles{0};
  base::WaitableEvent handles_closed{
      base::WaitableEvent::ResetPolicy::MANUAL,
      base::WaitableEvent::InitialState::NOT_SIGNALED};

 private:
  friend class base::RefCountedThreadSafe<Session>;
  ~Session() = default;
};

// The context of one WinINet handle, deleted when WinINet closes it.
struct WininetDownloader::HandleContext {
  HandleContext(scoped_refptr<Session> session, int generation)
      : session(std::move(session)), generation(generation) {}

  const scoped_refptr<Session> session;
  // The request's generation; 0 for the connection.
  const int generation;
  // Requests only: an asynchronous read fills these after InternetReadFile
  // has returned, and WinINet may still do so after the request is closed.
  std::unique_ptr<char[]> buffer;
  DWORD bytes_read = 0;
  DWORD bytes_available = 0;
  std::wstring headers;
};

// Waits (bounded) until WinINet has closed a download's connection and
// requests, then closes the internet handle, off the owner's thread.
class WininetDownloader::TerminationThread : public base::SimpleThread {
 public:
  TerminationThread(HINTERNET internet, scoped_refptr<Session> session)
      : base::SimpleThread("Wininet Termination"),
        internet_(internet),
        session_(std::move(session)) {}

  void Run() override {
    VLOG(1) << "Waiting for WinINET to finish";
    if (!session_->handles_closed.TimedWait(kTerminationTimeLimit)) {
      LOG(WARNING) << "WinINet still holds handles of the download after "
                   << kTerminationTimeLimit.InSeconds() << " s";
    }
    ::InternetCloseHandle(internet_);
  }

 private:
  const HINTERNET internet_;
  const scoped_refptr<Session> session_;
};

WininetDownloader::ScopedRetryDelayForTesting::ScopedRetryDelayForTesting(
    base::TimeDelta delay)
    : previous_(g_retry_delay) {
  g_retry_delay = delay;
}

WininetDownloader::ScopedRetryDelayForTesting::~ScopedRetryDelayForTesting() {
  g_retry_delay = previous_;
}

WininetDownloader::ScopedStallTimeLimitForTesting::
    ScopedStallTimeLimitForTesting(base::TimeDelta limit)
    : previous_(g_stall_time_limit) {
  g_stall_time_limit = limit;
}

WininetDownloader::ScopedStallTimeLimitForTesting::
    ~ScopedStallTimeLimitForTesting() {
  g_stall_time_limit = previous_;
}

WininetDownloader::WininetDownloader(
    UICallbackRunner* ui_callback_runner,
    DownloadProgressDelegate* progress_delegate)
    : ui_callback_runner_(ui_callback_runner),
      progress_delegate_(progress_delegate) {
  CHECK(ui_callback_runner_);
}

WininetDownloader::~WininetDownloader() {
  CloseHandles();
  JoinTerminationThread();
}

bool WininetDownloader::Start(const std::wstring& url,
                              const std::string& body,
                              base::OnceClosure completion,
                              std::unique_ptr<ResponseWriter> writer,
                              std::unique_ptr<DownloadObserver> observer) {
  DCHECK(writer);
  DCHECK(observer);
  LOG(INFO) << "Starting download from " << url;
  CloseHandles();
  {
    base::AutoLock hold(error_lock_);
    error_text_.clear();
  }
  writer_ = std::move(writer);
  observer_ = std::move(observer);
  owner_ = base::ThreadTaskRunnerHandle::Get();
  url_ = url;
  post_ = !body.empty();
  redirect_count_ = 0;
  retry_count_ = 0;
  stall_count_ = 0;

  upload::HttpURL parsed;
  if (!ParseDownloadUrl(url, &parsed)) {
    SetError("Could not parse URL " + base::WideToUTF8(url));
    return false;
  }
  if (!IsHostAllowed(parsed.host, allowed_hosts_)) {
    SetError("Domain disallowed " + base::WideToUTF8(parsed.host));
    return false;
  }
  JoinTerminationThread();
  expected_size_ = 0;
  size_announced_ = false;
  bytes_received_ = 0;
  most_received_ = 0;

  const std::wstring user_agent =
      kUserAgentPrefix + base::UTF8ToWide(GetProductVersion());
  internet_ = ::InternetOpenW(user_agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG,
                              nullptr, nullptr, INTERNET_FLAG_ASYNC);
  if (!internet_) {
    SetError("InternetOpen failed for " + base::WideToUTF8(user_agent));
    return false;
  }
  SetTimeout(internet_, INTERNET_OPTION_CONNECT_TIMEOUT, kConnectTimeoutMs);
  SetTimeout(internet_, INTERNET_OPTION_SEND_TIMEOUT, kSendReceiveTimeoutMs);
  SetTimeout(internet_, INTERNET_OPTION_RECEIVE_TIMEOUT, kSendReceiveTimeoutMs);
  if (::InternetSetStatusCallbackW(internet_, &InternetStatusCallback) ==
      INTERNET_INVALID_STATUS_CALLBACK) {
    SetError("Could not register the WinINet status callback");
    CloseHandles();
    return false;
  }
  session_ =
      base::MakeRefCounted<Session>(owner_, weak_factory_.GetWeakPtr(), body);
  if (!Connect(parsed)) {
    CloseHandles();
    return false;
  }
  StartChunk();
  if (!OpenRequest(parsed, std::wstring())) {
    LOG(ERROR) << "Could not send Request";
    CloseHandles();
    return false;
  }
  request_url_ = url;
  completion_ = std::move(completion);
  state_ = STATE_REQUEST_SENT;
  VLOG(1) << "Downloader state: " << state_;
  if (!time_limit_.is_zero()) {
    time_limit_timer_.Start(FROM_HERE, time_limit_,
                            base::BindOnce(&WininetDownloader::OnTimeLimit,
                                           base::Unretained(this)));
  }
  return true;
}

void WininetDownloader::Stop() {
  LOG(INFO) << "Stopping the download";
  completion_.Reset();
  CloseHandles();
  state_ = STATE_STOPPED;
}

std::string WininetDownloader::GetErrorText() const {
  base::AutoLock hold(error_lock_);
  return error_text_;
}

// static
void CALLBACK WininetDownloader::InternetStatusCallback(HINTERNET handle,
                                                        DWORD_PTR context_value,
                                                        DWORD status,
                                                        void* info,
                                                        DWORD info_size) {
  HandleContext* context = reinterpret_cast<HandleContext*>(context_value);
  if (!context)
    return;
  VLOG(2) << "InternatStatusCallback called with code " << status;
  Session* session = context->session.get();
  const bool cancelled = session->cancelled.IsSet();
  if (cancelled && !session->cancellation_seen.exchange(true)) {
    VLOG(1) << "Wininet request cancelled: its further callbacks only let go "
               "of its handles.";
  }
  if (status == INTERNET_STATUS_HANDLE_CLOSING) {
    // WinINet's last word on this handle.
    scoped_refptr<Session> owned_session = context->session;
    delete context;
    owned_session->HandleClosed();
    return;
  }
  if (cancelled || !context->generation)
    return;
  if (status == INTERNET_STATUS_CONNECTED_TO_SERVER) {
    session->owner->PostTask(
        FROM_HERE,
        base::BindOnce(&WininetDownloader::OnServerIp, session->downloader,
                       context->generation, StatusText(info, info_size)));
  } else if (status == INTERNET_STATUS_REQUEST_COMPLETE) {
    const INTERNET_ASYNC_RESULT* result =
        static_cast<const INTERNET_ASYNC_RESULT*>(info);
    session->owner->PostTask(
        FROM_HERE,
        base::BindOnce(
            &WininetDownloader::OnRequestComplete, session->downloader,
            context->generation, result && result->dwResult != 0,
            result ? result->dwError
                   : static_cast<DWORD>(ERROR_INTERNET_INTERNAL_ERROR)));
  }
}

bool WininetDownloader::Connect(const upload::HttpURL& url) {
  if (connection_ && IsSameServer(connected_url_, url))
    return true;
  HandleContext* context = new HandleContext(session_, 0);
  session_->HandleOpened();
  HINTERNET connection = ::InternetConnectW(
      internet_, url.host.c_str(), url.port, nullptr, nullptr,
      INTERNET_SERVICE_HTTP, 0, reinterpret_cast<DWORD_PTR>(context));
  if (!connection) {
    delete context;
    session_->HandleClosed();
    SetError(base::StringPrintf("InternetConnect failed for %s:%d",
                                base::WideToUTF8(url.host).c_str(), url.port));
    return false;
  }
  if (connection_) {
    CloseRequest();
    ::InternetCloseHandle(connection_);
  }
  // WinINet reuses its connections to a server without reporting them
  // again: the address reported for it stays valid.
  if (!IsSameServer(connected_url_, url))
    server_address_.clear();
  connection_ = connection;
  connected_url_ = url;
  return true;
}

bool WininetDownloader::OpenRequest(const upload::HttpURL& url,
                                    const std::wstring& headers) {
  VLOG(1) << "Opening internet request";
  CloseRequest();
  auto context = std::make_unique<HandleContext>(session_, ++generation_);
  read_size_ = 0;
  most_available_ = 0;
  context->buffer = std::make_unique<char[]>(kReadBufferSize);
  context->headers = headers;
  // Redirects are followed by hand, each checked against the allowed hosts;
  // the body goes to the writer only, never into WinINet's cache.
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                INTERNET_FLAG_NO_AUTO_REDIRECT;
  if (url.secure)
    flags |= INTERNET_FLAG_SECURE;
  const std::string error_context = base::StringPrintf(
      "%s:%d%s, scheme %d, payload empty %d",
      base::WideToUTF8(url.host).c_str(), url.port,
      base::WideToUTF8(url.path).c_str(),
      url.secure ? INTERNET_SCHEME_HTTPS : INTERNET_SCHEME_HTTP, post_ ? 0 : 1);
  session_->HandleOpened();
  HINTERNET request = ::HttpOpenRequestW(
      connection_, post_ ? L"POST" : L"GET", url.path.c_str(), L"HTTP/1.1",
      nullptr, nullptr, flags, reinterpret_cast<DWORD_PTR>(context.get()));
  if (!request) {
    session_->HandleClosed();
    SetError("HttpOpenRequest failed for " + error_context);
    return false;
  }
  request_ = request;
  request_context_ = context.release();
  VLOG(1) << (post_ ? "Sending POST request" : "Sending GET request");
  const std::string& body = session_->body;
  const std::wstring& request_headers = request_context_->headers;
  if (!::HttpSendRequestW(
          request_, request_headers.empty() ? nullptr : request_headers.c_str(),
          static_cast<DWORD>(request_headers.size()),
          post_ ? const_cast<char*>(body.data()) : nullptr,
          post_ ? static_cast<DWORD>(body.size()) : 0) &&
      ::GetLastError() != ERROR_IO_PENDING) {
    SetError("HttpSendRequest failed for " + error_context);
    return false;
  }
  WatchForStall();
  header_watch_base_ = CommittedBytes();
  header_watch_timer_.Start(
      FROM_HERE, kHeaderWatchInterval,
      base::BindRepeating(&WininetDownloader::OnHeaderWatch,
                          base::Unretained(this)));
  return true;
}

void WininetDownloader::CloseRequest() {
  stall_timer_.Stop();
  header_watch_timer_.Stop();
  if (!request_)
    return;
  // Its context goes when WinINet reports the handle closed.
  ::InternetCloseHandle(request_);
  request_ = nullptr;
  request_context_ = nullptr;
  read_pending_ = false;
  query_pending_ = false;
  // Late events of the closed request are ignored.
  ++generation_;
}

void WininetDownloader::OnServerIp(int generation, const std::string& address) {
  if (generation != generation_)
    return;
  server_address_ = address;
  if (observer_)
    observer_->OnServerIp(address);
}

void WininetDownloader::OnRequestComplete(int generation,
                                          bool succeeded,
                                          DWORD error) {
  if (generation != generation_ || !request_)
    return;
  // A read that ended synchronously may be reported as well: only the
  // response and pending reads and queries are awaited here.
  if (state_ == STATE_RECEIVING && !read_pending_ && !query_pending_)
    return;
  if (state_ != STATE_REQUEST_SENT && state_ != STATE_RECEIVING)
    return;
  if (query_pending_) {
    query_pending_ = false;
    // A query's completion carries the bytes available where others carry
    // their error; the next query finds them at once.
    if (succeeded) {
      ReadBody();
      return;
    }
    if (error == ERROR_SUCCESS)
      error = ERROR_INTERNET_CONNECTION_ABORTED;
  }
  observer_->OnWininetError(static_cast<int>(error));
  if (error == ERROR_SUCCESS) {
    VLOG(2) << "Handling request completion";
    if (state_ == STATE_REQUEST_SENT) {
      if (HandleInitialCompletion())
        ReadBody();
      return;
    }
    read_pending_ = false;
    const DWORD bytes = request_context_->bytes_read;
    if (!bytes)
      OnEndOfBody();
    else if (ConsumeRead(bytes))
      ReadBody();
    return;
  }
  if (IsConnectivityError(error)) {
    LOG(WARNING) << "Request completed with an error indicating "
                    "connectivity issues: "
                 << error;
    CheckRetriesAndResume(static_cast<int>(error));
    return;
  }
  SetError(base::StringPrintf("Request completed with an unexpected error: %lu",
                              error));
  OnFailed();
}

bool WininetDownloader::HandleInitialCompletion() {
  LOG(INFO) << "Initial request completion";
  DWORD status = 0;
  DWORD size = sizeof(status);
  if (!::HttpQueryInfoW(request_,
                        HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                        &status, &size, nullptr)) {
    SetError("Could not obtain HTTP response code");
    OnFailed();
    return false;
  }
  observer_->OnHttpStatus(static_cast<int>(status));
  for (const wchar_t* name : {L"Date", L"Server", L"X-Served-By"})
    observer_->OnHeader(name, QueryRawHeader(name));

  if (status == 200 || status == 206) {
    if (!(status == 200 ? AcceptFullContent() : AcceptPartialContent()))
      return false;
    redirect_count_ = 0;
    header_watch_timer_.Stop();
    state_ = STATE_RECEIVING;
    VLOG(1) << "Downloader state: " << state_;
    return true;
  }
  if (IsRedirect(status)) {
    FollowRedirect(static_cast<int>(status));
  } else if (status == HTTP_STATUS_PROXY_AUTH_REQ) {
    LOG(WARNING) << "Request completed with a proxy authentication request";
    // The user may take their time: the request waits for them, not for
    // the server.
    stall_timer_.Stop();
    ui_callback_runner_->RunUICallbackAndPostReply(
        base::BindOnce(&ShowProxyCredentialsDialog, request_), owner_,
        base::BindOnce(&WininetDownloader::OnProxyCredentialsResult,
                       weak_factory_.GetWeakPtr(), generation_));
  } else if (status == 502 || status == 503 || status == 504) {
    LOG(WARNING) << "Download failed with " << status << " error";
    CheckRetriesAndResume(static_cast<int>(status));
  } else {
    SetError(base::StringPrintf(
        "Request completed with an unexpected HTTP status %lu", status));
    OnFailed();
  }
  return false;
}

bool WininetDownloader::AcceptFullContent() {
  if (bytes_received_ > 0) {
    // The server ignored the range: what came before is in this body again.
    LOG(WARNING) << "The whole body came again: the download starts over";
    if (!writer_->Restart()) {
      SetError("Could not start the download over");
      OnFailed();
      return false;
    }
    bytes_received_ = 0;
  }
  expected_size_ = 0;
  size_announced_ = false;
  int64_t length = 0;
  const std::wstring length_text = QueryRawHeader(L"Content-Length");
  if (base::StringToInt64(length_text, &length) && length >= 0) {
    if (length > max_body_size_) {
      SetError(base::StringPrintf(
          "The server announces %lld bytes, more than the %lld allowed",
          static_cast<long long>(length),
          static_cast<long long>(max_body_size_)));
      OnFailed();
      return false;
    }
    expected_size_ = length;
    size_announced_ = true;
    VLOG(1) << "Expected total size: " << expected_size_;
  } else {
    LOG(INFO) << "Could not get Content-Length from response";
  }
  if (progress_delegate_)
    progress_delegate_->SetTotalProgress(ClampToInt(expected_size_));
  return true;
}

bool WininetDownloader::AcceptPartialContent() {
  const std::wstring range = QueryRawHeader(L"Content-Range");
  int64_t start = -1;
  int64_t total = -1;
  if (!ParseContentRange(range, &start, &total) || start != bytes_received_ ||
      (total >= 0 && expected_size_ > 0 && total != expected_size_)) {
    SetError(base::StringPrintf(
        "The partial reply \"%s\" does not continue the %lld bytes received",
        base::WideToUTF8(range).c_str(),
        static_cast<long long>(bytes_received_)));
    OnFailed();
    return false;
  }
  if (total > max_body_size_) {
    SetError(base::StringPrintf(
        "The server announces %lld bytes, more than the %lld allowed",
        static_cast<long long>(total), static_cast<long long>(max_body_size_)));
    OnFailed();
    return false;
  }
  if (total >= 0) {
    expected_size_ = total;
    size_announced_ = true;
  }
  return true;
}

void WininetDownloader::FollowRedirect(int status) {
  VLOG(1) << "Redirect occured";
  const std::wstring target =
      ResolveRedirectUrl(request_url_, QueryRawHeader(L"Location"));
  observer_->OnRedirect(target);
  if (++redirect_count_ > kMaxRedirects) {
    SetError(base::StringPrintf("Too many redirects, the last to %s",
                                base::WideToUTF8(target).c_str()));
    OnFailed();
    return;
  }
  upload::HttpURL parsed;
  if (!ParseDownloadUrl(target, &parsed)) {
    SetError("Redirect URL failed to parse " + base::WideToUTF8(target));
    OnFailed();
    return;
  }
  if (!IsHostAllowed(parsed.host, allowed_hosts_)) {
    SetError("Redirect URL is disallowed " + base::WideToUTF8(target));
    OnFailed();
    return;
  }
  // As browsers do: only 307 and 308 repeat a POST at the new address.
  if (status != 307 && status != 308)
    post_ = false;
  const std::wstring headers = request_context_->headers;
  if (!Connect(parsed) || !OpenRequest(parsed, headers)) {
    OnFailed();
    return;
  }
  request_url_ = target;
}

void WininetDownloader::ReadBody() {
  VLOG(2) << "Additional data downloaded";
  for (int reads = 0; reads < kReadsPerTask; ++reads) {
    // WinINet completes a read that has to wait for data only once its
    // buffer is full, and drops what it holds when the connection breaks
    // first: a read asks for what has arrived, and for more only while the
    // data waits in WinINet's buffer (as much as ever before has arrived)
    // and the reads before were served in full at once.
    DWORD& available = request_context_->bytes_available;
    available = 0;
    if (!::InternetQueryDataAvailable(request_, &available, 0, 0)) {
      read_size_ = 0;
      OnReadError(::GetLastError(), &query_pending_);
      return;
    }
    if (!available) {
      OnEndOfBody();
      return;
    }
    if (available < most_available_)
      read_size_ = 0;
    most_available_ = std::max(most_available_, available);
    const DWORD size =
        std::min(kReadBufferSize, std::max(available, read_size_));
    DWORD& bytes = request_context_->bytes_read;
    bytes = 0;
    if (!::InternetReadFile(request_, request_context_->buffer.get(), size,
                            &bytes)) {
      read_size_ = 0;
      OnReadError(::GetLastError(), &read_pending_);
      return;
    }
    if (!bytes) {
      OnEndOfBody();
      return;
    }
    if (bytes == size)
      read_size_ = std::min(kReadBufferSize, size * 2);
    if (!ConsumeRead(bytes))
      return;
  }
  owner_->PostTask(FROM_HERE,
                   base::BindOnce(&WininetDownloader::ContinueReading,
                                  weak_factory_.GetWeakPtr(), generation_));
}

void WininetDownloader::OnReadError(DWORD error, bool* pending) {
  if (error == ERROR_IO_PENDING) {
    VLOG(2) << "More data pending";
    *pending = true;
  } else if (IsConnectivityError(error)) {
    LOG(ERROR) << "Download interrupted by loss of connectivity: " << error;
    CheckRetriesAndResume(static_cast<int>(error));
  } else {
    SetError(base::StringPrintf("Download interrupted for unknown reason: %lu",
                                error));
    OnFailed();
  }
}

void WininetDownloader::ContinueReading(int generation) {
  if (generation == generation_ && request_ && state_ == STATE_RECEIVING &&
      !read_pending_ && !query_pending_) {
    ReadBody();
  }
}

bool WininetDownloader::ConsumeRead(DWORD bytes) {
  const int64_t limit = size_announced_ ? expected_size_ : max_body_size_;
  if (bytes > limit - bytes_received_) {
    SetError(base::StringPrintf(
        size_announced_ ? "The body is longer than the %lld bytes announced"
                        : "The body is longer than the %lld bytes allowed",
        static_cast<long long>(limit)));
    OnFailed();
    return false;
  }
  if (!writer_->Write(request_context_->buffer.get(), bytes)) {
    SetError("Could not store the downloaded data");
    OnFailed();
    return false;
  }
  bytes_received_ += bytes;
  if (bytes_received_ > most_received_) {
    // New bytes: the failures before them are no longer in a row. A body
    // that only comes again up to where it broke off does not count.
    most_received_ = bytes_received_;
    retry_count_ = 0;
  }
  VLOG(2) << "Downloaded size: " << bytes_received_;
  if (progress_delegate_)
    progress_delegate_->SetCurrentProgress(ClampToInt(bytes_received_));
  return true;
}

void WininetDownloader::OnEndOfBody() {
  VLOG(1) << "Done reading from Internet";
  if (bytes_received_ < expected_size_) {
    LOG(WARNING) << "Download completed, but we are below response size";
    CheckRetriesAndResume(ERROR_INTERNET_CONNECTION_ABORTED);
    return;
  }
  OnCompleted();
}

void WininetDownloader::CheckRetriesAndResume(int error) {
  if (retry_count_ > 1 && progress_delegate_)
    progress_delegate_->NotifyStalled(error);
  if (retry_count_ > max_retries_) {
    SetError(base::StringPrintf("Number of retries exceeded, last error: %d",
                                error));
    OnFailed();
    return;
  }
  LOG(INFO) << "Retrying " << retry_count_ << " of " << max_retries_;
  ++retry_count_;
  CloseRequest();
  owner_->PostDelayedTask(
      FROM_HERE,
      base::BindOnce(&WininetDownloader::Resume, weak_factory_.GetWeakPtr()),
      g_retry_delay);
}

void WininetDownloader::WatchForStall() {
  stall_mark_ = bytes_received_;
  stall_timer_.Start(
      FROM_HERE, g_stall_time_limit,
      base::BindOnce(&WininetDownloader::OnStallCheck, base::Unretained(this)));
}

void WininetDownloader::OnStallCheck() {
  if (!request_ ||
      (state_ != STATE_REQUEST_SENT && state_ != STATE_RECEIVING)) {
    return;
  }
  const int64_t brought = bytes_received_ - stall_mark_;
  if (brought >= kStallMinBytes) {
    // Only stalls in a row end a download: a link that keeps coming back
    // brings the package in the end.
    stall_count_ = 0;
    WatchForStall();
    return;
  }
  ++stall_count_;
  LOG(WARNING) << "The request brought " << brought << " bytes in "
               << g_stall_time_limit.InSeconds() << " s: stalled ("
               << stall_count_ << " of " << kMaxStalls << ")";
  if (stall_count_ >= kMaxStalls) {
    SetError(base::StringPrintf(
        "The server stalled %d times, bringing fewer than %lld bytes in %lld "
        "ms each time",
        stall_count_, static_cast<long long>(kStallMinBytes),
        static_cast<long long>(g_stall_time_limit.InMilliseconds())));
    OnFailed();
    return;
  }
  // WinINet would go on waiting on it, and hold the next request back.
  AbortConnection();
  // What WinINet reports when its own time-out strikes.
  CheckRetriesAndResume(ERROR_INTERNET_TIMEOUT);
}

void WininetDownloader::OnHeaderWatch() {
  if (!request_ || state_ != STATE_REQUEST_SENT) {
    header_watch_timer_.Stop();
    return;
  }
  const int64_t growth = CommittedBytes() - header_watch_base_;
  if (growth < kMaxHeaderGrowth)
    return;
  SetError(base::StringPrintf(
      "The response header is without end: the process grew by %lld bytes "
      "while it was read",
      static_cast<long long>(growth)));
  OnFailed();
}

void WininetDownloader::Resume() {
  EndChunk();
  CloseRequest();
  LOG(INFO) << "Attempting download resume";
  post_ = !session_->body.empty();
  std::wstring headers;
  if (post_) {
    // A POST is sent again whole; its reply starts over.
    if (bytes_received_ > 0 && !writer_->Restart()) {
      SetError("Could not start the download over");
      OnFailed();
      return;
    }
    bytes_received_ = 0;
  } else {
    headers = L"Range: bytes=" + base::Int64ToString16(bytes_received_) + L"-";
  }
  upload::HttpURL parsed;
  if (!ParseDownloadUrl(url_, &parsed)) {
    SetError("Cannot parse URL on resume " + base::WideToUTF8(url_));
    OnFailed();
    return;
  }
  redirect_count_ = 0;
  StartChunk();
  observer_->OnRetry(retry_count_);
  if (!Connect(parsed) || !OpenRequest(parsed, headers)) {
    LOG(ERROR) << "Could not resume downloading";
    OnFailed();
    return;
  }
  request_url_ = url_;
  state_ = STATE_REQUEST_SENT;
}

void WininetDownloader::OnProxyCredentialsResult(int generation, int result) {
  if (generation != generation_ || !request_)
    return;
  if (result == ERROR_INTERNET_FORCE_RETRY) {
    LOG(INFO) << "Logged in to proxy - resuming download";
    Resume();
    return;
  }
  SetError(result == ERROR_SUCCESS || result == ERROR_CANCELLED
               ? "The user cancelled the prompt for proxy credentials"
               : "Failed to obtain credentials for proxy");
  OnFailed();
}

void WininetDownloader::OnTimeLimit() {
  SetError(
      base::StringPrintf("The download did not end within %lld ms",
                         static_cast<long long>(time_limit_.InMilliseconds())));
  OnFailed();
}

void WininetDownloader::OnCompleted() {
  retry_count_ = 0;
  // The body has ended: the connection may serve the next request.
  state_ = STATE_COMPLETED;
  CloseHandles();
  LOG(INFO) << "Download completed";
  VLOG(1) << "Downloader state: " << state_;
  // The owner may delete this downloader in its completion.
  if (completion_)
    std::move(completion_).Run();
}

void WininetDownloader::OnFailed() {
  LOG(ERROR) << "Download failed";
  CloseHandles();
  state_ = STATE_FAILED;
  VLOG(1) << "Downloader state: " << state_;
  if (completion_)
    std::move(completion_).Run();
}

void WininetDownloader::CloseHandles() {
  VLOG(1) << "Closing download session";
  EndChunk();
  time_limit_timer_.Stop();
  // Nothing posted for this download runs any more.
  weak_factory_.InvalidateWeakPtrs();
  if (session_)
    session_->cancelled.Set();
  if (writer_)
    writer_->Finish();
  if (request_ && (state_ == STATE_REQUEST_SENT || state_ == STATE_RECEIVING)) {
    AbortConnection();
  }
  CloseRequest();
  if (connection_) {
    ::InternetCloseHandle(connection_);
    connection_ = nullptr;
    JoinTerminationThread();
    termination_thread_ =
        std::make_unique<TerminationThread>(internet_, session_);
    if (!termination_thread_->Start()) {
      LOG(ERROR) << "Could not start the WinINet termination thread";
      termination_thread_.reset();
      ::InternetCloseHandle(internet_);
    }
  } else if (internet_) {
    ::InternetCloseHandle(internet_);
  }
  internet_ = nullptr;
  session_ = nullptr;
}

void WininetDownloader::AbortConnection() {
  // Before WinINet has reported the server's address, the host may be one.
  AbortConnectionsTo(server_address_.empty()
                         ? base::WideToUTF8(connected_url_.host)
                         : server_address_,
                     connected_url_.port);
}

void WininetDownloader::JoinTerminationThread() {
  if (!termination_thread_)
    return;
  VLOG(1) << "Waiting for previous WinINET invocation to terminate.";
  termination_thread_->Join();
  termination_thread_.reset();
}

void WininetDownloader::StartChunk() {
  observer_->OnChunkStart(bytes_received_);
  chunk_open_ = true;
}

void WininetDownloader::EndChunk() {
  if (!chunk_open_)
    return;
  chunk_open_ = false;
  observer_->OnChunkEnd(bytes_received_);
}

void WininetDownloader::SetError(const std::string& text) {
  LOG(ERROR) << text;
  base::AutoLock hold(error_lock_);
  error_text_ += text;
  error_text_ += '\n';
}

std::wstring WininetDownloader::QueryRawHeader(const std::wstring& name) {
  DWORD size = static_cast<DWORD>((name.size() + 256) * sizeof(wchar_t));
  // WinINet asks for a larger buffer at most once for a header that does
  // not change.
  for (int attempt = 0; attempt < 3 && size <= kMaxHeaderBytes; ++attempt) {
    // On input the buffer holds the header's name.
    std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
    buffer.replace(0, name.size(), name);
    if (::HttpQueryInfoW(request_, HTTP_QUERY_CUSTOM, &buffer[0], &size,
                         nullptr)) {
      buffer.resize(size / sizeof(wchar_t));
      return buffer;
    }
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
      break;
  }
  return std::wstring();
}

}  // namespace installer
