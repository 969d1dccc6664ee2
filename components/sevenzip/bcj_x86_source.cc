#include "components/sevenzip/bcj_x86_source.h"

#include <string.h>

namespace sevenzip {

namespace {

constexpr size_t kBufferSize = 1 << 16;

}  // namespace

BcjX86Source::BcjX86Source(ByteSource* input, UInt64 out_size, ISzAlloc* alloc)
    : input_(input), alloc_(alloc), out_remaining_(out_size) {}

BcjX86Source::~BcjX86Source() {
  IAlloc_Free(alloc_, buffer_);
}

SRes BcjX86Source::Init() {
  buffer_ = static_cast<Byte*>(IAlloc_Alloc(alloc_, kBufferSize));
  return buffer_ ? SZ_OK : SZ_ERROR_MEM;
}

SRes BcjX86Source::Look(const Byte** data, size_t* size) {
  if (delivered_ == converted_ && out_remaining_ > 0)
    RINOK(Refill());
  *data = buffer_ + delivered_;
  *size = converted_ - delivered_;
  return SZ_OK;
}

void BcjX86Source::Skip(size_t size) {
  delivered_ += size;
}

SRes BcjX86Source::Refill() {
  // The unconverted tail moves to the front.
  const size_t tail = filled_ - converted_;
  memmove(buffer_, buffer_ + converted_, tail);
  filled_ = tail;
  delivered_ = converted_ = 0;

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
    memcpy(buffer_ + filled_, data, count);
    filled_ += count;
    input_->Skip(count);
  }
  // The input must be exactly as long as the output.
  if (input_ended && filled_ < out_remaining_)
    return SZ_ERROR_DATA;

  converted_ = filter_.Convert(buffer_, filled_);
  if (filled_ == out_remaining_)
    converted_ = filled_;
  out_remaining_ -= converted_;
  return SZ_OK;
}

}  // namespace sevenzip
