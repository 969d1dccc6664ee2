// Compresses another request body into gzip form (header and trailer
// included) while it is sent: the collector takes minidump uploads with
// "Content-Encoding: gzip".
//
//   auto gzip = std::make_unique<compression::GzipStream>(std::move(body));
//   if (!gzip->Init())
//     return false;

#ifndef COMPONENTS_COMPRESSION_GZIP_STREAM_H_
#define COMPONENTS_COMPRESSION_GZIP_STREAM_H_

#include <zlib.h>

#include <memory>

#include "components/upload/http_body_stream.h"

namespace compression {

class GzipStream : public upload::HTTPBodyStream {
 public:
  explicit GzipStream(std::unique_ptr<upload::HTTPBodyStream> source);
  GzipStream(const GzipStream&) = delete;
  GzipStream& operator=(const GzipStream&) = delete;
  ~GzipStream() override;

  // Starts deflate at level 9. Until it has succeeded the stream is empty.
  bool Init();

  // The error of the source is passed on unchanged; a failure of deflate
  // gives -1.
  intptr_t GetBytesBuffer(uint8_t* buffer, size_t max_len) override;

 private:
  enum class FlushMode { kNone, kFinish };

  // Refills the input from the source; returns the source's result.
  intptr_t ReadSource();

  std::unique_ptr<uint8_t[]> input_;
  std::unique_ptr<upload::HTTPBodyStream> source_;
  z_stream zlib_stream_ = {};
  FlushMode flush_mode_ = FlushMode::kNone;
  // From a successful Init until the end of the compressed stream.
  bool initialized_ = false;
};

}  // namespace compression

#endif  // COMPONENTS_COMPRESSION_GZIP_STREAM_H_
