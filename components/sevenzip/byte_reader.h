// A cursor over the bytes of a 7z header. Header values come from an
// untrusted archive, so no read goes past the end: it fails with
// SZ_ERROR_ARCHIVE instead.

#ifndef COMPONENTS_SEVENZIP_BYTE_READER_H_
#define COMPONENTS_SEVENZIP_BYTE_READER_H_

#include <Types.h>

#include <stddef.h>

namespace sevenzip {

class ByteReader {
 public:
  ByteReader() = default;
  ByteReader(const Byte* data, size_t size) : data_(data), size_(size) {}

  size_t remaining() const { return size_ - pos_; }
  const Byte* current() const { return data_ + pos_; }

  SRes ReadByte(Byte* value);
  // The 7z variable-length number: the leading one bits of the first byte
  // count the little-endian bytes that follow.
  SRes ReadNumber(UInt64* value);
  // A number used as a count or index, which must not exceed |limit|.
  SRes ReadCount(UInt64 limit, UInt32* value);
  SRes ReadUInt32(UInt32* value);
  SRes ReadUInt64(UInt64* value);
  SRes Skip(UInt64 size);
  // Hands the next |size| bytes to |part| and steps over them.
  SRes Split(UInt64 size, ByteReader* part);

 private:
  const Byte* data_ = nullptr;
  size_t size_ = 0;
  size_t pos_ = 0;
};

}  // namespace sevenzip

#endif  // COMPONENTS_SEVENZIP_BYTE_READER_H_
