#include "components/upload/string_http_body_stream.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace upload {

StringHTTPBodyStream::StringHTTPBodyStream(std::string data)
    : data_(std::move(data)) {}

StringHTTPBodyStream::~StringHTTPBodyStream() = default;

intptr_t StringHTTPBodyStream::GetBytesBuffer(uint8_t* buffer, size_t max_len) {
  const size_t count = std::min(max_len, data_.size() - position_);
  std::memcpy(buffer, data_.data() + position_, count);
  position_ += count;
  return static_cast<intptr_t>(count);
}

}  // namespace upload
