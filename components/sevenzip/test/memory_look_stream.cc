#include "components/sevenzip/test/memory_look_stream.h"

#include <stdlib.h>
#include <string.h>

#include <utility>

namespace sevenzip {
namespace test {

MemoryLookStream::MemoryLookStream(std::string data, bool lookahead)
    : data_(std::move(data)) {
  seek_stream_.vtable.Read = &MemoryLookStream::Read;
  seek_stream_.vtable.Seek = &MemoryLookStream::Seek;
  seek_stream_.owner = this;
  LookToRead_CreateVTable(&look_, lookahead);
  look_.realStream = &seek_stream_.vtable;
  LookToRead_Init(&look_);
}

MemoryLookStream::~MemoryLookStream() = default;

// static
SRes MemoryLookStream::Read(void* p, void* buf, size_t* size) {
  MemoryLookStream* self = static_cast<SeekStream*>(p)->owner;
  const size_t available = self->data_.size() - self->position_;
  if (*size > available)
    *size = available;
  memcpy(buf, self->data_.data() + self->position_, *size);
  self->position_ += *size;
  return SZ_OK;
}

// static
SRes MemoryLookStream::Seek(void* p, Int64* pos, ESzSeek origin) {
  MemoryLookStream* self = static_cast<SeekStream*>(p)->owner;
  Int64 base = 0;
  if (origin == SZ_SEEK_CUR)
    base = static_cast<Int64>(self->position_);
  else if (origin == SZ_SEEK_END)
    base = static_cast<Int64>(self->data_.size());
  const Int64 target = base + *pos;
  if (target < 0 || target > static_cast<Int64>(self->data_.size()))
    return SZ_ERROR_READ;
  self->position_ = static_cast<size_t>(target);
  *pos = target;
  return SZ_OK;
}

CountingAlloc::CountingAlloc(long fail_after, size_t max_size)
    : fail_after_(fail_after), max_size_(max_size) {
  alloc_.vtable.Alloc = &CountingAlloc::Allocate;
  alloc_.vtable.Free = &CountingAlloc::Free;
  alloc_.owner = this;
}

// static
void* CountingAlloc::Allocate(void* p, size_t size) {
  CountingAlloc* self = static_cast<Alloc*>(p)->owner;
  if (size == 0 || size > self->max_size_ ||
      (self->fail_after_ >= 0 && self->allocations_ >= self->fail_after_)) {
    return nullptr;
  }
  void* address = malloc(size);
  if (address) {
    ++self->allocations_;
    ++self->outstanding_;
  }
  return address;
}

// static
void CountingAlloc::Free(void* p, void* address) {
  if (!address)
    return;
  --static_cast<Alloc*>(p)->owner->outstanding_;
  free(address);
}

}  // namespace test
}  // namespace sevenzip
