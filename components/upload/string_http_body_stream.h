// A body held in memory: a text field or a fixed part of a multipart body.

#ifndef COMPONENTS_UPLOAD_STRING_HTTP_BODY_STREAM_H_
#define COMPONENTS_UPLOAD_STRING_HTTP_BODY_STREAM_H_

#include <string>

#include "components/upload/http_body_stream.h"

namespace upload {

class StringHTTPBodyStream : public HTTPBodyStream {
 public:
  explicit StringHTTPBodyStream(std::string data);
  StringHTTPBodyStream(const StringHTTPBodyStream&) = delete;
  StringHTTPBodyStream& operator=(const StringHTTPBodyStream&) = delete;
  ~StringHTTPBodyStream() override;

  intptr_t GetBytesBuffer(uint8_t* buffer, size_t max_len) override;

 private:
  const std::string data_;
  size_t position_ = 0;
};

}  // namespace upload

#endif  // COMPONENTS_UPLOAD_STRING_HTTP_BODY_STREAM_H_
