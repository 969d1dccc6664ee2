#include "components/sevenzip/lzma_window_source.h"

namespace sevenzip {

namespace {

// Decoding in steps keeps the bytes handed out warm in the processor's
// cache until they are written.
constexpr UInt64 kStepSize = 1 << 20;

UInt64 Min(UInt64 a, UInt64 b) {
  return a < b ? a : b;
}

}  // namespace

LzmaWindowSource::LzmaWindowSource(ByteSource* input,
                                   UInt64 out_size,
                                   ISzAlloc* alloc_main,
                                   ISzAlloc* alloc_temp)
    : input_(input),
      alloc_main_(alloc_main),
      alloc_temp_(alloc_temp),
      out_remaining_(out_size) {
  LzmaDec_Construct(&decoder_);
}

LzmaWindowSource::~LzmaWindowSource() {
  LzmaDec_FreeProbs(&decoder_, alloc_temp_);
  IAlloc_Free(alloc_main_, decoder_.dic);
}

SRes LzmaWindowSource::AllocateWindow(UInt64 dict_size, const Byte* props) {
  UInt64 window = Min(dict_size, out_remaining_);
  if (window == 0)
    window = 1;
  if (window > kMaxWindowSize)
    return SZ_ERROR_UNSUPPORTED;
  RINOK(LzmaDec_AllocateProbs(&decoder_, props, LZMA_PROPS_SIZE, alloc_temp_));
  decoder_.dic = static_cast<Byte*>(
      IAlloc_Alloc(alloc_main_, static_cast<size_t>(window)));
  if (!decoder_.dic)
    return SZ_ERROR_MEM;
  decoder_.dicBufSize = static_cast<SizeT>(window);
  // Distances are checked against the dictionary size: with the window's
  // size there, every match stays inside the window.
  decoder_.prop.dicSize = static_cast<UInt32>(window);
  LzmaDec_Init(&decoder_);
  return SZ_OK;
}

SRes LzmaWindowSource::Look(const Byte** data, size_t* size) {
  if (delivered_ == decoder_.dicPos && out_remaining_ > 0) {
    if (decoder_.dicPos == decoder_.dicBufSize)
      decoder_.dicPos = delivered_ = 0;
    const SizeT before = decoder_.dicPos;
    const UInt64 room = decoder_.dicBufSize - before;
    RINOK(DecodeTo(before + static_cast<SizeT>(
                                Min(Min(room, out_remaining_), kStepSize))));
    out_remaining_ -= decoder_.dicPos - before;
  }
  *data = decoder_.dic + delivered_;
  *size = decoder_.dicPos - delivered_;
  return SZ_OK;
}

void LzmaWindowSource::Skip(size_t size) {
  delivered_ += size;
}

}  // namespace sevenzip
