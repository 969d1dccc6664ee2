#include "desktop/windows/installer/package_fetcher/pref_default_overrides_fetcher.h"

#include <memory>
#include <string>

#include "base/bind.h"
#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/message_loop/message_loop.h"
#include "desktop/windows/installer/product/installer_features.h"
#include "desktop/windows/installer/test/download_test_util.h"
#include "desktop/windows/installer/test/scoped_feature_state.h"
#include "gtest/gtest.h"
#include "testing/servers/http_test_server.h"

namespace installer {
namespace {

class PrefDefaultOverridesFetcherTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Connect());
    ASSERT_TRUE(folder_.CreateUniqueTempDir());
    path_ = server_.NewPathPrefix() + "/prefs";
    fetcher_ = std::make_unique<PrefDefaultOverridesFetcher>(
        folder_.GetPath(), &ui_runner_,
        base::CommandLine::FromString(
            L"installer.exe --local-pref-default-overrides-server=" +
            server_.GetWideURL("127.0.0.1", path_ + "?from=test")));
  }

  base::FilePath Target() {
    return folder_.GetPath().Append(L"pref_default_overrides");
  }

  // Fetches from the test server; how often the completion ran.
  int Fetch(const std::string& tracking_data) {
    return test::RunUntilCalled(
        base::BindOnce(&PrefDefaultOverridesFetcher::Fetch,
                       base::Unretained(fetcher_.get()), tracking_data));
  }

  base::MessageLoop loop_;
  test::ScopedFeatureState feature_{kInstallerPrefDefaultOverridesSupport,
                                    true};
  WininetDownloader::ScopedRetryDelayForTesting fast_retries_{
      base::TimeDelta::FromMilliseconds(20)};
  test_server::HttpTestServer server_;
  std::string path_;
  base::ScopedTempDir folder_;
  test::RefusingUICallbackRunner ui_runner_;
  std::unique_ptr<PrefDefaultOverridesFetcher> fetcher_;
};

TEST_F(PrefDefaultOverridesFetcherTest, StoresTheReplyVerbatim) {
  const char kReply[] = "{\"homepage\": \"x\"}\r\n\0\xff";
  const std::string reply(kReply, sizeof(kReply) - 1);
  ASSERT_TRUE(server_.Script(
      path_, R"([{"status": 503}, {"body_base64": ")" +
                 std::string("eyJob21lcGFnZSI6ICJ4In0NCgD/") + R"("}])"));
  EXPECT_EQ(1, Fetch("dHJhY2tpbmc="));
  std::string stored;
  ASSERT_TRUE(base::ReadFileToString(Target(), &stored));
  EXPECT_EQ(reply, stored);
  std::vector<test_server::RecordedRequest> requests =
      server_.GetRequests(path_);
  ASSERT_EQ(2u, requests.size());
  EXPECT_EQ(path_ + "?from=test", requests[1].target);
  EXPECT_EQ("POST", requests[1].method);
  EXPECT_EQ("dHJhY2tpbmc=", requests[1].body);

  // No tracking data: a GET, and an empty reply is an empty file.
  ASSERT_TRUE(server_.Script(path_, R"([{"body": ""}])"));
  EXPECT_EQ(1, Fetch(std::string()));
  ASSERT_TRUE(base::ReadFileToString(Target(), &stored));
  EXPECT_EQ("", stored);
  EXPECT_EQ("GET", server_.GetRequests(path_).back().method);
}

TEST_F(PrefDefaultOverridesFetcherTest, LeavesNoFileWhenTheFetchFails) {
  ASSERT_TRUE(base::WriteFile(Target(), "old", 3));
  ASSERT_TRUE(server_.Script(path_, R"([{"status": 404}])"));
  EXPECT_EQ(1, Fetch("data"));
  EXPECT_FALSE(base::PathExists(Target()));
}

TEST_F(PrefDefaultOverridesFetcherTest, FeatureOffCompletesAtOnce) {
  test::ScopedFeatureState off(kInstallerPrefDefaultOverridesSupport, false);
  bool completed = false;
  fetcher_->Fetch("data",
                  base::BindOnce([](bool* done) { *done = true; }, &completed));
  EXPECT_TRUE(completed);
  EXPECT_TRUE(server_.GetRequests(path_).empty());
  EXPECT_FALSE(base::PathExists(Target()));
}

TEST(PrefDefaultOverridesUrlTest, SwitchOrBrandingAddress) {
  EXPECT_EQ(L"http://localhost:3001/",
            GetPrefDefaultOverridesURL(base::CommandLine::FromString(
                L"installer.exe --local-pref-default-overrides-server")));
  EXPECT_EQ(L"http://127.0.0.1:9/p?q=1",
            GetPrefDefaultOverridesURL(base::CommandLine::FromString(
                L"installer.exe "
                L"--local-pref-default-overrides-server=http://127.0.0.1:9/"
                L"p?q=1")));
  EXPECT_EQ(
      L"https://autoupdate.kelvo.example/api/prefs/"
      L"?product=Kelvo&version=45.0.2531.0",
      GetPrefDefaultOverridesURL(
          base::CommandLine::FromString(L"installer.exe")));
}

}  // namespace
}  // namespace installer
