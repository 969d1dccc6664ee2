#include "components/sevenzip/lzma2_source.h"

#include <string.h>

// LzmaDec.c defines it; its header does not declare it.
extern "C" void LzmaDec_InitDicAndState(CLzmaDec* p,
                                        Bool init_dic,
                                        Bool init_state);

namespace sevenzip {

namespace {

// Properties with the most literal context bits LZMA2 allows (lc + lp = 4),
// so that the probabilities fit every chunk's properties.
constexpr Byte kLargestLiteralProps[LZMA_PROPS_SIZE] = {4, 0, 0, 0, 0};

SizeT MinSize(SizeT a, UInt64 b) {
  return a < b ? a : static_cast<SizeT>(b);
}

}  // namespace

Lzma2Source::Lzma2Source(ByteSource* input,
                         UInt64 out_size,
                         ISzAlloc* alloc_main,
                         ISzAlloc* alloc_temp)
    : LzmaWindowSource(input, out_size, alloc_main, alloc_temp) {}

Lzma2Source::~Lzma2Source() = default;

SRes Lzma2Source::Init(Byte dict_prop) {
  if (dict_prop > 40)
    return SZ_ERROR_UNSUPPORTED;
  const UInt64 dict_size = dict_prop == 40 ? 0xFFFFFFFF
                                           : UInt64{2u | (dict_prop & 1u)}
                                                 << (dict_prop / 2 + 11);
  return AllocateWindow(dict_size, kLargestLiteralProps);
}

SRes Lzma2Source::DecodeTo(SizeT limit) {
  CLzmaDec* decoder = this->decoder();
  for (;;) {
    if (state_ == State::kData) {
      if (chunk_unpacked_ == 0) {
        // An LZMA chunk must use exactly its packed bytes.
        if (chunk_packed_ != 0)
          return SZ_ERROR_DATA;
        state_ = State::kControl;
        continue;
      }
      const SizeT before = decoder->dicPos;
      RINOK(lzma_chunk_ ? DecodeLzma(limit) : CopyStored(limit));
      if (decoder->dicPos != before)
        return SZ_OK;
      continue;
    }
    // The end mark came before the coder's output size.
    if (state_ == State::kEnd)
      return SZ_ERROR_DATA;
    Byte b;
    RINOK(ReadSourceByte(input(), &b));
    RINOK(ReadHeaderByte(b));
  }
}

SRes Lzma2Source::ReadHeaderByte(Byte b) {
  switch (state_) {
    case State::kControl:
      return ReadControl(b);
    case State::kUnpacked1:
      chunk_unpacked_ |= static_cast<UInt32>(b) << 8;
      state_ = State::kUnpacked2;
      return SZ_OK;
    case State::kUnpacked2:
      chunk_unpacked_ |= b;
      chunk_unpacked_ += 1;
      state_ = lzma_chunk_ ? State::kPacked1 : State::kData;
      if (!lzma_chunk_)
        StartChunk();
      return SZ_OK;
    case State::kPacked1:
      chunk_packed_ = static_cast<UInt32>(b) << 8;
      state_ = State::kPacked2;
      return SZ_OK;
    case State::kPacked2:
      chunk_packed_ |= b;
      chunk_packed_ += 1;
      if (control_ >= 0xC0) {
        state_ = State::kProps;
        return SZ_OK;
      }
      state_ = State::kData;
      StartChunk();
      return SZ_OK;
    case State::kProps:
      RINOK(SetLiteralProps(b));
      state_ = State::kData;
      StartChunk();
      return SZ_OK;
    case State::kData:
    case State::kEnd:
      break;
  }
  return SZ_ERROR_DATA;
}

SRes Lzma2Source::ReadControl(Byte control) {
  control_ = control;
  chunk_unpacked_ = 0;
  chunk_packed_ = 0;
  if (control == 0) {
    state_ = State::kEnd;
    return SZ_OK;
  }
  if (control == 1 || control == 2) {
    // Stored data; 1 resets the dictionary, 2 needs one reset before.
    if (control == 1)
      next_lzma_minimum_ = 0xC0;
    else if (next_lzma_minimum_ == 0xE0)
      return SZ_ERROR_DATA;
    lzma_chunk_ = false;
    state_ = State::kUnpacked1;
    return SZ_OK;
  }
  if (control < 0x80 || control < next_lzma_minimum_)
    return SZ_ERROR_DATA;
  next_lzma_minimum_ = 0;
  lzma_chunk_ = true;
  chunk_unpacked_ = static_cast<UInt32>(control & 0x1F) << 16;
  state_ = State::kUnpacked1;
  return SZ_OK;
}

SRes Lzma2Source::SetLiteralProps(Byte props) {
  if (props >= 9 * 5 * 5)
    return SZ_ERROR_DATA;
  const unsigned lc = props % 9;
  const unsigned lp = (props / 9) % 5;
  const unsigned pb = props / 45;
  if (lc + lp > 4)
    return SZ_ERROR_DATA;
  CLzmaDec* decoder = this->decoder();
  decoder->prop.lc = lc;
  decoder->prop.lp = lp;
  decoder->prop.pb = pb;
  return SZ_OK;
}

void Lzma2Source::StartChunk() {
  if (!lzma_chunk_) {
    LzmaDec_InitDicAndState(decoder(), control_ == 1, False);
    return;
  }
  // Bits 5 and 6: 0 keeps the state, 1 resets it, 2 also sets new
  // properties and 3 also resets the dictionary.
  const unsigned reset = (control_ >> 5) & 3;
  LzmaDec_InitDicAndState(decoder(), reset == 3, reset > 0);
}

SRes Lzma2Source::CopyStored(SizeT limit) {
  CLzmaDec* decoder = this->decoder();
  const Byte* data;
  size_t size;
  RINOK(input()->Look(&data, &size));
  if (size == 0)
    return SZ_ERROR_DATA;
  SizeT count = MinSize(limit - decoder->dicPos, chunk_unpacked_);
  count = MinSize(count, size);
  memcpy(decoder->dic + decoder->dicPos, data, count);
  // What LzmaDec would have done for bytes it decoded itself: later
  // matches may reach into them.
  if (decoder->checkDicSize == 0 &&
      decoder->prop.dicSize - decoder->processedPos <= count) {
    decoder->checkDicSize = decoder->prop.dicSize;
  }
  decoder->processedPos += static_cast<UInt32>(count);
  decoder->dicPos += count;
  chunk_unpacked_ -= static_cast<UInt32>(count);
  input()->Skip(count);
  return SZ_OK;
}

SRes Lzma2Source::DecodeLzma(SizeT limit) {
  CLzmaDec* decoder = this->decoder();
  const Byte* data;
  size_t size;
  RINOK(input()->Look(&data, &size));
  SizeT consumed = MinSize(size, chunk_packed_);
  const SizeT before = decoder->dicPos;
  const SizeT chunk_limit = before + MinSize(limit - before, chunk_unpacked_);
  // Where the chunk ends, the range coder must end with it.
  const ELzmaFinishMode finish = chunk_limit - before == chunk_unpacked_
                                     ? LZMA_FINISH_END
                                     : LZMA_FINISH_ANY;
  ELzmaStatus status;
  const SRes res = LzmaDec_DecodeToDic(decoder, chunk_limit, data, &consumed,
                                       finish, &status);
  input()->Skip(consumed);
  chunk_packed_ -= static_cast<UInt32>(consumed);
  chunk_unpacked_ -= static_cast<UInt32>(decoder->dicPos - before);
  if (res != SZ_OK)
    return SZ_ERROR_DATA;
  if (decoder->dicPos == before && consumed == 0)
    return SZ_ERROR_DATA;
  return SZ_OK;
}

}  // namespace sevenzip
