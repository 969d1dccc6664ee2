#include "desktop/windows/crash_reporter/upload_queue.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/test/scoped_environment_variable_override.h"
#include "desktop/windows/crash_reporter/crash_server_urls.h"
#include "desktop/windows/crash_reporter/minidump_upload_job.h"
#include "desktop/windows/crash_reporter/process_exit_waiter.h"
#include "desktop/windows/crash_reporter/test/crash_upload_test_util.h"
#include "desktop/windows/crash_reporter/text_log_upload_job.h"
#include "gtest/gtest.h"
#include "testing/servers/http_test_server.h"

namespace crash_reporter {
namespace {

using test_server::RecordedRequest;

class UploadJobTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    ASSERT_TRUE(server_.Connect());
    prefix_ = "/crash" + server_.NewPathPrefix();
    // Both servers under the prefix: the crash server hands out ids.
    PointServersAt("/id", "/collector");
  }

  void PointServersAt(const std::string& crash_path,
                      const std::string& collector_path) {
    base::ScopedEnvironmentVariableOverride server(
        kCrashServerUrlEnvVar,
        server_.GetURL("127.0.0.1", prefix_ + crash_path));
    base::ScopedEnvironmentVariableOverride collector(
        kCollectorUrlEnvVar,
        server_.GetURL("127.0.0.1", prefix_ + collector_path));
    InitCrashServerUrls();
  }

  base::FilePath WriteFile(const wchar_t* name, const std::string& data) {
    const base::FilePath path = temp_dir_.GetPath().Append(name);
    EXPECT_TRUE(base::WriteFile(path, data));
    return path;
  }

  std::vector<RecordedRequest> Requests() {
    return server_.GetRequests(prefix_);
  }

  base::ScopedTempDir temp_dir_;
  test_server::HttpTestServer server_;
  std::string prefix_;
};

TEST_F(UploadJobTest, TextLogGoesZippedWithItsFieldsInNameOrder) {
  const std::string log = "KELVO-CRASHLOG V1\r\n" + std::string(5000, 'x');
  const base::FilePath path = WriteFile(L"kelvo-crashlog-5-1.txt", log);
  EXPECT_TRUE(TextLogUploadJob(path, false,
                               {{L"stacktraceId", L"c1"},
                                {L"ProductName", L"Kelvo"},
                                {L"origin", L""}},
                               true)
                  .Run());
  // Kept as asked; its zip is gone.
  EXPECT_TRUE(base::PathExists(path));
  EXPECT_FALSE(base::PathExists(path.ReplaceExtension(L".zip")));

  std::vector<RecordedRequest> requests = Requests();
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ(prefix_ + "/id", requests[0].target);
  EXPECT_EQ("Breakpad/1.0 (Windows) (Edition developer)",
            requests[0].GetHeader("User-Agent"));
  ASSERT_EQ("", requests[0].form_error);
  EXPECT_EQ(
      (std::vector<std::pair<std::string, std::string>>{
          {"ProductName", "Kelvo"}, {"origin", ""}, {"stacktraceId", "c1"}}),
      GetFormFields(requests[0]));
  std::vector<test_server::FormPart> files = GetFileParts(requests[0]);
  ASSERT_EQ(1u, files.size());
  EXPECT_EQ("file", files[0].name);
  EXPECT_EQ("kelvo-crashlog-5-1.zip", files[0].filename);
  EXPECT_EQ("application/octet-stream", files[0].content_type);
  std::string name, content;
  ASSERT_TRUE(ReadSingleEntryZip(files[0].body, &name, &content));
  EXPECT_EQ("crashlog.txt", name);
  EXPECT_EQ(log, content);
}

TEST_F(UploadJobTest, FilesGoWhenAskedWhateverTheOutcome) {
  ASSERT_TRUE(server_.Script(prefix_ + "/refused", R"([{"status": 500}])"));
  PointServersAt("/refused", "/refused");
  const base::FilePath log = WriteFile(L"a.txt", "log");
  EXPECT_FALSE(TextLogUploadJob(log, true, {}, true).Run());
  EXPECT_FALSE(base::PathExists(log));
  EXPECT_FALSE(base::PathExists(log.ReplaceExtension(L".zip")));
  const base::FilePath dump = WriteFile(L"a.dmp", "MDMP");
  EXPECT_FALSE(MinidumpUploadJob(dump, true, {}, true, 100).Run());
  EXPECT_FALSE(base::PathExists(dump));
  EXPECT_EQ(2u, Requests().size());

  // A log that cannot be zipped is not sent, and still goes.
  const base::FilePath empty = WriteFile(L"empty.txt", "");
  EXPECT_FALSE(TextLogUploadJob(empty, true, {}, true).Run());
  EXPECT_FALSE(base::PathExists(empty));
  EXPECT_EQ(2u, Requests().size());
}

TEST_F(UploadJobTest, MinidumpGoesAsAGzipWrappedForm) {
  std::string dump = "MDMP";
  for (int i = 0; i < 300000; ++i)
    dump += static_cast<char>(i * 7 % 256);
  const base::FilePath path = WriteFile(L"kelvo-crashlog-5-1.dmp", dump);
  const UploadParams params = {
      {L"Version", L"45.0.2531.0"}, {L"URL", L""}, {L"BuildID", L"2017"}};
  for (bool compress : {true, false}) {
    SCOPED_TRACE(compress);
    EXPECT_TRUE(
        MinidumpUploadJob(path, false, params, compress, dump.size()).Run());
  }
  std::vector<RecordedRequest> requests = Requests();
  ASSERT_EQ(2u, requests.size());
  for (const RecordedRequest& request : requests) {
    EXPECT_EQ("POST", request.method);
    EXPECT_EQ(prefix_ + "/collector", request.target);
    // Sent with its length: WinHTTP's chunked sending stalls under Wine.
    EXPECT_EQ(std::to_string(request.body.size()),
              request.GetHeader("Content-Length"));
    ASSERT_EQ("", request.form_error);
    EXPECT_EQ(
        (std::vector<std::pair<std::string, std::string>>{
            {"BuildID", "2017"}, {"URL", ""}, {"Version", "45.0.2531.0"}}),
        GetFormFields(request));
    ASSERT_EQ(4u, request.form_parts.size());
    const test_server::FormPart& file = request.form_parts[3];
    EXPECT_EQ("upload_file_minidump", file.name);
    EXPECT_EQ("kelvo-crashlog-5-1.dmp", file.filename);
    EXPECT_EQ("application/octet-stream", file.content_type);
    EXPECT_EQ(dump, file.body);
  }
  EXPECT_EQ("gzip", requests[0].GetHeader("Content-Encoding"));
  EXPECT_LT(requests[0].body.size(), requests[0].decoded_body.size());
  EXPECT_FALSE(requests[1].HasHeader("Content-Encoding"));
  EXPECT_EQ(requests[1].body, requests[1].decoded_body);
}

TEST_F(UploadJobTest, NothingBeyondTheSizeLimitIsSent) {
  const base::FilePath dump = WriteFile(L"big.dmp", std::string(101, 'd'));
  EXPECT_FALSE(MinidumpUploadJob(dump, false, {}, true, 100).Run());
  EXPECT_FALSE(MinidumpUploadJob(dump, true, {}, true, 100).Run());
  EXPECT_FALSE(base::PathExists(dump));
  EXPECT_TRUE(Requests().empty());
}

TEST_F(UploadJobTest, QueuedJobHoldsTheReporterUntilItsFileIsGone) {
  // The collector takes its time: the reporter must not end meanwhile.
  ASSERT_TRUE(
      server_.Script(prefix_ + "/slow", R"([{"delay": 1, "status": 200}])"));
  PointServersAt("/slow", "/slow");
  ProcessExitWaiter waiter;
  const base::FilePath dump = WriteFile(L"q.dmp", "MDMP dump");
  const base::FilePath log = WriteFile(L"q.txt", "log");
  EXPECT_TRUE(QueueMinidumpUpload(dump, {{L"k", L"v"}}, true, 100, &waiter));
  EXPECT_TRUE(QueueTextLogUpload(log, {}, false, &waiter));
  EXPECT_EQ(2, waiter.count_for_testing());
  waiter.Wait();
  EXPECT_EQ(2u, Requests().size());
  EXPECT_FALSE(base::PathExists(dump));
  EXPECT_TRUE(base::PathExists(log));
  EXPECT_FALSE(base::PathExists(log.ReplaceExtension(L".zip")));
}

}  // namespace
}  // namespace crash_reporter
