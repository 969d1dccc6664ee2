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
                        int timeout_ms = 3000) {
    base::ScopedEnvironmentVariableOverride server(kCrashServerUrlEnvVar, url);
    InitCrashServerUrls();
    crash_id_ = location_ = L"untouched";
    return RequestCrashId(url_header, L"", &crash_id_, &location_, timeout_ms);
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
  // Longer than the first buffer the header is read into.
  const std::string long_id(3000, 'a');
  const struct {
    std::string location;  // Empty: the step as it is.
    std::string step;
    CrashIdResult result;
    std::string id;
  } cases[] = {
      {"/i?id=ab&x=1", "", kCrashIdReceived, "ab"},
      {"/i?id=" + long_id + "&", "", kCrashIdReceived, long_id},
      {"/i?id=ab", "", kCrashIdFailed},
      {"/i?ab&", "", kCrashIdFailed},
      // No crash server sends a Location of this size.
      {"/i?id=" + std::string(9000, 'a') + "&", "", kCrashIdFailed},
      {"", R"({"status": 303})", kCrashIdFailed},
      {"", R"({"status": 503})", kCrashIdServerBusy},
      {"", R"({"status": 200, "body": "?id=ab&"})", kCrashIdFailed},
      // Redirects are answers, not ways to the answer.
      {"", R"({"status": 302, "headers": {"Location": "/else?id=ab&"}})",
       kCrashIdFailed},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& test = cases[i];
    SCOPED_TRACE(i);
    std::string step = test.step;
    if (step.empty()) {
      step = R"({"status": 303, "headers": {"Location": ")" + test.location +
             R"("}})";
    }
    EXPECT_EQ(test.result,
              Request(Serve("/case" + std::to_string(i), "[" + step + "]")));
    if (test.result == kCrashIdReceived) {
      EXPECT_EQ(base::UTF8ToWide(test.id), crash_id_);
      EXPECT_EQ(base::UTF8ToWide(test.location), location_);
    } else {
      EXPECT_EQ(L"untouched", crash_id_);
      EXPECT_EQ(L"untouched", location_);
    }
  }
  EXPECT_TRUE(server_.GetRequests("/else").empty());
}

TEST_F(CrashIdRequestTest, ACrashedProcessCannotAddHeadersOfItsOwn) {
  const std::string url = Serve("/id", R"([{"status": 503}])");
  EXPECT_EQ(kCrashIdServerBusy, Request(url, L"http://a/\r\nX-Forged: 1"));
  EXPECT_EQ(kCrashIdServerBusy, Request(url, L"http://a/\u00e4"));
  std::vector<test_server::RecordedRequest> requests =
      server_.GetRequests(prefix_);
  ASSERT_EQ(2u, requests.size());
  EXPECT_FALSE(requests[0].HasHeader("X-Forged"));
  EXPECT_FALSE(requests[0].HasHeader("X-Kelvo-Crash-URL"));
  EXPECT_TRUE(requests[1].HasHeader("X-Kelvo-Crash-URL"));
}

TEST_F(CrashIdRequestTest, FailuresCostBoundedTimeAndNoStrayTraffic) {
  const std::string port = std::to_string(server_.port());
  EXPECT_EQ(kCrashIdFailed,
            Request("HTTP://127.0.0.1:" + port + prefix_ + "/id"));
  EXPECT_EQ(kCrashIdFailed,
            Request("ftp://127.0.0.1:" + port + prefix_ + "/id"));
  EXPECT_TRUE(server_.GetRequests(prefix_).empty());

  const ULONGLONG start = ::GetTickCount64();
  EXPECT_EQ(kCrashIdFailed,
            Request("http://127.0.0.1:" +
                    std::to_string(test_server::GetClosedPort()) + "/id"));
  // Takes the request and answers after 20 s.
  EXPECT_EQ(
      kCrashIdFailed,
      Request(Serve("/stall", R"([{"delay": 20, "status": 503}])"), L"", 1000));
  EXPECT_LT(::GetTickCount64() - start, 4000u);
}

}  // namespace
}  // namespace crash_reporter
