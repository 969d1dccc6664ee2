#include "desktop/windows/crash_reporter/crash_id_request.h"

#include <windows.h>

#include <string>
#include <vector>

#include "base/strings/utf_string_conversions.h"
#include "base/test/scoped_environment_variable_override.h"
#include "desktop/windows/crash_reporter/crash_server_urls.h"
#include "gtest/gtest.h"
#include "testing/servers/http_test_server.h"

namespace crash_reporter {
namespace {

class CrashIdRequestTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Connect());
    prefix_ = server_.NewPathPrefix();
  }

  // Points the crash server at |url| and asks it.
  CrashIdResult Request(const std::string& url,
                        const std::wstring& url_header = L"",
                        const std::wstring& origin = L"",
                        int timeout_ms = 3000) {
    base::ScopedEnvironmentVariableOverride server(kCrashServerUrlEnvVar, url);
    InitCrashServerUrls();
    crash_id_ = L"untouched";
    location_ = L"untouched";
    return RequestCrashId(url_header, origin, &crash_id_, &location_,
                          timeout_ms);
  }

  // Scripts |path| under this test's prefix; returns its URL.
  std::string Serve(const std::string& path, const std::string& steps) {
    EXPECT_TRUE(server_.Script(prefix_ + path, steps));
    return server_.GetURL("127.0.0.1", prefix_ + path);
  }

  test_server::HttpTestServer server_;
  std::string prefix_;
  std::wstring crash_id_;
  std::wstring location_;
};

TEST_F(CrashIdRequestTest, OnlyA303WithAnIdGivesOne) {
  const std::string long_location =
      "/issued?id=" + std::string(3000, 'a') + "&x";
  struct {
    std::string steps;
    CrashIdResult result;
    std::string location;
  } cases[] = {
      {R"([{"status": 303, "headers": {"Location": "/i?id=ab&x=1"}}])",
       kCrashIdReceived, "/i?id=ab&x=1"},
      // Longer than the first buffer the header is read into.
      {R"([{"status": 303, "headers": {"Location": ")" + long_location +
           R"("}}])",
       kCrashIdReceived, long_location},
      {R"([{"status": 303, "headers": {"Location": "/i?id=&"}}])",
       kCrashIdReceived, "/i?id=&"},
      // No crash server sends a Location of this size.
      {R"([{"status": 303, "headers": {"Location": "/i?id=)" +
           std::string(9000, 'a') + R"(&"}}])",
       kCrashIdFailed},
      {R"([{"status": 303, "headers": {"Location": "/i?id=ab"}}])",
       kCrashIdFailed},
      {R"([{"status": 303, "headers": {"Location": "/i?ab&"}}])",
       kCrashIdFailed},
      {R"([{"status": 303}])", kCrashIdFailed},
      {R"([{"status": 503}])", kCrashIdServerBusy},
      {R"([{"status": 200, "body": "?id=ab&"}])", kCrashIdFailed},
      {R"([{"status": 500}])", kCrashIdFailed},
      // Redirects are answers, not ways to the answer.
      {R"([{"status": 302, "headers": {"Location": "/elsewhere?id=ab&"}}])",
       kCrashIdFailed},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].steps.substr(0, 80));
    EXPECT_EQ(cases[i].result,
              Request(Serve("/case" + std::to_string(i), cases[i].steps)));
    if (cases[i].result == kCrashIdReceived) {
      std::string id = cases[i].location.substr(
          cases[i].location.find("?id=") + 4,
          cases[i].location.find('&') - cases[i].location.find("?id=") - 4);
      EXPECT_EQ(base::UTF8ToWide(id), crash_id_);
      EXPECT_EQ(base::UTF8ToWide(cases[i].location), location_);
    } else {
      EXPECT_EQ(L"untouched", crash_id_);
      EXPECT_EQ(L"untouched", location_);
    }
  }
  EXPECT_TRUE(server_.GetRequests("/elsewhere").empty());
  EXPECT_EQ(std::size(cases), server_.GetRequests(prefix_).size());
}

TEST_F(CrashIdRequestTest, HeadersOnlyWhenGivenAndSafe) {
  const std::string url = Serve("/id", R"([{"status": 503}])");
  EXPECT_EQ(kCrashIdServerBusy, Request(url));
  EXPECT_EQ(kCrashIdServerBusy,
            Request(url, L"http://page/\u00e4", L"Testrig"));
  // A crashed process's text that would start a header of its own.
  EXPECT_EQ(kCrashIdServerBusy,
            Request(url, L"http://a/\r\nX-Forged: 1", L"Vorn"));
  std::vector<test_server::RecordedRequest> requests =
      server_.GetRequests(prefix_);
  ASSERT_EQ(3u, requests.size());
  for (const auto& request : requests) {
    EXPECT_EQ("GET", request.method);
    EXPECT_EQ(prefix_ + "/id", request.target);
    EXPECT_EQ("Breakpad/1.0 (Windows) (Edition developer)",
              request.GetHeader("User-Agent"));
    EXPECT_FALSE(request.HasHeader("Cookie"));
    EXPECT_FALSE(request.HasHeader("X-Forged"));
    EXPECT_TRUE(request.body.empty());
  }
  EXPECT_FALSE(requests[0].HasHeader("X-Kelvo-Crash-URL"));
  EXPECT_FALSE(requests[0].HasHeader("X-Origin"));
  EXPECT_EQ("Testrig", requests[1].GetHeader("X-Origin"));
  EXPECT_TRUE(requests[1].HasHeader("X-Kelvo-Crash-URL"));
  EXPECT_FALSE(requests[2].HasHeader("X-Kelvo-Crash-URL"));
  EXPECT_EQ("Vorn", requests[2].GetHeader("X-Origin"));
}

TEST_F(CrashIdRequestTest, FailuresCostBoundedTimeAndNoStrayTraffic) {
  const std::string port = std::to_string(server_.port());
  EXPECT_EQ(kCrashIdFailed,
            Request("HTTP://127.0.0.1:" + port + prefix_ + "/id"));
  EXPECT_EQ(kCrashIdFailed,
            Request("ftp://127.0.0.1:" + port + prefix_ + "/id"));
  EXPECT_EQ(kCrashIdFailed, Request("not a url"));
  EXPECT_TRUE(server_.GetRequests(prefix_).empty());

  const ULONGLONG start = ::GetTickCount64();
  EXPECT_EQ(kCrashIdFailed,
            Request("http://127.0.0.1:" +
                    std::to_string(test_server::GetClosedPort()) + "/id"));
  // Takes the request and answers after 20 s.
  EXPECT_EQ(kCrashIdFailed,
            Request(Serve("/stall", R"([{"delay": 20, "status": 503}])"), L"",
                    L"", 1000));
  EXPECT_LT(::GetTickCount64() - start, 4000u);
}

}  // namespace
}  // namespace crash_reporter
