#include "components/upload/composite_http_body_stream.h"

#include <utility>

namespace upload {

CompositeHTTPBodyStream::CompositeHTTPBodyStream(
    std::vector<std::unique_ptr<HTTPBodyStream>> parts)
    : parts_(std::move(parts)) {}

CompositeHTTPBodyStream::~CompositeHTTPBodyStream() = default;

intptr_t CompositeHTTPBodyStream::GetBytesBuffer(uint8_t* buffer,
                                                 size_t max_len) {
  size_t filled = 0;
  while (filled < max_len && current_part_ < parts_.size()) {
    const intptr_t read = parts_[current_part_]->GetBytesBuffer(
        buffer + filled, max_len - filled);
    if (read < 0)
      return read;
    if (read == 0)
      ++current_part_;
    else
      filled += static_cast<size_t>(read);
  }
  return static_cast<intptr_t>(filled);
}

}  // namespace upload
