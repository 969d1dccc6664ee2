#include "components/sevenzip/bcj_x86_source.h"

#include <string.h>

namespace sevenzip {

BcjX86Source::BcjX86Source(ByteSource* input, UInt64 out_size, ISzAlloc* alloc)
    : BufferedSource(alloc), input_(input), out_remaining_(out_size) {}

BcjX86Source::~BcjX86Source() = default;

SRes BcjX86Source::Refill() {
  if (out_remaining_ == 0)
    return SZ_OK;
  // The unconverted tail moves to the front.
  Byte* buffer = this->buffer();
  const size_t tail = filled_ - ready();
  memmove(buffer, buffer + ready(), tail);
  filled_ = tail;

  bool input_ended = false;
  while (filled_ < kBufferSize && filled_ < out_remaining_) {
    const Byte* data;
    size_t size;
    RINOK(input_->Look(&data, &size));
    if (size == 0) {
      input_ended = true;
      break;
    }
    size_t count = kBufferSize - filled_;
    if (count > size)
      count = size;
    if (count > out_remaining_ - filled_)
      count = static_cast<size_t>(out_remaining_ - filled_);
    memcpy(buffer + filled_, data, count);
    filled_ += count;
    input_->Skip(count);
  }
  // The input must be exactly as long as the output.
  if (input_ended && filled_ < out_remaining_)
    return SZ_ERROR_DATA;

  size_t converted = filter_.Convert(buffer, filled_);
  if (filled_ == out_remaining_)
    converted = filled_;
  out_remaining_ -= converted;
  Restart(converted);
  return SZ_OK;
}

}  // namespace sevenzip
