#include "components/upload/http_multipart_builder.h"

#include <string>
#include <vector>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "components/upload/http_body_stream.h"
#include "gtest/gtest.h"

namespace upload {
namespace {

class HTTPMultipartBuilderTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(temp_dir_.CreateUniqueTempDir()); }

  base::FilePath WriteFile(const wchar_t* name, const std::string& data) {
    const base::FilePath path = temp_dir_.GetPath().Append(name);
    EXPECT_EQ(
        static_cast<int>(data.size()),
        base::WriteFile(path, data.data(), static_cast<int>(data.size())));
    return path;
  }

  static std::string Body(const HTTPMultipartBuilder& builder) {
    std::unique_ptr<HTTPBodyStream> stream = builder.GetBodyStream();
    EXPECT_TRUE(stream);
    std::string body;
    uint8_t buffer[1000];
    intptr_t read;
    while (stream &&
           (read = stream->GetBytesBuffer(buffer, sizeof(buffer))) > 0)
      body.append(buffer, buffer + read);
    return body;
  }

  static std::string Boundary(const HTTPMultipartBuilder& builder) {
    const std::string prefix = "multipart/form-data; boundary=";
    const std::string type = builder.GetContentType();
    EXPECT_EQ(0u, type.find(prefix));
    return type.substr(prefix.size());
  }

  base::ScopedTempDir temp_dir_;
};

// The layout of the parts is checked by the test server's own parser in the
// tests of both clients.
TEST_F(HTTPMultipartBuilderTest, QuotesAndLineBreaksInNamesAreEncoded) {
  HTTPMultipartBuilder builder;
  builder.SetFormData("a\"b\r\nc", "value \"with\"\r\nbreaks");
  builder.SetFileAttachment("f", "x\".zip", WriteFile(L"x", "z"), "text/plain");
  const std::string body = Body(builder);
  EXPECT_NE(std::string::npos,
            body.find("name=\"a%22b%0D%0Ac\"\r\n\r\nvalue \"with\"\r\nbreaks"));
  EXPECT_NE(std::string::npos, body.find("filename=\"x%22.zip\""));
}

TEST_F(HTTPMultipartBuilderTest, ANameHoldsOneValue) {
  HTTPMultipartBuilder builder;
  builder.SetFormData("file", "replaced-value");
  builder.SetFileAttachment("file", "a.txt", WriteFile(L"a", "A"),
                            "text/plain");
  builder.SetFormData("k", "1");
  builder.SetFormData("k", "2");
  const std::string body = Body(builder);
  EXPECT_EQ(std::string::npos, body.find("replaced-value"));
  EXPECT_EQ(std::string::npos, body.find("\r\n1\r\n"));
  EXPECT_NE(std::string::npos, body.find("\r\n2\r\n"));
  EXPECT_NE(std::string::npos, body.find("filename=\"a.txt\""));
}

TEST_F(HTTPMultipartBuilderTest, MissingFileGivesNoBody) {
  HTTPMultipartBuilder builder;
  builder.SetFormData("k", "v");
  builder.SetFileAttachment("file", "gone.zip",
                            temp_dir_.GetPath().Append(L"gone.zip"),
                            "application/octet-stream");
  EXPECT_FALSE(builder.GetBodyStream());
}

TEST_F(HTTPMultipartBuilderTest, BoundariesAreLongAndDifferEveryTime) {
  HTTPMultipartBuilder first, second;
  EXPECT_GE(Boundary(first).size(), 32u);
  EXPECT_NE(Boundary(first), Boundary(second));
  EXPECT_EQ("--" + Boundary(first) + "--\r\n", Body(first));
}

}  // namespace
}  // namespace upload
