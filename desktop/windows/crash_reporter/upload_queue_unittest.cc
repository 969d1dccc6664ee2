#include "desktop/windows/crash_reporter/upload_queue.h"

#include <string>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/test/scoped_environment_variable_override.h"
#include "desktop/windows/crash_reporter/crash_server_urls.h"
#include "desktop/windows/crash_reporter/process_exit_waiter.h"
#include "gtest/gtest.h"
#include "testing/servers/http_test_server.h"

namespace crash_reporter {
namespace {

class UploadQueueTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    ASSERT_TRUE(server_.Connect());
    prefix_ = server_.NewPathPrefix();
  }

  // Both servers answer as |steps| say.
  void Serve(const std::string& steps) {
    ASSERT_TRUE(server_.Script(prefix_ + "/s", steps));
    const std::string url = server_.GetURL("127.0.0.1", prefix_ + "/s");
    base::ScopedEnvironmentVariableOverride server(kCrashServerUrlEnvVar, url);
    base::ScopedEnvironmentVariableOverride collector(kCollectorUrlEnvVar, url);
    InitCrashServerUrls();
  }

  base::FilePath WriteFile(const wchar_t* name, const std::string& data) {
    const base::FilePath path = temp_dir_.GetPath().Append(name);
    EXPECT_TRUE(base::WriteFile(path, data));
    return path;
  }

  base::ScopedTempDir temp_dir_;
  test_server::HttpTestServer server_;
  std::string prefix_;
};

TEST_F(UploadQueueTest, NothingBeyondTheLimitOrUnzippableIsSentYetItGoes) {
  Serve(R"([{"status": 200}])");
  const base::FilePath dump = WriteFile(L"big.dmp", std::string(101, 'd'));
  EXPECT_FALSE(UploadMinidumpNow(dump, {}, true, 100));
  EXPECT_FALSE(base::PathExists(dump));
  const base::FilePath empty = WriteFile(L"empty.txt", "");
  EXPECT_FALSE(UploadTextLogNow(empty, {}, true));
  EXPECT_FALSE(base::PathExists(empty));
  EXPECT_FALSE(base::PathExists(empty.ReplaceExtension(L".zip")));
  EXPECT_TRUE(server_.GetRequests(prefix_).empty());

  const base::FilePath fits = WriteFile(L"fits.dmp", std::string(100, 'd'));
  EXPECT_TRUE(UploadMinidumpNow(fits, {}, false, 100));
  EXPECT_EQ(1u, server_.GetRequests(prefix_).size());
}

TEST_F(UploadQueueTest, QueuedUploadsHoldTheReporterUntilTheirFilesAreGone) {
  // The servers take their time: the reporter must not end meanwhile.
  Serve(R"([{"delay": 1, "status": 200}])");
  ProcessExitWaiter waiter;
  const base::FilePath dump = WriteFile(L"q.dmp", "MDMP dump");
  const base::FilePath log = WriteFile(L"q.txt", "log");
  EXPECT_TRUE(QueueMinidumpUpload(dump, {{L"k", L"v"}}, true, 100, &waiter));
  EXPECT_TRUE(QueueTextLogUpload(log, {}, false, &waiter));
  EXPECT_EQ(2, waiter.count_for_testing());
  waiter.Wait();
  EXPECT_EQ(2u, server_.GetRequests(prefix_).size());
  EXPECT_FALSE(base::PathExists(dump));
  EXPECT_TRUE(base::PathExists(log));
  EXPECT_FALSE(base::PathExists(log.ReplaceExtension(L".zip")));
}

}  // namespace
}  // namespace crash_reporter
