#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/files/file.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "components/upload/composite_http_body_stream.h"
#include "components/upload/file_reader_http_body_stream.h"
#include "components/upload/string_http_body_stream.h"
#include "gtest/gtest.h"

namespace upload {
namespace {

// Everything up to the end or the first error, read |size| bytes at a time.
intptr_t ReadAll(HTTPBodyStream* stream, size_t size, std::string* out) {
  std::vector<uint8_t> buffer(size);
  while (true) {
    const intptr_t read = stream->GetBytesBuffer(buffer.data(), size);
    if (read <= 0)
      return read;
    out->append(buffer.begin(), buffer.begin() + read);
  }
}

class HTTPBodyStreamTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(temp_dir_.CreateUniqueTempDir()); }

  base::File OpenFile(const std::string& contents, uint32_t access) {
    const base::FilePath path = temp_dir_.GetPath().Append(L"body.bin");
    EXPECT_EQ(static_cast<int>(contents.size()),
              base::WriteFile(path, contents.data(),
                              static_cast<int>(contents.size())));
    return base::File(path, base::File::FLAG_OPEN | access);
  }

  std::unique_ptr<HTTPBodyStream> Composite(std::unique_ptr<HTTPBodyStream> a,
                                            std::unique_ptr<HTTPBodyStream> b,
                                            std::unique_ptr<HTTPBodyStream> c) {
    std::vector<std::unique_ptr<HTTPBodyStream>> parts;
    parts.push_back(std::move(a));
    parts.push_back(std::move(b));
    parts.push_back(std::move(c));
    return std::make_unique<CompositeHTTPBodyStream>(std::move(parts));
  }

  base::ScopedTempDir temp_dir_;
};

TEST_F(HTTPBodyStreamTest, CompositeJoinsPartsWhateverTheBufferSize) {
  std::string file_data(70000, '\0');
  for (size_t i = 0; i < file_data.size(); ++i)
    file_data[i] = static_cast<char>(i * 31);
  for (size_t size : {size_t{1}, size_t{5}, size_t{65536}}) {
    SCOPED_TRACE(size);
    auto body = Composite(std::make_unique<StringHTTPBodyStream>("head"),
                          std::make_unique<FileReaderHTTPBodyStream>(
                              OpenFile(file_data, base::File::FLAG_READ)),
                          std::make_unique<StringHTTPBodyStream>(""));
    std::string out;
    EXPECT_EQ(0, ReadAll(body.get(), size, &out));
    EXPECT_EQ("head" + file_data, out);
    // The end is sticky.
    uint8_t byte;
    EXPECT_EQ(0, body->GetBytesBuffer(&byte, 1));
  }
}

TEST_F(HTTPBodyStreamTest, FileReadErrorFailsTheWholeBody) {
  // A handle without read access: every read fails.
  auto body = Composite(std::make_unique<StringHTTPBodyStream>("head"),
                        std::make_unique<FileReaderHTTPBodyStream>(
                            OpenFile("data", base::File::FLAG_WRITE)),
                        std::make_unique<StringHTTPBodyStream>("tail"));
  std::string out;
  EXPECT_EQ(-1, ReadAll(body.get(), 2, &out));
  EXPECT_EQ("head", out);
  uint8_t buffer[8];
  EXPECT_EQ(-1, body->GetBytesBuffer(buffer, sizeof(buffer)));
}

TEST_F(HTTPBodyStreamTest, ReadWholeBodyStopsAboveItsLimit) {
  const std::string data(200000, 'b');
  std::string body;
  StringHTTPBodyStream exact(data);
  EXPECT_TRUE(ReadWholeBody(&exact, data.size(), &body));
  EXPECT_EQ(data, body);
  StringHTTPBodyStream larger(data);
  EXPECT_FALSE(ReadWholeBody(&larger, data.size() - 1, &body));
  FileReaderHTTPBodyStream broken(OpenFile("data", base::File::FLAG_WRITE));
  EXPECT_FALSE(ReadWholeBody(&broken, 100, &body));
}

}  // namespace
}  // namespace upload
