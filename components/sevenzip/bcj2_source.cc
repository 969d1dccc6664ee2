#include "components/sevenzip/bcj2_source.h"

namespace sevenzip {

namespace {

constexpr UInt32 kTopValue = 1u << 24;
constexpr unsigned kNumBitModelTotalBits = 11;
constexpr UInt16 kBitModelTotal = 1 << kNumBitModelTotalBits;
constexpr unsigned kNumMoveBits = 5;

// CALL (E8), JMP (E9) and the two-byte conditional jumps (0F 80..8F).
bool IsBranch(Byte previous, Byte b) {
  return (b & 0xFE) == 0xE8 || (previous == 0x0F && (b & 0xF0) == 0x80);
}

}  // namespace

Bcj2Source::Bcj2Source(ByteSource* main,
                       ByteSource* call,
                       ByteSource* jump,
                       ByteSource* range_coder,
                       UInt64 out_size,
                       ISzAlloc* alloc)
    : BufferedSource(alloc),
      main_(main),
      call_(call),
      jump_(jump),
      range_coder_(range_coder),
      out_remaining_(out_size) {
  for (UInt16& prob : probs_)
    prob = kBitModelTotal >> 1;
}

Bcj2Source::~Bcj2Source() = default;

SRes Bcj2Source::Refill() {
  if (out_remaining_ == 0)
    return SZ_OK;
  filled_ = 0;
  if (!range_started_) {
    // The range coder starts with five bytes of code.
    for (int i = 0; i < 5; ++i) {
      Byte b;
      RINOK(ReadSourceByte(range_coder_, &b));
      code_ = (code_ << 8) | b;
    }
    range_started_ = true;
  }
  // A restored target needs four bytes of room after its opcode.
  while (out_remaining_ > 0 && filled_ + 5 <= kBufferSize) {
    int opcode;
    RINOK(CopyCode(&opcode));
    if (opcode >= 0 && out_remaining_ > 0)
      RINOK(RestoreTarget(static_cast<Byte>(opcode)));
  }
  Restart(filled_);
  return SZ_OK;
}

SRes Bcj2Source::CopyCode(int* opcode) {
  *opcode = -1;
  const Byte* data;
  size_t size;
  RINOK(main_->Look(&data, &size));
  if (size == 0)
    return SZ_ERROR_DATA;
  size_t limit = kBufferSize - 4 - filled_;
  if (limit > size)
    limit = size;
  if (limit > out_remaining_)
    limit = static_cast<size_t>(out_remaining_);
  size_t i = 0;
  Byte previous = prev_byte_;
  while (i < limit) {
    const Byte b = data[i++];
    buffer()[filled_++] = b;
    if (IsBranch(previous, b)) {
      *opcode = b;
      break;
    }
    previous = b;
  }
  // The opcode's own probability is chosen by the byte before it, so it
  // becomes the previous byte only once its bit is known.
  prev_byte_ = previous;
  main_->Skip(i);
  out_remaining_ -= i;
  out_position_ += i;
  return SZ_OK;
}

SRes Bcj2Source::RestoreTarget(Byte opcode) {
  UInt16* prob = opcode == 0xE8   ? &probs_[prev_byte_]
                 : opcode == 0xE9 ? &probs_[256]
                                  : &probs_[257];
  bool converted;
  RINOK(DecodeBit(prob, &converted));
  if (!converted) {
    prev_byte_ = opcode;
    return SZ_OK;
  }
  ByteSource* targets = opcode == 0xE8 ? call_ : jump_;
  UInt32 absolute = 0;
  for (int i = 0; i < 4; ++i) {
    Byte b;
    RINOK(ReadSourceByte(targets, &b));
    absolute = (absolute << 8) | b;
  }
  // Relative to the end of the instruction.
  const UInt32 relative = absolute - static_cast<UInt32>(out_position_ + 4);
  for (int i = 0; i < 4 && out_remaining_ > 0; ++i) {
    buffer()[filled_++] = static_cast<Byte>(relative >> (8 * i));
    --out_remaining_;
    ++out_position_;
  }
  prev_byte_ = static_cast<Byte>(relative >> 24);
  return SZ_OK;
}

SRes Bcj2Source::DecodeBit(UInt16* prob, bool* bit) {
  if (range_ < kTopValue) {
    Byte b;
    RINOK(ReadSourceByte(range_coder_, &b));
    range_ <<= 8;
    code_ = (code_ << 8) | b;
  }
  const UInt32 bound = (range_ >> kNumBitModelTotalBits) * *prob;
  if (code_ < bound) {
    range_ = bound;
    *prob =
        static_cast<UInt16>(*prob + ((kBitModelTotal - *prob) >> kNumMoveBits));
    *bit = false;
  } else {
    range_ -= bound;
    code_ -= bound;
    *prob = static_cast<UInt16>(*prob - (*prob >> kNumMoveBits));
    *bit = true;
  }
  return SZ_OK;
}

}  // namespace sevenzip
