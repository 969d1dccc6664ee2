// InstallerStats::Send against the loopback test server standing in for the
// update server.

#include <memory>
#include <string>

#include "base/bind.h"
#include "base/command_line.h"
#include "base/json/json_reader.h"
#include "base/message_loop/message_loop.h"
#include "base/values.h"
#include "desktop/windows/installer/installer_stats.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/test/download_test_util.h"
#include "gtest/gtest.h"
#include "testing/servers/http_test_server.h"

namespace installer {
namespace {

class StatsSenderTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Connect());
    prefix_ = server_.NewPathPrefix();
    branding_ =
        test::OverrideUpdateServer(server_.GetURL("127.0.0.1", prefix_ + "/"));
  }

  std::string FeedbackPath() { return prefix_ + "/netinstaller/feedback"; }

  // Sends |stats_| and returns how often the completion ran.
  int Send(bool wait_for_network, bool* sent) {
    return test::RunUntilCalled(base::BindOnce(
        [](InstallerStats* stats, bool wait_for_network, bool* sent,
           base::OnceClosure completion) {
          *sent =
              stats->Send(base::CommandLine(base::FilePath(L"installer.exe")),
                          std::move(completion), wait_for_network);
        },
        &stats_, wait_for_network, sent));
  }

  base::MessageLoop loop_;
  WininetDownloader::ScopedRetryDelayForTesting fast_retries_{
      base::TimeDelta::FromMilliseconds(20)};
  test_server::HttpTestServer server_;
  std::string prefix_;
  std::unique_ptr<BrandingConfig::ScopedOverrideForTesting> branding_;
  test::RefusingUICallbackRunner ui_runner_;
  InstallerStats stats_{&ui_runner_};
};

TEST_F(StatsSenderTest, PostsTheWholeTreeAsNestedJson) {
  ASSERT_TRUE(server_.Script(FeedbackPath(), R"([{"status": 204}])"));
  stats_.root()
      .AppendListEntry("fetches")
      .AppendListEntry("download_chunks")
      .SetString("ip", "127.0.0.1");
  stats_.root().SetInteger("installation_success", 1);
  // Tracking data is whatever bytes the payload held.
  stats_.root().SetString("tracking_data", "utm\xff\xfe");

  bool sent = false;
  EXPECT_EQ(1, Send(true, &sent));
  EXPECT_TRUE(sent);
  std::vector<test_server::RecordedRequest> requests =
      server_.GetRequests(FeedbackPath());
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ("POST", requests[0].method);
  std::unique_ptr<base::DictionaryValue> json =
      base::DictionaryValue::From(base::JSONReader::Read(requests[0].body));
  ASSERT_TRUE(json) << requests[0].body;
  int value = 0;
  std::string text;
  EXPECT_TRUE(json->GetInteger("installation_success", &value));
  EXPECT_EQ(1, value);
  EXPECT_TRUE(json->GetInteger("wininet_retries", &value));
  EXPECT_EQ(1, value);
  EXPECT_TRUE(json->GetString("download_ips", &text));
  EXPECT_EQ("127.0.0.1", text);
  // Dotted keys arrive as nested objects.
  EXPECT_TRUE(json->GetInteger("stats_sending_time.elapsed", &value));
  EXPECT_TRUE(json->GetString("stats_sending_time.time", &text));
  EXPECT_TRUE(json->GetString("tracking_data", &text));
  EXPECT_EQ(0u, text.find("utm"));
}

TEST_F(StatsSenderTest, EndsWhenTheServerStaysBusyOrCannotBeAsked) {
  ASSERT_TRUE(server_.Script(FeedbackPath(), R"([{"status": 503}])"));
  bool sent = false;
  EXPECT_EQ(1, Send(false, &sent));
  EXPECT_TRUE(sent);
  // The failure that finds the counter above the maximum of 2 ends it.
  // Each retry posts the whole statistics again, never a range of a reply.
  std::vector<test_server::RecordedRequest> requests =
      server_.GetRequests(FeedbackPath());
  ASSERT_EQ(4u, requests.size());
  for (const test_server::RecordedRequest& request : requests) {
    EXPECT_EQ("POST", request.method);
    EXPECT_FALSE(request.HasHeader("Range"));
    EXPECT_EQ(requests[0].body, request.body);
  }

  // A start that is refused still ends the caller's wait, at once.
  BrandingConfig::ScopedOverrideForTesting no_server("{}");
  EXPECT_EQ(1, Send(false, &sent));
  EXPECT_FALSE(sent);
}

TEST(StatsUploadUrlTest, LocalServerSwitchWinsWhateverItsValue) {
  EXPECT_EQ(L"http://localhost:3000/",
            GetStatsUploadURL(base::CommandLine::FromString(
                L"installer.exe --local-stats-server=http://other:1/")));
  EXPECT_EQ(L"https://autoupdate.kelvo.example/netinstaller/feedback",
            GetStatsUploadURL(base::CommandLine::FromString(L"installer.exe")));
}

}  // namespace
}  // namespace installer
