// WininetDownloader against the loopback test server, through the real
// WinINet of the system.

#include "desktop/windows/installer/wininet/wininet.h"

#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "base/bind.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/message_loop/message_loop.h"
#include "base/run_loop.h"
#include "base/strings/string_number_conversions.h"
#include "base/test/scoped_log_capture.h"
#include "base/threading/thread_task_runner_handle.h"
#include "desktop/windows/installer/test/download_test_util.h"
#include "desktop/windows/installer/wininet/download_observer.h"
#include "desktop/windows/installer/wininet/download_progress_delegate.h"
#include "desktop/windows/installer/wininet/wininet_response_writer.h"
#include "gtest/gtest.h"
#include "testing/servers/http_test_server.h"

namespace installer {
namespace {

using test_server::RecordedRequest;

constexpr char kUserAgent[] = "Kelvo NetInstaller/45.0.2531.0";

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

void RunFor(base::TimeDelta time) {
  base::RunLoop loop;
  base::ThreadTaskRunnerHandle::Get()->PostDelayedTask(
      FROM_HERE, loop.QuitClosure(), time);
  loop.Run();
}

class RecordingProgress : public DownloadProgressDelegate {
 public:
  void SetTotalProgress(int total) override { this->total = total; }
  void SetCurrentProgress(int current) override { this->current = current; }
  void NotifyStalled(int error) override { stalled.push_back(error); }

  int total = -1;
  int current = -1;
  std::vector<int> stalled;
};

// The chunk, status and retry events of a download: "start N", "status S",
// "retry R" and "end N".
class RecordingObserver : public DownloadObserver {
 public:
  explicit RecordingObserver(std::vector<std::string>* events)
      : events_(events) {}

  void OnChunkStart(int64_t bytes_received) override {
    Add("start", bytes_received);
  }
  void OnHttpStatus(int status) override { Add("status", status); }
  void OnRetry(int retry_count) override { Add("retry", retry_count); }
  void OnChunkEnd(int64_t bytes_received) override {
    Add("end", bytes_received);
  }

 private:
  void Add(const std::string& event, int64_t value) {
    events_->push_back(event + " " + base::Int64ToString(value));
  }

  std::vector<std::string>* const events_;
};

class WininetDownloaderTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Connect());
    prefix_ = server_.NewPathPrefix();
  }

  std::string Path(const std::string& name) { return prefix_ + "/" + name; }
  std::wstring Url(const std::string& name,
                   const std::string& host = "127.0.0.1") {
    return server_.GetWideURL(host, Path(name));
  }
  std::vector<RecordedRequest> Requests() {
    return server_.GetRequests(prefix_ + "/");
  }

  // Downloads |url| into body_; the number of times the completion ran (0
  // when Start refused).
  int Download(const std::wstring& url,
               const std::string& post_body = std::string(),
               std::unique_ptr<DownloadObserver> observer =
                   std::make_unique<DownloadObserver>()) {
    return Download(url, post_body,
                    std::make_unique<StringResponseWriter>(&body_),
                    std::move(observer));
  }
  int Download(const std::wstring& url,
               const std::string& post_body,
               std::unique_ptr<ResponseWriter> writer,
               std::unique_ptr<DownloadObserver> observer) {
    return test::RunUntilCalled(base::BindOnce(
        [](WininetDownloader* downloader, const std::wstring& url,
           const std::string& post_body, std::unique_ptr<ResponseWriter> writer,
           std::unique_ptr<DownloadObserver> observer,
           base::OnceClosure completion) {
          downloader->Start(url, post_body, std::move(completion),
                            std::move(writer), std::move(observer));
        },
        &downloader_, url, post_body, std::move(writer), std::move(observer)));
  }

  base::MessageLoop loop_;
  WininetDownloader::ScopedRetryDelayForTesting fast_retries_{
      base::TimeDelta::FromMilliseconds(20)};
  test_server::HttpTestServer server_;
  std::string prefix_;
  test::RefusingUICallbackRunner ui_runner_;
  RecordingProgress progress_;
  WininetDownloader downloader_{&ui_runner_, &progress_};
  std::string body_;
};

TEST_F(WininetDownloaderTest, ResumesACutBodyIntoAnIdenticalFile) {
  constexpr int kSize = 300000;
  constexpr int kCut = 100000;
  base::ScopedTempDir dir;
  ASSERT_TRUE(dir.CreateUniqueTempDir());
  const struct {
    const char* second_answer;
    int second_status;
  } kCases[] = {
      {R"({"pattern_size": 300000})", 206},
      // A server that ignores the range sends everything again.
      {R"({"pattern_size": 300000, "range": "ignore"})", 200},
  };
  for (const auto& test_case : kCases) {
    SCOPED_TRACE(test_case.second_answer);
    const std::string name =
        "package" + base::IntToString(test_case.second_status);
    ASSERT_TRUE(
        server_.Script(Path(name), std::string(R"([{"pattern_size": 300000, )"
                                               R"("close_after": 100000}, )") +
                                       test_case.second_answer + "]"));
    const base::FilePath file = dir.GetPath().AppendASCII(name);
    auto writer = std::make_unique<FileResponseWriter>();
    ASSERT_TRUE(writer->Open(file));
    std::vector<std::string> events;
    EXPECT_EQ(1, Download(Url(name), std::string(), std::move(writer),
                          std::make_unique<RecordingObserver>(&events)));

    EXPECT_EQ(WininetDownloader::STATE_COMPLETED, downloader_.state());
    std::string content;
    ASSERT_TRUE(base::ReadFileToString(file, &content));
    EXPECT_TRUE(content == test_server::PatternBody(kSize))
        << content.size() << " bytes";
    std::vector<RecordedRequest> requests = server_.GetRequests(Path(name));
    ASSERT_EQ(2u, requests.size());
    EXPECT_FALSE(requests[0].HasHeader("Range"));
    EXPECT_EQ("bytes=" + base::IntToString(kCut) + "-",
              requests[1].GetHeader("Range"));
    EXPECT_EQ(kUserAgent, requests[1].GetHeader("User-Agent"));
    EXPECT_EQ(kSize, progress_.total);
    EXPECT_EQ(kSize, progress_.current);

    // The resumed request is a chunk of its own, starting where the first
    // ended; the cut counts as a failure.
    EXPECT_EQ(
        (std::vector<std::string>{
            "start 0", "status 200", "end 100000", "start 100000", "retry 1",
            "status " + base::IntToString(test_case.second_status),
            "end 300000"}),
        events);
  }
}

TEST_F(WininetDownloaderTest, RefusesPartialAnswersThatDoNotContinueTheBody) {
  ASSERT_TRUE(server_.Script(Path("shifted"),
                             R"([{"pattern_size": 1000, "close_after": 400},
          {"pattern_size": 1000, "range_shift": 1}])"));
  EXPECT_EQ(1, Download(Url("shifted")));
  EXPECT_EQ(WininetDownloader::STATE_FAILED, downloader_.state());
  EXPECT_TRUE(Contains(downloader_.GetErrorText(),
                       "does not continue the 400 bytes received"))
      << downloader_.GetErrorText();

  // A body that ends before its announced length is resumed; a server that
  // has nothing beyond it fails the download rather than leave it short.
  ASSERT_TRUE(server_.Script(Path("short"),
                             R"([{"body": "abc", "content_length": 10}])"));
  EXPECT_EQ(1, Download(Url("short")));
  EXPECT_EQ(WininetDownloader::STATE_FAILED, downloader_.state());
  EXPECT_TRUE(Contains(downloader_.GetErrorText(), "HTTP status 416"));
}

TEST_F(WininetDownloaderTest, RetriesOverloadedServersAndCountsFailuresInARow) {
  ASSERT_TRUE(server_.Script(
      Path("twice"), R"([{"status": 503, "repeat": 2}, {"body": "ok"}])"));
  std::vector<std::string> events;
  EXPECT_EQ(1, Download(Url("twice"), std::string(),
                        std::make_unique<RecordingObserver>(&events)));
  EXPECT_EQ(WininetDownloader::STATE_COMPLETED, downloader_.state());
  EXPECT_EQ("ok", body_);
  EXPECT_EQ(3u, server_.GetRequests(Path("twice")).size());
  EXPECT_TRUE(progress_.stalled.empty());
  // Each retry is a chunk, counting the failures so far; it asks for the
  // range from the bytes received, here 0.
  EXPECT_EQ(
      (std::vector<std::string>{"start 0", "status 503", "end 0", "start 0",
                                "retry 1", "status 503", "end 0", "start 0",
                                "retry 2", "status 206", "end 2"}),
      events);

  // The third failure in a row is the first that stalls.
  ASSERT_TRUE(server_.Script(
      Path("thrice"),
      R"([{"status": 502}, {"status": 504}, {"status": 503}, {"body": "ok"}])"));
  EXPECT_EQ(1, Download(Url("thrice")));
  EXPECT_EQ(WininetDownloader::STATE_COMPLETED, downloader_.state());
  EXPECT_EQ(std::vector<int>{503}, progress_.stalled);
  EXPECT_EQ(0, downloader_.retry_count());
}

TEST_F(WininetDownloaderTest, FailsWhenRetriesRunOutOrTheStatusIsFinal) {
  const struct {
    const char* name;
    int max_retries;
    size_t requests;
    const char* error;
  } kCases[] = {
      // Even no retries allow one.
      {"503", 0, 2, "Number of retries exceeded, last error: 503\n"},
      {"404", 600, 1, "Request completed with an unexpected HTTP status 404\n"},
      // Nobody can enter proxy credentials in a silent run.
      {"407", 600, 1, "The user cancelled the prompt for proxy credentials\n"},
  };
  for (const auto& test_case : kCases) {
    SCOPED_TRACE(test_case.name);
    ASSERT_TRUE(
        server_.Script(Path(test_case.name),
                       std::string(R"([{"status": )") + test_case.name + "}]"));
    downloader_.set_max_retries(test_case.max_retries);
    EXPECT_EQ(1, Download(Url(test_case.name)));
    EXPECT_EQ(WininetDownloader::STATE_FAILED, downloader_.state());
    EXPECT_EQ(test_case.requests,
              server_.GetRequests(Path(test_case.name)).size());
    EXPECT_EQ(test_case.error, downloader_.GetErrorText());
  }
  EXPECT_EQ(1, ui_runner_.requests());
}

TEST_F(WininetDownloaderTest, EndsWithinTheBudgetWhenResumesBringNothing) {
  // The server accepts every range and breaks off before sending a byte.
  ASSERT_TRUE(server_.Script(Path("stuck"),
                             R"([{"pattern_size": 1000, "close_after": 100},
                         {"pattern_size": 1000, "close_after": 0}])"));
  downloader_.set_max_retries(2);
  EXPECT_EQ(1, Download(Url("stuck")));
  EXPECT_EQ(WininetDownloader::STATE_FAILED, downloader_.state());
  EXPECT_TRUE(Contains(downloader_.GetErrorText(), "Number of retries"));
  // The cut request is the first failure; max_retries + 1 resumes follow.
  EXPECT_EQ(4u, server_.GetRequests(Path("stuck")).size());
}

// A server that claims more than it sends and breaks off, answering every
// resume with the whole body again, used to be asked again at once and for
// ever: each resume now counts as a failure and waits the retry delay.
TEST_F(WininetDownloaderTest, ResumesOfABodyThatKeepsBreakingOffAreCounted) {
  constexpr base::TimeDelta kDelay = base::TimeDelta::FromMilliseconds(150);
  WininetDownloader::ScopedRetryDelayForTesting delay(kDelay);
  ASSERT_TRUE(server_.Script(
      Path("liar"),
      R"([{"pattern_size": 3000, "content_length": 9000, "range": "ignore"}])"));
  downloader_.set_max_retries(3);
  const base::TimeTicks start = base::TimeTicks::Now();
  EXPECT_EQ(1, Download(Url("liar")));
  EXPECT_EQ(WininetDownloader::STATE_FAILED, downloader_.state());
  EXPECT_TRUE(Contains(downloader_.GetErrorText(), "Number of retries"))
      << downloader_.GetErrorText();
  // The first request and max_retries + 1 resumes, each after the delay.
  EXPECT_EQ(5u, server_.GetRequests(Path("liar")).size());
  EXPECT_GE(base::TimeTicks::Now() - start, kDelay * 4);
  EXPECT_LE(body_.size(), 9000u);
}

// What a server announces, or else max_body_size(), bounds the body: a
// hostile server can neither fill the disk nor have an impossible size
// waited for.
TEST_F(WininetDownloaderTest, BodiesNeverGrowPastWhatIsAnnouncedOrAllowed) {
  downloader_.set_max_body_size(100000);
  const struct {
    const char* name;
    const char* steps;
    const char* error;  // Empty: the download completes.
  } kCases[] = {
      {"announces too much",
       R"([{"pattern_size": 5000, "content_length": 1000000000000}])",
       "The server announces 1000000000000 bytes, more than the 100000 "
       "allowed\n"},
      {"endless without a length", R"([{"endless": true}])",
       "The body is longer than the 100000 bytes allowed\n"},
      {"exactly the maximum", R"([{"pattern_size": 100000}])", ""},
      {"exactly the maximum, unannounced",
       R"([{"endless": true, "close_after": 100000}])", ""},
  };
  int index = 0;
  for (const auto& test_case : kCases) {
    SCOPED_TRACE(test_case.name);
    const std::string name = "bounded" + base::NumberToString(++index);
    ASSERT_TRUE(server_.Script(Path(name), test_case.steps));
    EXPECT_EQ(1, Download(Url(name)));
    EXPECT_EQ(test_case.error, downloader_.GetErrorText());
    // Not retried: another request would bring the same.
    EXPECT_EQ(1u, server_.GetRequests(Path(name)).size());
    if (*test_case.error) {
      EXPECT_EQ(WininetDownloader::STATE_FAILED, downloader_.state());
      EXPECT_LE(body_.size(), 100000u);
    } else {
      EXPECT_EQ(WininetDownloader::STATE_COMPLETED, downloader_.state());
      EXPECT_TRUE(test_server::PatternBody(100000) == body_) << body_.size();
    }
  }

  // A body that goes on past its Content-Length is never taken beyond it.
  // WinINet under Wine hands over what it has read past the length, or
  // stops there by itself, depending on what has arrived.
  ASSERT_TRUE(server_.Script(Path("longer"),
                             R"([{"endless": true, "content_length": 2000}])"));
  for (int run = 0; run < 5; ++run) {
    SCOPED_TRACE(run);
    EXPECT_EQ(1, Download(Url("longer")));
    if (downloader_.state() == WininetDownloader::STATE_COMPLETED) {
      EXPECT_TRUE(test_server::PatternBody(2000) == body_) << body_.size();
    } else {
      EXPECT_EQ("The body is longer than the 2000 bytes announced\n",
                downloader_.GetErrorText());
      EXPECT_LE(body_.size(), 2000u);
    }
  }
  EXPECT_EQ(5u, server_.GetRequests(Path("longer")).size());
}

// WinINet's own time-outs never strike under Wine: the stall timer ends a
// request that brings (almost) nothing, counts it as a failure and gives up
// after kMaxStalls of them in a row. It also ends the request's
// connection: WinINet would otherwise hold the next request back until the
// server lets go.
TEST_F(WininetDownloaderTest, StallTimerEndsSilentAndDrippingServers) {
  constexpr base::TimeDelta kStall = base::TimeDelta::FromSeconds(1);
  WininetDownloader::ScopedStallTimeLimitForTesting stall(kStall);
  const struct {
    const char* name;
    const char* steps;
  } kCases[] = {
      // The server would hold each connection for 20 s.
      {"silent", R"([{"silent": 20}])"},
      // One byte every 2 s; each resume brings the next.
      {"drip", R"([{"pattern_size": 100000, "rate": 0.5, "close_after": 10}])"},
  };
  for (const auto& test_case : kCases) {
    SCOPED_TRACE(test_case.name);
    ASSERT_TRUE(server_.Script(Path(test_case.name), test_case.steps));
    const base::TimeTicks start = base::TimeTicks::Now();
    EXPECT_EQ(1, Download(Url(test_case.name)));
    const base::TimeDelta took = base::TimeTicks::Now() - start;
    EXPECT_EQ(WininetDownloader::STATE_FAILED, downloader_.state());
    EXPECT_TRUE(Contains(downloader_.GetErrorText(),
                         "The server stalled 3 times, bringing fewer than "
                         "1024 bytes in 1000 ms each time"))
        << downloader_.GetErrorText();
    EXPECT_EQ(static_cast<size_t>(WininetDownloader::kMaxStalls),
              server_.GetRequests(Path(test_case.name)).size());
    EXPECT_GE(took, kStall * WininetDownloader::kMaxStalls);
    EXPECT_LT(took, base::TimeDelta::FromSeconds(15));
    EXPECT_LE(body_.size(), 3u);
  }

  // A read never waits for more than has arrived: the body comes in steps
  // of what the server sent, several within each stall period.
  ASSERT_TRUE(server_.Script(Path("slow"),
                             R"([{"pattern_size": 3000000, "rate": 800000}])"));
  EXPECT_EQ(1, Download(Url("slow"), std::string(),
                        std::make_unique<ResponseWriter>(),
                        std::make_unique<DownloadObserver>()));
  EXPECT_EQ(WininetDownloader::STATE_COMPLETED, downloader_.state());
  EXPECT_EQ(3000000, progress_.current);
  EXPECT_EQ(1u, server_.GetRequests(Path("slow")).size());
}

// A slow link is no stall: every byte counts as it arrives, a resume goes
// on from the bytes written, and only stalls in a row end the download.
TEST_F(WininetDownloaderTest, SlowAndPausingBodiesArriveWhole) {
  WininetDownloader::ScopedStallTimeLimitForTesting stall(
      base::TimeDelta::FromSeconds(1));
  const struct {
    const char* name;
    const char* steps;
    int size;
  } kCases[] = {
      // 5 KB/s: far less than a read buffer in each stall period.
      {"trickle", R"([{"pattern_size": 15000, "rate": 5000}])", 15000},
      // Each answer pauses, well past the stall period, after every 10000
      // bytes it sends: three stalls, with progress between them.
      {"pauses",
       R"([{"pattern_size": 40000, "pause_every": 10000, "pause": 3}])", 40000},
  };
  for (const auto& test_case : kCases) {
    SCOPED_TRACE(test_case.name);
    ASSERT_TRUE(server_.Script(Path(test_case.name), test_case.steps));
    EXPECT_EQ(1, Download(Url(test_case.name)));
    EXPECT_EQ(WininetDownloader::STATE_COMPLETED, downloader_.state())
        << downloader_.GetErrorText();
    EXPECT_TRUE(test_server::PatternBody(test_case.size) == body_)
        << body_.size();
    EXPECT_TRUE(progress_.stalled.empty());
    // Every resume asks for more than the one before.
    int64_t last_start = 0;
    for (const RecordedRequest& request :
         server_.GetRequests(Path(test_case.name))) {
      if (!request.HasHeader("Range"))
        continue;
      int64_t start = 0;
      const std::string range = request.GetHeader("Range");
      ASSERT_TRUE(base::StringToInt64(
          range.substr(strlen("bytes="), range.size() - strlen("bytes=-")),
          &start))
          << range;
      EXPECT_GT(start, last_start);
      last_start = start;
    }
  }
  EXPECT_EQ(1u, server_.GetRequests(Path("trickle")).size());
  EXPECT_LE(4u, server_.GetRequests(Path("pauses")).size());
}

// Failures in a row end a download; a resume that brings new bytes ends
// the row.
TEST_F(WininetDownloaderTest, BodiesCutAgainAndAgainArriveWhileTheyAdvance) {
  ASSERT_TRUE(server_.Script(Path("cut"),
                             R"([{"pattern_size": 4000, "close_after": 1000,
                                  "repeat": 3}, {"pattern_size": 4000}])"));
  downloader_.set_max_retries(1);
  EXPECT_EQ(1, Download(Url("cut")));
  EXPECT_EQ(WininetDownloader::STATE_COMPLETED, downloader_.state())
      << downloader_.GetErrorText();
  EXPECT_TRUE(test_server::PatternBody(4000) == body_) << body_.size();
  EXPECT_EQ(4u, server_.GetRequests(Path("cut")).size());
}

// What WinINet under Wine does not stop by itself when a request is
// closed: an endless chunked body is drained by whoever lets go of it last
// (the download's own thread), an endless header block is read into
// memory. The download ends the connection and fails promptly.
TEST_F(WininetDownloaderTest, HostileAnswersEndAtTheConnection) {
  downloader_.set_max_body_size(100000);
  const struct {
    const char* name;
    const char* steps;
    const char* error;
  } kCases[] = {
      {"chunked", R"([{"endless": true, "chunked": true}])",
       "The body is longer than the 100000 bytes allowed"},
      {"headers", R"([{"endless_headers": 30}])",
       "The response header is without end"},
  };
  for (const auto& test_case : kCases) {
    SCOPED_TRACE(test_case.name);
    ASSERT_TRUE(server_.Script(Path(test_case.name), test_case.steps));
    const base::TimeTicks start = base::TimeTicks::Now();
    EXPECT_EQ(1, Download(Url(test_case.name)));
    EXPECT_LT(base::TimeTicks::Now() - start, base::TimeDelta::FromSeconds(20));
    EXPECT_EQ(WininetDownloader::STATE_FAILED, downloader_.state());
    EXPECT_TRUE(Contains(downloader_.GetErrorText(), test_case.error))
        << downloader_.GetErrorText();
    // The server sees the client go away, long before its own limit.
    std::vector<RecordedRequest> requests;
    const base::TimeTicks deadline =
        base::TimeTicks::Now() + base::TimeDelta::FromSeconds(10);
    do {
      RunFor(base::TimeDelta::FromMilliseconds(50));
      requests = server_.GetRequests(Path(test_case.name));
    } while (!requests.empty() && requests[0].answer_end.empty() &&
             base::TimeTicks::Now() < deadline);
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("client", requests[0].answer_end);
    EXPECT_LT(requests[0].answer_bytes, int64_t{256} << 20);
  }
}

TEST_F(WininetDownloaderTest, FollowsRedirectsOnlyToAllowedHosts) {
  downloader_.set_allowed_hosts({L"127.0.0.1", L"localhost"});
  ASSERT_TRUE(server_.Script(
      Path("moved"), R"([{"redirect": "{localhost})" + Path("new") + R"("}])"));
  ASSERT_TRUE(server_.Script(Path("new"), R"([{"body": "here"}])"));
  EXPECT_EQ(1, Download(Url("moved")));
  EXPECT_EQ(WininetDownloader::STATE_COMPLETED, downloader_.state());
  EXPECT_EQ("here", body_);

  // 127.0.0.2 is not on the list: it sees no request, and the download
  // ends once.
  ASSERT_TRUE(server_.Script(
      Path("away"), R"([{"redirect": "{alt})" + Path("new") + R"("}])"));
  const size_t before = Requests().size();
  EXPECT_EQ(1, Download(Url("away")));
  EXPECT_EQ(WininetDownloader::STATE_FAILED, downloader_.state());
  EXPECT_TRUE(Contains(downloader_.GetErrorText(),
                       "Redirect URL is disallowed http://127.0.0.2:"));
  std::vector<RecordedRequest> requests = Requests();
  ASSERT_EQ(before + 1, requests.size());
  EXPECT_EQ(Path("away"), requests.back().target);
  for (const RecordedRequest& request : requests)
    EXPECT_NE("127.0.0.2", request.host);

  ASSERT_TRUE(server_.Script(Path("loop"),
                             R"([{"redirect": ")" + Path("loop") + R"("}])"));
  EXPECT_EQ(1, Download(Url("loop")));
  EXPECT_EQ(WininetDownloader::STATE_FAILED, downloader_.state());
  EXPECT_TRUE(Contains(downloader_.GetErrorText(), "Too many redirects"));
  EXPECT_EQ(static_cast<size_t>(WininetDownloader::kMaxRedirects + 1),
            server_.GetRequests(Path("loop")).size());
}

TEST_F(WininetDownloaderTest, RedirectedPostsKeepTheirBodyOnlyFor307And308) {
  ASSERT_TRUE(server_.Script(Path("see"), R"([{"status": 303, "redirect": ")" +
                                              Path("target") + R"("}])"));
  ASSERT_TRUE(server_.Script(Path("temp"), R"([{"status": 307, "redirect": ")" +
                                               Path("target") + R"("}])"));
  ASSERT_TRUE(server_.Script(Path("target"), R"([{"body": "done"}])"));
  EXPECT_EQ(1, Download(Url("see"), "data"));
  EXPECT_EQ(1, Download(Url("temp"), "data"));
  std::vector<RecordedRequest> requests = server_.GetRequests(Path("target"));
  ASSERT_EQ(2u, requests.size());
  EXPECT_EQ("GET", requests[0].method);
  EXPECT_EQ("", requests[0].body);
  EXPECT_EQ("POST", requests[1].method);
  EXPECT_EQ("data", requests[1].body);
}

TEST_F(WininetDownloaderTest, SendsTheAddressAndTheBodyUnchanged) {
  const std::string query = "?sig=a%2Bb%2Fc%3Dd%26e&x=1";
  ASSERT_TRUE(server_.Script(Path("signed"), R"([{"body": "ok"}])"));
  EXPECT_EQ(1, Download(Url("signed" + query)));
  EXPECT_EQ(WininetDownloader::STATE_COMPLETED, downloader_.state());

  const std::string post_body("{\"a\":1}\0\xff\r\n tail", 16);
  EXPECT_EQ(1, Download(Url("signed"), post_body));
  std::vector<RecordedRequest> requests = server_.GetRequests(Path("signed"));
  ASSERT_EQ(2u, requests.size());
  EXPECT_EQ(Path("signed") + query, requests[0].target);
  EXPECT_EQ("GET", requests[0].method);
  EXPECT_EQ(kUserAgent, requests[0].GetHeader("User-Agent"));
  EXPECT_EQ("POST", requests[1].method);
  EXPECT_EQ(post_body, requests[1].body);
  EXPECT_FALSE(requests[1].HasHeader("Content-Type"));
  EXPECT_FALSE(requests[1].HasHeader("Range"));
}

TEST_F(WininetDownloaderTest, RefusedStartsSendNothing) {
  downloader_.set_allowed_hosts({L"", L"localhost"});
  const struct {
    std::wstring url;
    const char* error;
  } kCases[] = {
      {Url("a", "127.0.0.2"), "Domain disallowed 127.0.0.2"},
      {L"http://evillocalhost:1/", "Domain disallowed evillocalhost"},
      {L"http://local%68ost/", "Could not parse URL"},
  };
  for (const auto& test_case : kCases) {
    SCOPED_TRACE(test_case.error);
    bool completed = false;
    EXPECT_FALSE(downloader_.Start(
        test_case.url, std::string(),
        base::BindOnce([](bool* completed) { *completed = true; }, &completed),
        std::make_unique<ResponseWriter>(),
        std::make_unique<DownloadObserver>()));
    base::RunLoop().RunUntilIdle();
    EXPECT_FALSE(completed);
    EXPECT_TRUE(Contains(downloader_.GetErrorText(), test_case.error))
        << downloader_.GetErrorText();
  }
  EXPECT_TRUE(Requests().empty());
}

TEST_F(WininetDownloaderTest, WriterFailuresEndTheDownload) {
  // An endless reply stops at the cap of a string.
  ASSERT_TRUE(server_.Script(Path("endless"), R"([{"endless": true}])"));
  EXPECT_EQ(1, Download(Url("endless")));
  EXPECT_EQ(WininetDownloader::STATE_FAILED, downloader_.state());
  EXPECT_LE(body_.size(), StringResponseWriter::kDefaultMaxSize);

  // A file that could not be opened fails at its first byte.
  ASSERT_TRUE(server_.Script(Path("big"), R"([{"pattern_size": 2000}])"));
  base::ScopedTempDir dir;
  ASSERT_TRUE(dir.CreateUniqueTempDir());
  auto writer = std::make_unique<FileResponseWriter>();
  EXPECT_FALSE(writer->Open(dir.GetPath().Append(L"missing\\file")));
  EXPECT_EQ(1, Download(Url("big"), std::string(), std::move(writer),
                        std::make_unique<DownloadObserver>()));
  EXPECT_EQ(WininetDownloader::STATE_FAILED, downloader_.state());
  EXPECT_TRUE(Contains(downloader_.GetErrorText(),
                       "Could not store the downloaded data"));
}

TEST_F(WininetDownloaderTest, TimeLimitEndsADownloadThatHangs) {
  ASSERT_TRUE(server_.Script(Path("slow"), R"([{"delay": 2, "body": "x"}])"));
  downloader_.set_time_limit(base::TimeDelta::FromMilliseconds(300));
  const base::TimeTicks start = base::TimeTicks::Now();
  EXPECT_EQ(1, Download(Url("slow")));
  EXPECT_LT(base::TimeTicks::Now() - start, base::TimeDelta::FromSeconds(2));
  EXPECT_EQ(WininetDownloader::STATE_FAILED, downloader_.state());
  EXPECT_TRUE(Contains(downloader_.GetErrorText(), "did not end within"));
}

TEST_F(WininetDownloaderTest, StopOrDeletionMidBodyRunsNoCompletion) {
  ASSERT_TRUE(server_.Script(Path("endless"), R"([{"endless": true}])"));
  for (bool delete_it : {false, true}) {
    SCOPED_TRACE(delete_it ? "deleted" : "stopped");
    auto downloader =
        std::make_unique<WininetDownloader>(&ui_runner_, &progress_);
    progress_.current = -1;
    bool completed = false;
    ASSERT_TRUE(downloader->Start(
        Url("endless"), std::string(),
        base::BindOnce([](bool* completed) { *completed = true; }, &completed),
        std::make_unique<ResponseWriter>(),
        std::make_unique<DownloadObserver>()));
    const base::TimeTicks deadline =
        base::TimeTicks::Now() + base::TimeDelta::FromSeconds(30);
    while (progress_.current < 200000 && base::TimeTicks::Now() < deadline)
      RunFor(base::TimeDelta::FromMilliseconds(5));
    ASSERT_GE(progress_.current, 200000);
    base::ScopedLogCapture log;
    if (!delete_it) {
      downloader->Stop();
      EXPECT_EQ(WininetDownloader::STATE_STOPPED, downloader->state());
      // What WinINet still does for the stopped download is done on its
      // own threads; the loop may run meanwhile.
      base::RunLoop().RunUntilIdle();
    }
    // The deletion waits until WinINet has let go of every handle: no
    // callback comes later, and whatever the earlier ones posted is queued.
    downloader.reset();
    base::RunLoop().RunUntilIdle();
    EXPECT_FALSE(completed);
    EXPECT_TRUE(log.Contains("Wininet request cancelled"));
  }
}

}  // namespace
}  // namespace installer
