#include "components/sevenzip/lzma_source.h"

namespace sevenzip {

LzmaSource::LzmaSource(ByteSource* input,
                       UInt64 out_size,
                       ISzAlloc* alloc_main,
                       ISzAlloc* alloc_temp)
    : LzmaWindowSource(input, out_size, alloc_main, alloc_temp) {}

LzmaSource::~LzmaSource() = default;

SRes LzmaSource::Init(const Byte* props) {
  CLzmaProps decoded;
  RINOK(LzmaProps_Decode(&decoded, props, LZMA_PROPS_SIZE));
  return AllocateWindow(decoded.dicSize, props);
}

SRes LzmaSource::DecodeTo(SizeT limit) {
  CLzmaDec* decoder = this->decoder();
  for (;;) {
    const Byte* data;
    size_t size;
    RINOK(input()->Look(&data, &size));
    SizeT consumed = size;
    const SizeT before = decoder->dicPos;
    ELzmaStatus status;
    const SRes res = LzmaDec_DecodeToDic(decoder, limit, data, &consumed,
                                         LZMA_FINISH_ANY, &status);
    input()->Skip(consumed);
    if (res != SZ_OK)
      return SZ_ERROR_DATA;
    if (decoder->dicPos != before)
      return SZ_OK;
    // Without output: an end marker before the output size, or input that
    // ended (or, defensively, a call that made no progress at all).
    if (status == LZMA_STATUS_FINISHED_WITH_MARK || size == 0 ||
        consumed == 0) {
      return SZ_ERROR_DATA;
    }
  }
}

}  // namespace sevenzip
