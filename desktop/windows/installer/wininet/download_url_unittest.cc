#include "desktop/windows/installer/wininet/download_url.h"

#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(DownloadUrlTest, SplitsWithoutDecoding) {
  upload::HttpURL url;
  ASSERT_TRUE(ParseDownloadUrl(
      L"https://dl.kelvo.example/p%2Fq/file.exe?sig=a%2Bb%3D&x=%26", &url));
  EXPECT_TRUE(url.secure);
  EXPECT_EQ(L"dl.kelvo.example", url.host);
  EXPECT_EQ(443, url.port);
  EXPECT_EQ(L"/p%2Fq/file.exe?sig=a%2Bb%3D&x=%26", url.path);

  upload::HttpURL local;
  ASSERT_TRUE(ParseDownloadUrl(L"http://LocalHost:3000", &local));
  EXPECT_EQ(3000, local.port);
  EXPECT_EQ(L"/", local.path);
  upload::HttpURL other_path;
  ASSERT_TRUE(ParseDownloadUrl(L"http://localhost:3000/other", &other_path));
  EXPECT_TRUE(IsSameServer(local, other_path));
  EXPECT_FALSE(IsSameServer(local, url));

  for (const wchar_t* refused :
       {L"", L"file:///C:/x", L"ftp://kelvo.example/", L"http:///path",
        L"http://ke%6cvo.example/", L"http://kelvo example/"}) {
    EXPECT_FALSE(ParseDownloadUrl(refused, &url)) << refused;
  }
  EXPECT_FALSE(
      ParseDownloadUrl(L"http://" + std::wstring(256, L'a') + L"/", &url));
  EXPECT_FALSE(ParseDownloadUrl(
      L"http://kelvo.example/" + std::wstring(4096, L'a'), &url));
  // Whatever follows a NUL would be lost.
  EXPECT_FALSE(
      ParseDownloadUrl(std::wstring(L"http://a.example\0.evil/", 24), &url));
}

TEST(DownloadUrlTest, ResolvesRedirectLocations) {
  const std::wstring base = L"http://a.example:81/dir/file?q=1";
  EXPECT_EQ(L"https://b.example/x",
            ResolveRedirectUrl(base, L"https://b.example/x"));
  EXPECT_EQ(L"http://c.example/y", ResolveRedirectUrl(base, L"//c.example/y"));
  EXPECT_EQ(L"http://a.example:81/z?k=%2B",
            ResolveRedirectUrl(base, L"/z?k=%2B"));
  EXPECT_EQ(L"http://a.example:81/dir/other",
            ResolveRedirectUrl(base, L"other"));
  EXPECT_EQ(L"http://a.example/next",
            ResolveRedirectUrl(L"http://a.example", L"next"));
  EXPECT_EQ(L"", ResolveRedirectUrl(base, L""));
}

}  // namespace
}  // namespace installer
