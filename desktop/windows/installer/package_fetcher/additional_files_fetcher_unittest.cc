#include "desktop/windows/installer/package_fetcher/additional_files_fetcher.h"

#include <memory>
#include <string>
#include <vector>

#include "base/base64.h"
#include "base/bind.h"
#include "base/files/file.h"
#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/json/json_reader.h"
#include "base/message_loop/message_loop.h"
#include "base/strings/string_number_conversions.h"
#include "base/values.h"
#include "desktop/windows/installer/installer_stats.h"
#include "desktop/windows/installer/package_fetcher/checksum_checker.h"
#include "desktop/windows/installer/package_fetcher/held_files.h"
#include "desktop/windows/installer/test/download_test_util.h"
#include "desktop/windows/installer/test/test_util.h"
#include "desktop/windows/installer/wininet/wininet.h"
#include "gtest/gtest.h"
#include "testing/servers/http_test_server.h"

namespace installer {
namespace {

using base::FilePath;
using test::ReadTextFile;
using test::WriteTextFile;

constexpr char kFilesList[] = "kelvo.exe\r\nresources\\data.pak\r\nmissing.dll";

// The fetcher in this thread against the loopback server, with a package
// folder as an attempt unpacked it.
class AdditionalFilesFetcherTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Connect());
    prefix_ = server_.NewPathPrefix();
    ASSERT_TRUE(temp_.CreateUniqueTempDir());
    folders_.download_folder = temp_.GetPath();
    folders_.package_folder = temp_.GetPath().Append(L"package");
    folders_.suite_folder = temp_.GetPath().Append(L"suite");
    // As an attempt unpacked it: made new and held.
    ASSERT_TRUE(held_.CreateFolder(folders_.package_folder));
    ASSERT_TRUE(held_.CreateFolder(package(L"resources")));
    ASSERT_TRUE(held_.WriteNewFile(package(L"installer.exe"), "installer"));
    ASSERT_TRUE(held_.WriteNewFile(package(L"kelvo.exe"), "browser"));
    ASSERT_TRUE(
        held_.WriteNewFile(package(L"resources").Append(L"data.pak"), "data"));
    ASSERT_TRUE(held_.WriteNewFile(package(L"files_list"), kFilesList));
  }
  void TearDown() override { held_.ReleaseAll(); }

  FilePath package(const wchar_t* name) const {
    return folders_.package_folder.Append(name);
  }

  // Partner content served as |body| under the path "/" + |name| + the
  // entry's index, to be saved as |name|.
  void AddPartnerFile(const std::string& name, const std::string& body) {
    std::string path("/");
    path += base::NumberToString(files_.size());
    path += name;
    std::string encoded;
    base::Base64Encode(body, &encoded);
    ASSERT_TRUE(server_.Script(prefix_ + path,
                               "[{\"body_base64\": \"" + encoded + "\"}]"));
    AdditionalFile file;
    file.well_formed = true;
    file.type = kPartnerContentType;
    file.location = server_.GetURL("127.0.0.1", prefix_ + path);
    file.checksum = ComputeSha256Hex(body.data(), body.size());
    file.filename = name;
    files_.push_back(file);
  }

  // Fetches the files; false when the fetcher did not finish in time.
  bool Fetch() {
    WininetDownloader downloader(&ui_runner_, nullptr);
    AdditionalFilesFetcher fetcher(&downloader, files_, folders_, false, &held_,
                                   stats_.root(), nullptr);
    return test::RunUntilCalled(base::BindOnce(&AdditionalFilesFetcher::Start,
                                               base::Unretained(&fetcher))) ==
           1;
  }

  // "download_succeeded" of every additional file, in order.
  std::vector<int> Succeeded() {
    std::vector<int> result;
    std::unique_ptr<base::DictionaryValue> stats =
        base::DictionaryValue::From(base::JSONReader::Read(stats_.GetJson()));
    const base::ListValue* files = nullptr;
    if (!stats || !stats->GetList("addtional_files", &files))
      return result;
    for (size_t i = 0; i < files->GetSize(); ++i) {
      const base::DictionaryValue* file = nullptr;
      int succeeded = -1;
      if (files->GetDictionary(i, &file))
        file->GetInteger("download_succeeded", &succeeded);
      result.push_back(succeeded);
    }
    return result;
  }

  size_t Requests() { return server_.GetRequests(prefix_).size(); }

  base::MessageLoop loop_;
  test_server::HttpTestServer server_;
  std::string prefix_;
  base::ScopedTempDir temp_;
  AdditionalFilesFetcher::Folders folders_;
  HeldFiles held_;
  std::vector<AdditionalFile> files_;
  test::RefusingUICallbackRunner ui_runner_;
  InstallerStats stats_{&ui_runner_};
};

// Partner content arrives after the package passed its checks: it never
// takes the name of a file of the package, on disk or in its files_list,
// whatever the case, and never replaces a file.
TEST_F(AdditionalFilesFetcherTest, PartnerContentNeverReplacesPackageFiles) {
  AddPartnerFile("installer.exe", "forged installer");
  AddPartnerFile("KELVO.EXE", "forged browser");
  AddPartnerFile("missing.dll", "not in the package yet");
  AddPartnerFile("resources", "a file over a folder");
  AddPartnerFile("files_list", "forged list");
  AddPartnerFile("partner.dat", "partner");
  AddPartnerFile("Partner.dat", "second partner");
  ASSERT_TRUE(Fetch());

  EXPECT_EQ("installer", ReadTextFile(package(L"installer.exe")));
  EXPECT_EQ("browser", ReadTextFile(package(L"kelvo.exe")));
  EXPECT_FALSE(base::PathExists(package(L"missing.dll")));
  EXPECT_EQ("data", ReadTextFile(package(L"resources").Append(L"data.pak")));
  EXPECT_EQ("partner", ReadTextFile(package(L"partner.dat")));
  // Only the one that arrived is listed for the backend.
  EXPECT_EQ(std::string(kFilesList) + "\r\npartner.dat\r\n",
            ReadTextFile(package(L"files_list")));
  EXPECT_EQ((std::vector<int>{0, 0, 0, 0, 0, 1, 0}), Succeeded());
  // A refused name is no download failure: nothing was fetched again.
  EXPECT_EQ(files_.size(), Requests());
  EXPECT_FALSE(
      base::PathExists(temp_.GetPath().Append(L"additional_file.tmp")));
}

// A package without a readable files_list still keeps its files.
TEST_F(AdditionalFilesFetcherTest, FilesOnDiskAreKeptWithoutAFilesList) {
  held_.Release(package(L"files_list"));
  ASSERT_TRUE(base::DeleteFile(package(L"files_list"), false));
  AddPartnerFile("kelvo.exe", "forged browser");
  AddPartnerFile("missing.dll", "partner");
  ASSERT_TRUE(Fetch());
  EXPECT_EQ("browser", ReadTextFile(package(L"kelvo.exe")));
  EXPECT_EQ("partner", ReadTextFile(package(L"missing.dll")));
  EXPECT_EQ((std::vector<int>{0, 1}), Succeeded());
}

// Another run that started at the same time holds "additional_file.tmp" of
// the shared download folder, open while it downloads: this run downloads
// beside it and leaves it as it was.
TEST_F(AdditionalFilesFetcherTest, AnotherRunsDownloadIsLeftAlone) {
  const FilePath other = temp_.GetPath().Append(L"additional_file.tmp");
  WriteTextFile(other, "another run's download");
  AddPartnerFile("partner.dat", "partner");
  AddPartnerFile("second.dat", "second");
  {
    base::File held(other, base::File::FLAG_OPEN | base::File::FLAG_READ |
                               base::File::FLAG_EXCLUSIVE_READ |
                               base::File::FLAG_EXCLUSIVE_WRITE);
    ASSERT_TRUE(held.IsValid());
    ASSERT_TRUE(Fetch());
  }
  EXPECT_EQ("partner", ReadTextFile(package(L"partner.dat")));
  EXPECT_EQ("second", ReadTextFile(package(L"second.dat")));
  EXPECT_EQ((std::vector<int>{1, 1}), Succeeded());
  EXPECT_EQ("another run's download", ReadTextFile(other));
  // Nothing of this run's stays beside it.
  base::FileEnumerator files(temp_.GetPath(), false,
                            base::FileEnumerator::FILES);
  EXPECT_EQ(other, files.Next());
  EXPECT_EQ(FilePath(), files.Next());
}

}  // namespace
}  // namespace installer
