#include "components/sevenzip/byte_source.h"

namespace sevenzip {

SRes ReadSourceByte(ByteSource* source, Byte* value) {
  const Byte* data;
  size_t size;
  RINOK(source->Look(&data, &size));
  if (size == 0)
    return SZ_ERROR_DATA;
  *value = data[0];
  source->Skip(1);
  return SZ_OK;
}

}  // namespace sevenzip
