#include "components/sevenzip/pack_stream_source.h"

namespace sevenzip {

namespace {

// Large enough that reading costs little per byte, small enough for four.
constexpr size_t kMaxBufferSize = 1 << 18;

}  // namespace

PackStreamSource::PackStreamSource(ILookInStream* stream,
                                   UInt64 offset,
                                   UInt64 size,
                                   ISzAlloc* alloc)
    : stream_(stream), alloc_(alloc), next_offset_(offset), unread_(size) {}

PackStreamSource::~PackStreamSource() {
  IAlloc_Free(alloc_, buffer_);
}

SRes PackStreamSource::Init() {
  capacity_ =
      unread_ < kMaxBufferSize ? static_cast<size_t>(unread_) : kMaxBufferSize;
  if (capacity_ == 0)
    return SZ_OK;
  buffer_ = static_cast<Byte*>(IAlloc_Alloc(alloc_, capacity_));
  return buffer_ ? SZ_OK : SZ_ERROR_MEM;
}

SRes PackStreamSource::Look(const Byte** data, size_t* size) {
  if (pos_ == end_ && unread_ > 0) {
    const size_t piece =
        unread_ < capacity_ ? static_cast<size_t>(unread_) : capacity_;
    RINOK(LookInStream_SeekTo(stream_, next_offset_));
    RINOK(LookInStream_Read(stream_, buffer_, piece));
    next_offset_ += piece;
    unread_ -= piece;
    pos_ = 0;
    end_ = piece;
  }
  *data = buffer_ + pos_;
  *size = end_ - pos_;
  return SZ_OK;
}

void PackStreamSource::Skip(size_t size) {
  pos_ += size;
}

}  // namespace sevenzip
