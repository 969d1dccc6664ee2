#include "components/upload/http_transport.h"

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "components/compression/gzip_stream.h"
#include "components/upload/http_multipart_builder.h"
#include "components/upload/string_http_body_stream.h"
#include "gtest/gtest.h"
#include "testing/servers/http_test_server.h"

namespace upload {
namespace {

// Fails at once, as a minidump whose file went away would.
class FailingStream : public HTTPBodyStream {
 public:
  intptr_t GetBytesBuffer(uint8_t* buffer, size_t max_len) override {
    return -1;
  }
};

class HTTPTransportTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Connect());
    prefix_ = server_.NewPathPrefix();
  }

  std::string Serve(const std::string& path, const std::string& steps) {
    EXPECT_TRUE(server_.Script(prefix_ + path, steps));
    return server_.GetURL("127.0.0.1", prefix_ + path);
  }

  static std::unique_ptr<HTTPTransport> Post(
      const std::string& url,
      std::unique_ptr<HTTPBodyStream> body) {
    std::unique_ptr<HTTPTransport> transport = HTTPTransport::Create();
    transport->SetURL(url);
    transport->SetBodyStream(std::move(body));
    transport->SetTimeout(10);
    return transport;
  }

  test_server::HttpTestServer server_;
  std::string prefix_;
};

TEST_F(HTTPTransportTest, SendsAGzippedMultipartBodyWithItsLength) {
  base::ScopedTempDir temp_dir;
  ASSERT_TRUE(temp_dir.CreateUniqueTempDir());
  std::string dump("MDMP\x93\xa7\0\0", 8);
  for (int i = 0; dump.size() < 300000; ++i)
    dump += std::to_string(i * 40503u % 65536);
  const base::FilePath dump_path = temp_dir.GetPath().Append(L"7.dmp");
  ASSERT_TRUE(base::WriteFile(dump_path, dump.data(),
                              static_cast<int>(dump.size())) > 0);

  HTTPMultipartBuilder builder;
  builder.SetFormData("ProcessType", "installer");
  builder.SetFormData("BuildID", "20170312286388");
  builder.SetFormData("URL", "");
  builder.SetFileAttachment("upload_file_minidump", "kelvo-crashlog-7-1.dmp",
                            dump_path, "application/octet-stream");
  auto gzip =
      std::make_unique<compression::GzipStream>(builder.GetBodyStream());
  ASSERT_TRUE(gzip->Init());
  ASSERT_TRUE(server_.Script(prefix_ + "/submit",
                             R"([{"status": 200, "body": "CrashID=bp-9"}])"));
  // Over IPv6, whose bracketed host WinHTTP's own URL cracker loses.
  std::unique_ptr<HTTPTransport> transport =
      Post(server_.GetURL("::1", prefix_ + "/submit"), std::move(gzip));
  transport->SetHeader("Content-Encoding", "gzip");
  transport->SetHeader("Content-Type", builder.GetContentType());
  std::string reply;
  ASSERT_TRUE(transport->ExecuteSynchronously(&reply));
  EXPECT_EQ("CrashID=bp-9", reply);

  const std::vector<test_server::RecordedRequest> requests =
      server_.GetRequests(prefix_);
  ASSERT_EQ(1u, requests.size());
  const test_server::RecordedRequest& request = requests[0];
  EXPECT_EQ("::1", request.host);
  EXPECT_EQ("POST", request.method);
  EXPECT_EQ(std::to_string(request.body.size()),
            request.GetHeader("Content-Length"));
  EXPECT_FALSE(request.HasHeader("Transfer-Encoding"));
  EXPECT_EQ("gzip", request.GetHeader("Content-Encoding"));
  EXPECT_LT(request.body.size(), dump.size());
  ASSERT_EQ("", request.form_error);
  ASSERT_EQ(4u, request.form_parts.size());
  EXPECT_EQ("BuildID", request.form_parts[0].name);
  EXPECT_EQ("20170312286388", request.form_parts[0].body);
  EXPECT_EQ("ProcessType", request.form_parts[1].name);
  EXPECT_EQ("URL", request.form_parts[2].name);
  EXPECT_EQ("", request.form_parts[2].body);
  EXPECT_EQ("upload_file_minidump", request.form_parts[3].name);
  EXPECT_EQ("kelvo-crashlog-7-1.dmp", request.form_parts[3].filename);
  EXPECT_EQ(dump, request.form_parts[3].body);
}

TEST_F(HTTPTransportTest, OnlyStatus200Succeeds) {
  ASSERT_TRUE(server_.Script(prefix_ + "/elsewhere", R"([{"status": 200}])"));
  const std::string cases[] = {
      R"([{"status": 204}])", R"([{"status": 500}])",
      R"([{"redirect": ")" + prefix_ + R"(/elsewhere"}])"};
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i]);
    EXPECT_FALSE(Post(Serve("/case" + std::to_string(i), cases[i]),
                      std::make_unique<StringHTTPBodyStream>("body"))
                     ->ExecuteSynchronously(nullptr));
  }
  EXPECT_TRUE(server_.GetRequests(prefix_ + "/elsewhere").empty());
  EXPECT_EQ(3u, server_.GetRequests(prefix_).size());
}

TEST_F(HTTPTransportTest, NothingIsSentWhenTheRequestIsBroken) {
  const std::string url = Serve("/submit", R"([{"status": 200}])");
  EXPECT_FALSE(Post(url, std::make_unique<FailingStream>())
                   ->ExecuteSynchronously(nullptr));
  for (const char* bad : {"a\r\nX-Injected: 1", "a\nb"}) {
    std::unique_ptr<HTTPTransport> transport =
        Post(url, std::make_unique<StringHTTPBodyStream>("body"));
    transport->SetHeader("X-Kelvo-Crash-URL", bad);
    EXPECT_FALSE(transport->ExecuteSynchronously(nullptr));
  }
  EXPECT_FALSE(Post("ftp://127.0.0.1/" + prefix_,
                    std::make_unique<StringHTTPBodyStream>("body"))
                   ->ExecuteSynchronously(nullptr));
  EXPECT_TRUE(server_.GetRequests(prefix_).empty());
}

TEST_F(HTTPTransportTest, ServersThatStallOrFloodCostBoundedTime) {
  const ULONGLONG start = ::GetTickCount64();
  std::unique_ptr<HTTPTransport> stalled =
      Post(Serve("/stall", R"([{"delay": 30}])"),
           std::make_unique<StringHTTPBodyStream>("body"));
  stalled->SetTimeout(0.5);
  EXPECT_FALSE(stalled->ExecuteSynchronously(nullptr));
  std::unique_ptr<HTTPTransport> down = Post(
      "http://127.0.0.1:" + std::to_string(test_server::GetClosedPort()) + "/",
      std::make_unique<StringHTTPBodyStream>("body"));
  down->SetTimeout(0.5);
  EXPECT_FALSE(down->ExecuteSynchronously(nullptr));
  std::string reply;
  EXPECT_FALSE(Post(Serve("/flood", R"([{"endless": true}])"),
                    std::make_unique<StringHTTPBodyStream>("body"))
                   ->ExecuteSynchronously(&reply));
  EXPECT_LT(::GetTickCount64() - start, 10000u);
}

}  // namespace
}  // namespace upload
