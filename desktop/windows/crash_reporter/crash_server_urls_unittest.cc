#include "desktop/windows/crash_reporter/crash_server_urls.h"

#include "base/test/scoped_environment_variable_override.h"
#include "gtest/gtest.h"

namespace crash_reporter {
namespace {

TEST(CrashServerUrlsTest, EmailIsEscapedAndJoinsAnExistingQuery) {
  struct {
    const wchar_t* url;
    const wchar_t* email;
    const wchar_t* expected;
  } cases[] = {
      {L"https://crash.example/", L"", L"https://crash.example/"},
      {L"https://crash.example/", L"me@example.org",
       L"https://crash.example/?email=me%40example.org"},
      {L"https://crash.example/submit?product=k", L"a+b&c=d#e f@x.org",
       L"https://crash.example/"
       L"submit?product=k&email=a%2Bb%26c%3Dd%23e%20f%40x."
       L"org"},
      {L"http://127.0.0.1:8/c", L"J\u00fcrgen~_.-@x",
       L"http://127.0.0.1:8/c?email=J%C3%BCrgen~_.-%40x"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.email);
    EXPECT_EQ(test.expected, AppendEmailToUrl(test.url, test.email));
  }
}

TEST(CrashServerUrlsTest, EnvironmentReplacesTheBrandingsServers) {
  {
    base::ScopedEnvironmentVariableOverride server(kCrashServerUrlEnvVar);
    base::ScopedEnvironmentVariableOverride collector(kCollectorUrlEnvVar, "");
    InitCrashServerUrls();
    EXPECT_EQ(L"https://crash.kelvo.example/", GetCrashServerUrl());
    EXPECT_EQ(L"https://crash-stats.kelvo.example/submit", GetCollectorUrl());
    EXPECT_EQ(L" (Edition developer)", GetUserAgentSuffix());
  }
  base::ScopedEnvironmentVariableOverride server(kCrashServerUrlEnvVar,
                                                 "http://127.0.0.1:9/id");
  base::ScopedEnvironmentVariableOverride collector(kCollectorUrlEnvVar,
                                                    "http://[::1]:9/dump");
  InitCrashServerUrls();
  EXPECT_EQ(L"http://127.0.0.1:9/id", GetCrashServerUrl());
  EXPECT_EQ(L"http://[::1]:9/dump", GetCollectorUrl());
}

}  // namespace
}  // namespace crash_reporter
