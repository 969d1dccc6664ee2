#include "desktop/windows/crash_reporter/crash_server_urls.h"

#include "gtest/gtest.h"

namespace crash_reporter {
namespace {

TEST(CrashServerUrlsTest, EmailIsEscapedAndJoinsAnExistingQuery) {
  EXPECT_EQ(L"https://c.example/",
            AppendEmailToUrl(L"https://c.example/", L""));
  EXPECT_EQ(L"https://c.example/?email=me%40example.org",
            AppendEmailToUrl(L"https://c.example/", L"me@example.org"));
  EXPECT_EQ(L"https://c.example/s?p=k&email=a%2Bb%26c%3Dd%23e%20f",
            AppendEmailToUrl(L"https://c.example/s?p=k", L"a+b&c=d#e f"));
  EXPECT_EQ(L"http://c/?email=J%C3%BCrgen~_.-",
            AppendEmailToUrl(L"http://c/", L"J\u00fcrgen~_.-"));
}

}  // namespace
}  // namespace crash_reporter
