#include "components/compression/gzip_stream.h"

#include <zlib.h>

#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "gtest/gtest.h"

namespace compression {
namespace {

// Gives its chunks in order, each in as many reads as the caller's buffer
// needs, then |final_result| forever.
class ScriptedStream : public upload::HTTPBodyStream {
 public:
  ScriptedStream(std::vector<std::string> chunks,
                 intptr_t final_result,
                 int* reads)
      : chunks_(chunks.begin(), chunks.end()),
        final_result_(final_result),
        reads_(reads) {}

  intptr_t GetBytesBuffer(uint8_t* buffer, size_t max_len) override {
    ++*reads_;
    if (chunks_.empty())
      return final_result_;
    std::string& chunk = chunks_.front();
    const size_t count = std::min(max_len, chunk.size());
    std::copy_n(chunk.begin(), count, buffer);
    chunk.erase(0, count);
    if (chunk.empty())
      chunks_.pop_front();
    return static_cast<intptr_t>(count);
  }

 private:
  std::deque<std::string> chunks_;
  const intptr_t final_result_;
  int* const reads_;
};

std::optional<std::string> Gunzip(const std::string& gzip) {
  z_stream stream = {};
  if (inflateInit2(&stream, MAX_WBITS + 16) != Z_OK)
    return std::nullopt;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(gzip.data()));
  stream.avail_in = static_cast<uInt>(gzip.size());
  std::string out;
  int result = Z_OK;
  while (result == Z_OK) {
    char buffer[4096];
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof(buffer);
    result = inflate(&stream, Z_NO_FLUSH);
    out.append(buffer, sizeof(buffer) - stream.avail_out);
  }
  const bool whole = result == Z_STREAM_END && stream.avail_in == 0;
  inflateEnd(&stream);
  return whole ? std::optional<std::string>(out) : std::nullopt;
}

class GzipStreamTest : public testing::Test {
 protected:
  std::unique_ptr<GzipStream> MakeStream(std::vector<std::string> chunks,
                                         intptr_t final_result = 0) {
    auto stream = std::make_unique<GzipStream>(std::make_unique<ScriptedStream>(
        std::move(chunks), final_result, &source_reads_));
    EXPECT_TRUE(stream->Init());
    return stream;
  }

  // Reads until the end with buffers of |size|; the error when one comes.
  static intptr_t Drain(GzipStream* stream, size_t size, std::string* out) {
    std::vector<uint8_t> buffer(size);
    while (true) {
      const intptr_t read = stream->GetBytesBuffer(buffer.data(), size);
      if (read <= 0)
        return read;
      EXPECT_LE(static_cast<size_t>(read), size);
      out->append(buffer.begin(), buffer.begin() + read);
    }
  }

  int source_reads_ = 0;
};

TEST_F(GzipStreamTest, RoundTripsWithTinyAndLargeOutputBuffers) {
  // Several input buffers' worth, partly incompressible.
  std::string data;
  for (int i = 0; data.size() < 100000; ++i)
    data += "CrashTime=" + std::to_string(i * 2654435761u) + "\r\n";
  for (size_t size : {size_t{1}, size_t{65536}}) {
    SCOPED_TRACE(size);
    auto stream = MakeStream({data.substr(0, 40000), data.substr(40000)});
    std::string gzip;
    EXPECT_EQ(0, Drain(stream.get(), size, &gzip));
    ASSERT_GE(gzip.size(), 18u);
    EXPECT_EQ("\x1f\x8b\x08", gzip.substr(0, 3));
    EXPECT_EQ(data, Gunzip(gzip));
  }
}

TEST_F(GzipStreamTest, EmptyReadsAndTheEnd) {
  auto empty = MakeStream({});
  std::string gzip;
  EXPECT_EQ(0, Drain(empty.get(), 100, &gzip));
  EXPECT_EQ("", Gunzip(gzip));

  // A zero-sized read consumes nothing and does not end the stream.
  auto stream = MakeStream({"abc"});
  uint8_t buffer[16];
  source_reads_ = 0;
  EXPECT_EQ(0, stream->GetBytesBuffer(buffer, 0));
  EXPECT_EQ(0, source_reads_);
  gzip.clear();
  EXPECT_EQ(0, Drain(stream.get(), 7, &gzip));
  EXPECT_EQ("abc", Gunzip(gzip));
  // After the end every read gives 0 without asking the source again.
  const int reads_at_end = source_reads_;
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(0, stream->GetBytesBuffer(buffer, sizeof(buffer)));
  EXPECT_EQ(reads_at_end, source_reads_);
}

TEST_F(GzipStreamTest, SourceErrorsPassThroughUnchanged) {
  auto stream = MakeStream({std::string(50000, 'x')}, -5);
  std::string gzip;
  EXPECT_EQ(-5, Drain(stream.get(), 1024, &gzip));
}

}  // namespace
}  // namespace compression
