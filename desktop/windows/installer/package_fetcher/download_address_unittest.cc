#include "desktop/windows/installer/package_fetcher/download_address.h"

#include "base/command_line.h"
#include "desktop/windows/installer/package_fetcher/additional_file.h"
#include "desktop/windows/installer/test/download_test_util.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(DownloadAddressTest, SwitchValueIsUsedUnchanged) {
  auto branding = test::OverrideUpdateServer("https://au.kelvo.example/");
  auto url = [](const wchar_t* switches, int x64) {
    return GetDownloadAddressURL(
        base::CommandLine::FromString(std::wstring(L"installer.exe ") +
                                      switches),
        x64);
  };
  EXPECT_EQ(L"https://au.kelvo.example/netinstaller/developer", url(L"", 0));
  EXPECT_EQ(L"https://au.kelvo.example/netinstaller/developer/windows/x64/",
            url(L"", 1));
  EXPECT_EQ(L"http://127.0.0.1:8/a?b=%2B",
            url(L"--internal-package-server=http://127.0.0.1:8/a?b=%2B", 1));
  EXPECT_EQ(L"https://autoupdate.kelvo.test/netinstaller/developer",
            url(L"--internal-package-server", 0));
}

TEST(DownloadAddressTest, ReplyNeedsBothStringsAndFiltersTheComponents) {
  DownloadAddressReply reply;
  EXPECT_FALSE(
      ParseDownloadAddressReply(R"({"installer": "x"})", true, &reply));
  EXPECT_FALSE(ParseDownloadAddressReply(
      R"({"installer": "x", "installer_checksum": 5})", true, &reply));
  EXPECT_FALSE(ParseDownloadAddressReply(R"(["installer"])", true, &reply));
  EXPECT_FALSE(ParseDownloadAddressReply("", true, &reply));

  const char kReply[] = R"({"installer": "x", "installer_checksum": "c",
      "url_welcome": "https://w/",
      "components": [
        {"type": "suite", "location": "s", "archive": 1, "checksum": "1"},
        {"type": "toolbar", "location": "t", "archive": 1, "checksum": "2"},
        "partner_content",
        {"type": "partner_content", "location": "p", "archive": "0",
         "checksum": "3", "filename": "p.dat"},
        {"type": "partner_content", "location": "q", "archive": 0,
         "checksum": "4", "filename": "q.dat"}]})";
  ASSERT_TRUE(ParseDownloadAddressReply(kReply, false, &reply));
  EXPECT_EQ("https://w/", reply.welcome_url);
  // The suite only when wanted; other types and non-objects never.
  ASSERT_EQ(2u, reply.additional_files.size());
  EXPECT_FALSE(reply.additional_files[0].well_formed);  // "archive" a text.
  EXPECT_TRUE(reply.additional_files[1].well_formed);
  EXPECT_EQ("q.dat", reply.additional_files[1].filename);

  ASSERT_TRUE(ParseDownloadAddressReply(kReply, true, &reply));
  ASSERT_EQ(3u, reply.additional_files.size());
  EXPECT_EQ("suite", reply.additional_files[0].type);
  EXPECT_TRUE(reply.additional_files[0].archive);
  EXPECT_TRUE(reply.additional_files[0].well_formed);
}

TEST(AdditionalFileTest, OnlyPlainFileNamesAreTaken) {
  for (const char* name : {"partner.dat",
                           "donn\xC3\xA9"
                           "es.txt",
                           "a b.x"})
    EXPECT_TRUE(IsPlainFileName(name)) << name;
  for (const char* name : {"", ".", "..", "..\\x.txt", "../x.txt", "a/b",
                           "a\\b", "C:x.txt", "x.txt:stream", "CON", "nul.txt",
                           "com1", "x.", "x ", "a\x01", "\xFF\xFE"}) {
    EXPECT_FALSE(IsPlainFileName(name)) << name;
  }
}

}  // namespace
}  // namespace installer
