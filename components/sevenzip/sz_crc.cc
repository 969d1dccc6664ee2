#include "components/sevenzip/sz_crc.h"

#include <zlib.h>

namespace sevenzip {

UInt32 Crc32(UInt32 crc, const void* data, size_t size) {
  // zlib counts in 32 bits.
  constexpr size_t kMaxPiece = 1u << 30;
  const Byte* bytes = static_cast<const Byte*>(data);
  while (size > 0) {
    const size_t piece = size < kMaxPiece ? size : kMaxPiece;
    crc = static_cast<UInt32>(crc32(crc, bytes, static_cast<uInt>(piece)));
    bytes += piece;
    size -= piece;
  }
  return crc;
}

}  // namespace sevenzip
