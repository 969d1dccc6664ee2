#include "components/upload/http_upload.h"

#include <windows.h>

#include <string>
#include <vector>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/strings/utf_string_conversions.h"
#include "gtest/gtest.h"
#include "testing/servers/http_test_server.h"

namespace upload {
namespace {

constexpr wchar_t kSuffix[] = L" (Edition developer)";

class HTTPUploadTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    ASSERT_TRUE(server_.Connect());
    prefix_ = server_.NewPathPrefix();
  }

  std::wstring WriteFile(const wchar_t* name, const std::string& data) {
    const base::FilePath path = temp_dir_.GetPath().Append(name);
    EXPECT_EQ(
        static_cast<int>(data.size()),
        base::WriteFile(path, data.data(), static_cast<int>(data.size())));
    return path.value();
  }

  // Scripts |path| under this test's prefix; returns its URL.
  std::wstring Serve(const std::string& path, const std::string& steps) {
    EXPECT_TRUE(server_.Script(prefix_ + path, steps));
    return server_.GetWideURL("127.0.0.1", prefix_ + path);
  }

  bool Send(const std::wstring& url,
            const std::map<std::wstring, std::wstring>& parameters,
            const std::map<std::wstring, std::wstring>& files,
            int timeout_ms = 10000) {
    return HTTPUpload::SendRequest(url, parameters, files, &timeout_ms,
                                   &response_body_, &response_code_, kSuffix);
  }

  base::ScopedTempDir temp_dir_;
  test_server::HttpTestServer server_;
  std::string prefix_;
  std::wstring response_body_;
  int response_code_ = 0;
};

TEST_F(HTTPUploadTest, PostsFieldsInNameOrderThenTheFile) {
  const std::string zip("PK\x03\x04\0\r\n\xff zip bytes", 17);
  ASSERT_TRUE(server_.Script(prefix_ + "/crash",
                             R"([{"status": 200, "body": "CrashID=bp-1"}])"));
  // Over IPv6, which takes the host's brackets through the URL cracker.
  const std::wstring url = server_.GetWideURL("::1", prefix_ + "/crash") +
                           L"?email=a%2Bb%40example.org";
  ASSERT_TRUE(Send(url,
                   {{L"ptime", L"12"},
                    {L"ProductName", L"Kelvo"},
                    {L"email", L"a+b@example.org"},
                    {L"URL", L""},
                    {L"origin", L"Vorn \u00e4\u65e5"}},
                   {{L"file", WriteFile(L"kelvo-crashlog-12-1.zip", zip)}}));
  EXPECT_EQ(200, response_code_);
  EXPECT_EQ(L"CrashID=bp-1", response_body_);

  const std::vector<test_server::RecordedRequest> requests =
      server_.GetRequests(prefix_);
  ASSERT_EQ(1u, requests.size());
  const test_server::RecordedRequest& request = requests[0];
  EXPECT_EQ("::1", request.host);
  EXPECT_EQ("POST", request.method);
  EXPECT_EQ(prefix_ + "/crash?email=a%2Bb%40example.org", request.target);
  EXPECT_EQ("Breakpad/1.0 (Windows) (Edition developer)",
            request.GetHeader("User-Agent"));
  EXPECT_EQ(std::to_string(request.body.size()),
            request.GetHeader("Content-Length"));
  EXPECT_FALSE(request.HasHeader("Transfer-Encoding"));
  EXPECT_FALSE(request.HasHeader("Cookie"));

  ASSERT_EQ("", request.form_error);
  ASSERT_EQ(6u, request.form_parts.size());
  const char* const names[] = {"ProductName", "URL",   "email",
                               "origin",      "ptime", "file"};
  const char* const values[] = {"Kelvo", "", "a+b@example.org",
                                "Vorn \xc3\xa4\xe6\x97\xa5", "12"};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(names[i], request.form_parts[i].name);
    EXPECT_EQ(values[i], request.form_parts[i].body);
    EXPECT_FALSE(request.form_parts[i].has_filename) << names[i];
  }
  const test_server::FormPart& file = request.form_parts[5];
  EXPECT_EQ("file", file.name);
  EXPECT_EQ("kelvo-crashlog-12-1.zip", file.filename);
  EXPECT_EQ("application/octet-stream", file.content_type);
  EXPECT_EQ(zip, file.body);
}

TEST_F(HTTPUploadTest, OnlyStatus200Succeeds) {
  const std::wstring log = WriteFile(L"log.txt", "log");
  const struct {
    std::string steps;
    int code;
  } cases[] = {
      {R"([{"status": 201}])", 201},
      {R"([{"status": 500, "body": "down"}])", 500},
      // The target would answer 200 to a GET that carries no upload.
      {R"([{"redirect": ")" + prefix_ + R"(/elsewhere"}])", 302},
  };
  ASSERT_TRUE(server_.Script(prefix_ + "/elsewhere", R"([{"status": 200}])"));
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].steps);
    const std::string path = "/case" + std::to_string(i);
    response_body_ = L"untouched";
    EXPECT_FALSE(
        Send(Serve(path, cases[i].steps), {{L"k", L"v"}}, {{L"file", log}}));
    EXPECT_EQ(cases[i].code, response_code_);
    EXPECT_EQ(L"untouched", response_body_);
  }
  EXPECT_TRUE(server_.GetRequests(prefix_ + "/elsewhere").empty());
}

TEST_F(HTTPUploadTest, RefusesWhatCannotBeSentSafelyBeforeAnyTraffic) {
  const std::wstring url = Serve("/crash", R"([{"status": 200}])");
  const std::wstring log = WriteFile(L"log.txt", "log");
  for (const wchar_t* name : {L"a\"b", L"a\rb", L"a\nb"}) {
    EXPECT_FALSE(Send(url, {{name, L"v"}}, {{L"file", log}}));
    EXPECT_FALSE(Send(url, {{L"k", L"v"}}, {{name, log}}));
  }
  EXPECT_FALSE(Send(url, {{L"k", L"v"}},
                    {{L"file", temp_dir_.GetPath().Append(L"gone").value()}}));
  for (const wchar_t* scheme : {L"ftp", L"HTTP"}) {
    EXPECT_FALSE(Send(scheme +
                          (L"://127.0.0.1:" + std::to_wstring(server_.port())) +
                          base::UTF8ToWide(prefix_) + L"/crash",
                      {}, {{L"file", log}}));
  }
  EXPECT_EQ(0, response_code_);
  EXPECT_TRUE(server_.GetRequests(prefix_).empty());
}

TEST_F(HTTPUploadTest, ServersThatStallOrFloodCostBoundedTime) {
  const std::wstring log = WriteFile(L"log.txt", "log");
  const ULONGLONG start = ::GetTickCount64();
  // Accepts the upload and answers 30 s later.
  EXPECT_FALSE(
      Send(Serve("/stall", R"([{"delay": 30}])"), {}, {{L"file", log}}, 500));
  // Nothing listens.
  EXPECT_FALSE(Send(L"http://127.0.0.1:" +
                        std::to_wstring(test_server::GetClosedPort()) + L"/",
                    {}, {{L"file", log}}, 500));
  // A reply body without end.
  EXPECT_FALSE(Send(Serve("/flood", R"([{"endless": true}])"), {},
                    {{L"file", log}}, 5000));
  EXPECT_LT(::GetTickCount64() - start, 10000u);
}

}  // namespace
}  // namespace upload
