// The body of an HTTP request, produced piece by piece, so that a body can
// be assembled from texts and files and compressed on its way out without
// being copied first.

#ifndef COMPONENTS_UPLOAD_HTTP_BODY_STREAM_H_
#define COMPONENTS_UPLOAD_HTTP_BODY_STREAM_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace upload {

class HTTPBodyStream {
 public:
  virtual ~HTTPBodyStream() = default;

  // Copies the next bytes of the body, at most |max_len|, into |buffer|.
  // Returns the number copied, 0 once the body has ended (and at every
  // later call), or a negative number on an error, after which the stream
  // is of no further use. With |max_len| 0 nothing is copied and 0 is
  // returned.
  virtual intptr_t GetBytesBuffer(uint8_t* buffer, size_t max_len) = 0;
};

// Reads the rest of |stream| into |body|. False on a read error, or when
// the body would exceed |max_size| bytes: the clients send a body with its
// length, so they hold it whole in memory first.
bool ReadWholeBody(HTTPBodyStream* stream, size_t max_size, std::string* body);

}  // namespace upload

#endif  // COMPONENTS_UPLOAD_HTTP_BODY_STREAM_H_
