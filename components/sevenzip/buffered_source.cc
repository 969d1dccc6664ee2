#include "components/sevenzip/buffered_source.h"

namespace sevenzip {

BufferedSource::BufferedSource(ISzAlloc* alloc) : alloc_(alloc) {}

BufferedSource::~BufferedSource() {
  IAlloc_Free(alloc_, buffer_);
}

SRes BufferedSource::Init() {
  buffer_ = static_cast<Byte*>(IAlloc_Alloc(alloc_, kBufferSize));
  return buffer_ ? SZ_OK : SZ_ERROR_MEM;
}

SRes BufferedSource::Look(const Byte** data, size_t* size) {
  if (delivered_ == ready_)
    RINOK(Refill());
  *data = buffer_ + delivered_;
  *size = ready_ - delivered_;
  return SZ_OK;
}

void BufferedSource::Skip(size_t size) {
  delivered_ += size;
}

void BufferedSource::Restart(size_t ready) {
  delivered_ = 0;
  ready_ = ready;
}

}  // namespace sevenzip
