// The CRC-32 that 7z archives store for headers and data.

#ifndef COMPONENTS_SEVENZIP_SZ_CRC_H_
#define COMPONENTS_SEVENZIP_SZ_CRC_H_

#include <Types.h>

#include <stddef.h>

namespace sevenzip {

// Continues |crc| (0 to start) over |size| bytes.
UInt32 Crc32(UInt32 crc, const void* data, size_t size);

}  // namespace sevenzip

#endif  // COMPONENTS_SEVENZIP_SZ_CRC_H_
