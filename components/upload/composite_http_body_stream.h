// A body made of other bodies sent one after the other, such as the parts
// of a multipart form.

#ifndef COMPONENTS_UPLOAD_COMPOSITE_HTTP_BODY_STREAM_H_
#define COMPONENTS_UPLOAD_COMPOSITE_HTTP_BODY_STREAM_H_

#include <memory>
#include <vector>

#include "components/upload/http_body_stream.h"

namespace upload {

class CompositeHTTPBodyStream : public HTTPBodyStream {
 public:
  explicit CompositeHTTPBodyStream(
      std::vector<std::unique_ptr<HTTPBodyStream>> parts);
  CompositeHTTPBodyStream(const CompositeHTTPBodyStream&) = delete;
  CompositeHTTPBodyStream& operator=(const CompositeHTTPBodyStream&) = delete;
  ~CompositeHTTPBodyStream() override;

  // Fills the buffer across part boundaries; the error of a part is
  // returned as it is.
  intptr_t GetBytesBuffer(uint8_t* buffer, size_t max_len) override;

 private:
  std::vector<std::unique_ptr<HTTPBodyStream>> parts_;
  size_t current_part_ = 0;
};

}  // namespace upload

#endif  // COMPONENTS_UPLOAD_COMPOSITE_HTTP_BODY_STREAM_H_
