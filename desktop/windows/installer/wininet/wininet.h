// One HTTP GET or POST at a time over WinINet in asynchronous mode, with the
// body streamed into a ResponseWriter and the connection's events reported
// to a DownloadObserver:
//
//   WininetDownloader downloader(ui_callback_runner, progress_delegate);
//   downloader.set_allowed_hosts(AllowedServerHosts());
//   downloader.Start(url, std::string(), base::BindOnce(&OnDone),
//                    std::move(writer), std::make_unique<DownloadObserver>());
//   ... OnDone: downloader.state() is STATE_COMPLETED or STATE_FAILED ...
//
// Connectivity errors and overloaded servers (502, 503, 504) are retried
// after a delay, up to max_retries() failures in a row; an interrupted
// body is resumed with a byte range from the bytes written after the same
// delay, and counts as a failure too. Only new bytes of the body end a row
// of failures, so that a server that keeps breaking off at the same place
// cannot hold the download for ever. A request that brings (almost)
// nothing for kStallTimeLimit is ended by the downloader's own stall timer
// and counts as a failure (WinINet's time-outs are set as well, but Wine
// does not honour them); kMaxStalls stalls in a row end the download. A
// body never grows past the size the server announced, nor past
// max_body_size(); a response header whose reading grows the process by
// kMaxHeaderGrowth ends the download. A response that is not read to its
// end has its connection shut down (connection_abort.h). Redirects are
// followed by hand, each hop checked against the allowed hosts; a proxy
// that asks for credentials gets them through the UICallbackRunner.
//
// Threads: Start, Stop and the destructor are called on one thread with a
// message loop (the owner). WinINet's status callbacks only post to that
// loop, so the writer, the observer, the progress delegate and the
// completion are all called there. The memory WinINet writes into and
// reports with lives in reference-counted contexts that WinINet lets go of
// when it closes each handle, so a late callback never reaches a freed
// downloader.

#ifndef DESKTOP_WINDOWS_INSTALLER_WININET_WININET_H_
#define DESKTOP_WINDOWS_INSTALLER_WININET_WININET_H_

#include <stdint.h>
#include <windows.h>
#include <wininet.h>

#include <memory>
#include <string>
#include <vector>

#include "base/callback.h"
#include "base/memory/scoped_refptr.h"
#include "base/memory/weak_ptr.h"
#include "base/single_thread_task_runner.h"
#include "base/synchronization/lock.h"
#include "base/time/time.h"
#include "base/timer/timer.h"
#include "components/upload/http_url.h"

namespace installer {

class DownloadObserver;
class DownloadProgressDelegate;
class ResponseWriter;
class UICallbackRunner;

class WininetDownloader {
 public:
  enum State {
    STATE_IDLE = 0,
    STATE_REQUEST_SENT = 1,
    STATE_RECEIVING = 2,
    STATE_STOPPED = 3,
    STATE_FAILED = 4,
    STATE_COMPLETED = 5,
  };

  static constexpr int kDefaultMaxRetries = 600;
  static constexpr base::TimeDelta kRetryDelay =
      base::TimeDelta::FromSeconds(6);
  static constexpr int kMaxRedirects = 10;
  // A request that brings fewer than kStallMinBytes of body in
  // kStallTimeLimit (from its sending, or from the last such check) is
  // stalled: the limit ends a server that never answers, and one that
  // drips its body. Every byte counts as it arrives: reads ask for what
  // has arrived, never wait for a full buffer.
  static constexpr base::TimeDelta kStallTimeLimit =
      base::TimeDelta::FromSeconds(30);
  static constexpr int64_t kStallMinBytes = 1024;
  // Stalled requests in a row that end a download: a server that stops
  // answering has not woken up after this many.
  static constexpr int kMaxStalls = 3;
  // The largest body a download takes when the server announces no size
  // (or a larger one): several times the largest package, and far beyond
  // any reply of the update server, so that a body without end cannot fill
  // the disk.
  static constexpr int64_t kDefaultMaxBodySize = int64_t{1} << 30;
  // A response header is a few kilobytes. WinINet under Wine reads one
  // without end into memory and cannot be stopped but at the socket: the
  // process growing by this much while a response's header is awaited ends
  // the download.
  static constexpr int64_t kMaxHeaderGrowth = int64_t{64} << 20;
  static constexpr base::TimeDelta kHeaderWatchInterval =
      base::TimeDelta::FromMilliseconds(200);
  // How long closing waits for WinINet to let go of a download's handles.
  static constexpr base::TimeDelta kTerminationTimeLimit =
      base::TimeDelta::FromSeconds(10);

  // Every downloader of the process waits |delay| instead of kRetryDelay
  // while this lives (tests only).
  class ScopedRetryDelayForTesting {
   public:
    explicit ScopedRetryDelayForTesting(base::TimeDelta delay);
    ScopedRetryDelayForTesting(const ScopedRetryDelayForTesting&) = delete;
    ScopedRetryDelayForTesting& operator=(const ScopedRetryDelayForTesting&) =
        delete;
    ~ScopedRetryDelayForTesting();

   private:
    const base::TimeDelta previous_;
  };

  // Every downloader of the process takes |limit| instead of
  // kStallTimeLimit while this lives (tests only).
  class ScopedStallTimeLimitForTesting {
   public:
    explicit ScopedStallTimeLimitForTesting(base::TimeDelta limit);
    ScopedStallTimeLimitForTesting(const ScopedStallTimeLimitForTesting&) =
        delete;
    ScopedStallTimeLimitForTesting& operator=(
        const ScopedStallTimeLimitForTesting&) = delete;
    ~ScopedStallTimeLimitForTesting();

   private:
    const base::TimeDelta previous_;
  };

  // |ui_callback_runner| is required; |progress_delegate| may be null. Both
  // must outlive the downloader.
  WininetDownloader(UICallbackRunner* ui_callback_runner,
                    DownloadProgressDelegate* progress_delegate);
  WininetDownloader(const WininetDownloader&) = delete;
  WininetDownloader& operator=(const WininetDownloader&) = delete;
  // Ends a download in progress without its completion, waiting at most
  // kTerminationTimeLimit for WinINet.
  ~WininetDownloader();

  // Sends a GET to |url|, or a POST of |body| when that is not empty. True
  // when the request went out: |completion| then runs exactly once, on this
  // thread, once the state is STATE_COMPLETED or STATE_FAILED (unless Stop
  // or the destructor comes first). False when nothing was sent; the
  // completion never runs and GetErrorText says why. Ends a download still
  // in progress first.
  bool Start(const std::wstring& url,
             const std::string& body,
             base::OnceClosure completion,
             std::unique_ptr<ResponseWriter> writer,
             std::unique_ptr<DownloadObserver> observer);

  // Ends the download at once; its completion does not run.
  void Stop();

  // One line per failure since the last Start.
  std::string GetErrorText() const;

  State state() const { return state_; }
  // Failures in a row, the resumes of an interrupted body included; new
  // bytes of the body end the row.
  int retry_count() const { return retry_count_; }

  // An empty list allows every host.
  const std::vector<std::wstring>& allowed_hosts() const {
    return allowed_hosts_;
  }
  void set_allowed_hosts(const std::vector<std::wstring>& hosts) {
    allowed_hosts_ = hosts;
  }

  // Failures in a row that are retried: one more failure ends the download.
  int max_retries() const { return max_retries_; }
  void set_max_retries(int max_retries) { max_retries_ = max_retries; }

  // A download that has not ended |limit| after its Start fails; zero (the
  // default) sets no limit.
  void set_time_limit(base::TimeDelta limit) { time_limit_ = limit; }

  // The largest body taken when the server announces no size; an announced
  // size beyond it fails the download at once.
  int64_t max_body_size() const { return max_body_size_; }
  void set_max_body_size(int64_t size) { max_body_size_ = size; }

 private:
  struct Session;
  struct HandleContext;
  class TerminationThread;

  static void CALLBACK InternetStatusCallback(HINTERNET handle,
                                              DWORD_PTR context,
                                              DWORD status,
                                              void* info,
                                              DWORD info_size);

  // Connects to |url|'s server unless the open connection already goes
  // there.
  bool Connect(const upload::HttpURL& url);
  // Opens and sends the request for |url| with |headers|; false (with an
  // error text) when it could not be sent.
  bool OpenRequest(const upload::HttpURL& url, const std::wstring& headers);
  void CloseRequest();

  // Posted by the status callback.
  void OnServerIp(int generation, const std::string& address);
  void OnRequestComplete(int generation, bool succeeded, DWORD error);

  // Reads the status and headers of a response; true when the body is to be
  // read.
  bool HandleInitialCompletion();
  // Take a 200 or 206 answer; false (failed) when it does not fit what was
  // received.
  bool AcceptFullContent();
  bool AcceptPartialContent();
  void FollowRedirect(int status);
  // Reads what WinINet has, until it has no more for now or the body ends.
  void ReadBody();
  void ContinueReading(int generation);
  // A query or read that failed with |error|; |pending| is set when it
  // completes later.
  void OnReadError(DWORD error, bool* pending);
  bool ConsumeRead(DWORD bytes);
  void OnEndOfBody();
  // Counts a failure and, unless there were too many, resumes after the
  // retry delay.
  void CheckRetriesAndResume(int error);
  // The stall timer of the request just sent.
  void WatchForStall();
  void OnStallCheck();
  // While the response's header is awaited.
  void OnHeaderWatch();
  void Resume();
  void OnProxyCredentialsResult(int generation, int result);
  void OnTimeLimit();

  void OnCompleted();
  void OnFailed();
  // Closes the download's handles; WinINet lets go of the connection and the
  // internet handle on the termination thread.
  void CloseHandles();
  void JoinTerminationThread();
  // Ends the connection of a response that is not to be read to its end:
  // closing its handles does not stop WinINet reading it under Wine.
  void AbortConnection();
  void StartChunk();
  void EndChunk();
  // Logs |text| as an error and adds it as a line to the error text.
  void SetError(const std::string& text);
  // |name|'s raw value in the current response, or empty.
  std::wstring QueryRawHeader(const std::wstring& name);

  UICallbackRunner* const ui_callback_runner_;
  DownloadProgressDelegate* const progress_delegate_;

  State state_ = STATE_IDLE;
  HINTERNET internet_ = nullptr;
  HINTERNET connection_ = nullptr;
  HINTERNET request_ = nullptr;
  // Of the current request; owned by WinINet's handle.
  HandleContext* request_context_ = nullptr;
  scoped_refptr<Session> session_;
  // Tells the events of the current request from those of closed ones.
  int generation_ = 0;

  // The address given to Start, and the one the current request went to
  // (after redirects).
  std::wstring url_;
  std::wstring request_url_;
  upload::HttpURL connected_url_;
  // The address WinINet reported for connected_url_'s server; empty until
  // it has connected to it.
  std::string server_address_;
  // False once a redirect has turned a POST into a GET.
  bool post_ = false;
  int redirect_count_ = 0;
  std::vector<std::wstring> allowed_hosts_;

  std::unique_ptr<ResponseWriter> writer_;
  std::unique_ptr<DownloadObserver> observer_;
  base::OnceClosure completion_;

  // 0 while the size is unknown.
  int64_t expected_size_ = 0;
  int64_t bytes_received_ = 0;
  // The most bytes the body has reached since Start.
  int64_t most_received_ = 0;
  // Whether expected_size_ is the server's word (a Content-Length or the
  // total of a Content-Range).
  bool size_announced_ = false;
  int64_t max_body_size_ = kDefaultMaxBodySize;
  bool read_pending_ = false;
  bool query_pending_ = false;
  // How much the next read asks for beyond what has arrived: it grows while
  // reads are served at once and in full.
  DWORD read_size_ = 0;
  // The most a query of the current request found arrived.
  DWORD most_available_ = 0;
  bool chunk_open_ = false;

  scoped_refptr<base::SingleThreadTaskRunner> owner_;
  std::unique_ptr<TerminationThread> termination_thread_;
  base::OneShotTimer time_limit_timer_;
  base::TimeDelta time_limit_;
  base::OneShotTimer stall_timer_;
  // The bytes received when the stall timer last started.
  int64_t stall_mark_ = 0;
  int stall_count_ = 0;
  base::RepeatingTimer header_watch_timer_;
  // The process's committed memory when the request was sent.
  int64_t header_watch_base_ = 0;

  mutable base::Lock error_lock_;
  std::string error_text_;

  int retry_count_ = 0;
  int max_retries_ = kDefaultMaxRetries;

  base::WeakPtrFactory<WininetDownloader> weak_factory_{this};
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_WININET_WININET_H_
