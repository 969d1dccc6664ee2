#include "components/sevenzip/byte_reader.h"

namespace sevenzip {

SRes ByteReader::ReadByte(Byte* value) {
  if (pos_ == size_)
    return SZ_ERROR_ARCHIVE;
  *value = data_[pos_++];
  return SZ_OK;
}

SRes ByteReader::ReadNumber(UInt64* value) {
  Byte first;
  RINOK(ReadByte(&first));
  UInt64 low = 0;
  Byte mask = 0x80;
  for (int i = 0; i < 8; ++i) {
    if ((first & mask) == 0) {
      const UInt64 high = first & (mask - 1);
      *value = low | (high << (8 * i));
      return SZ_OK;
    }
    Byte next;
    RINOK(ReadByte(&next));
    low |= static_cast<UInt64>(next) << (8 * i);
    mask >>= 1;
  }
  *value = low;
  return SZ_OK;
}

SRes ByteReader::ReadCount(UInt64 limit, UInt32* value) {
  UInt64 number;
  RINOK(ReadNumber(&number));
  if (number > limit || number > 0x7FFFFFFF)
    return SZ_ERROR_ARCHIVE;
  *value = static_cast<UInt32>(number);
  return SZ_OK;
}

SRes ByteReader::ReadUInt32(UInt32* value) {
  if (remaining() < 4)
    return SZ_ERROR_ARCHIVE;
  const Byte* p = data_ + pos_;
  *value = p[0] | (static_cast<UInt32>(p[1]) << 8) |
           (static_cast<UInt32>(p[2]) << 16) |
           (static_cast<UInt32>(p[3]) << 24);
  pos_ += 4;
  return SZ_OK;
}

SRes ByteReader::ReadUInt64(UInt64* value) {
  UInt32 low, high;
  RINOK(ReadUInt32(&low));
  RINOK(ReadUInt32(&high));
  *value = low | (static_cast<UInt64>(high) << 32);
  return SZ_OK;
}

SRes ByteReader::Skip(UInt64 size) {
  if (size > remaining())
    return SZ_ERROR_ARCHIVE;
  pos_ += static_cast<size_t>(size);
  return SZ_OK;
}

SRes ByteReader::Split(UInt64 size, ByteReader* part) {
  if (size > remaining())
    return SZ_ERROR_ARCHIVE;
  *part = ByteReader(data_ + pos_, static_cast<size_t>(size));
  pos_ += static_cast<size_t>(size);
  return SZ_OK;
}

}  // namespace sevenzip
