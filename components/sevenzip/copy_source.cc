#include "components/sevenzip/copy_source.h"

namespace sevenzip {

CopySource::CopySource(ByteSource* input, UInt64 size)
    : input_(input), remaining_(size) {}

CopySource::~CopySource() = default;

SRes CopySource::Look(const Byte** data, size_t* size) {
  *size = 0;
  if (remaining_ == 0)
    return SZ_OK;
  RINOK(input_->Look(data, size));
  if (*size == 0)
    return SZ_ERROR_DATA;
  if (*size > remaining_)
    *size = static_cast<size_t>(remaining_);
  return SZ_OK;
}

void CopySource::Skip(size_t size) {
  remaining_ -= size;
  input_->Skip(size);
}

}  // namespace sevenzip
