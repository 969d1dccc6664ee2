#include "components/upload/http_body_stream.h"

#include <algorithm>

#include "base/logging.h"

namespace upload {

bool ReadWholeBody(HTTPBodyStream* stream, size_t max_size, std::string* body) {
  constexpr size_t kReadSize = 64 * 1024;
  body->clear();
  while (true) {
    // One byte more than allowed tells a body of exactly |max_size| from a
    // larger one.
    const size_t room = max_size + 1 - body->size();
    const size_t offset = body->size();
    body->resize(offset + std::min(kReadSize, room));
    const intptr_t read = stream->GetBytesBuffer(
        reinterpret_cast<uint8_t*>(body->data() + offset),
        body->size() - offset);
    if (read < 0) {
      LOG(ERROR) << "The request body failed after " << offset << " bytes";
      return false;
    }
    body->resize(offset + static_cast<size_t>(read));
    if (read == 0)
      return true;
    if (body->size() > max_size) {
      LOG(ERROR) << "The request body exceeds " << max_size << " bytes";
      return false;
    }
  }
}

}  // namespace upload
