// The bytes of one packed stream of the archive, read in large pieces.
// Several of them can read the same archive in turns (the four streams of
// BCJ2): each seeks to its own position before it reads.

#ifndef COMPONENTS_SEVENZIP_PACK_STREAM_SOURCE_H_
#define COMPONENTS_SEVENZIP_PACK_STREAM_SOURCE_H_

#include "components/sevenzip/byte_source.h"

namespace sevenzip {

class PackStreamSource : public ByteSource {
 public:
  // |stream| and |alloc| must outlive this source.
  PackStreamSource(ILookInStream* stream,
                   UInt64 offset,
                   UInt64 size,
                   ISzAlloc* alloc);
  PackStreamSource(const PackStreamSource&) = delete;
  PackStreamSource& operator=(const PackStreamSource&) = delete;
  ~PackStreamSource() override;

  SRes Init();

  SRes Look(const Byte** data, size_t* size) override;
  void Skip(size_t size) override;

 private:
  ILookInStream* const stream_;
  ISzAlloc* const alloc_;
  UInt64 next_offset_;  // Where the next read starts.
  UInt64 unread_;       // Bytes of the stream not yet read.
  Byte* buffer_ = nullptr;
  size_t capacity_ = 0;
  size_t pos_ = 0;
  size_t end_ = 0;
};

}  // namespace sevenzip

#endif  // COMPONENTS_SEVENZIP_PACK_STREAM_SOURCE_H_
