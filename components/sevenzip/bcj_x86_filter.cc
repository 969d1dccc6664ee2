#include "components/sevenzip/bcj_x86_filter.h"

namespace sevenzip {

namespace {

// An address's top byte is 00 or FF in code near the image: only those
// were converted.
bool IsAddressTopByte(Byte b) {
  return b == 0 || b == 0xFF;
}

// Indexed by the three bits of the mask that tell which of the previous
// three bytes were E8/E9 opcodes: whether this one may have been converted,
// and which byte of the address decides a second pass.
constexpr bool kMaskAllowed[8] = {true, true,  true,  false,
                                  true, false, false, false};
constexpr UInt32 kMaskToByte[8] = {0, 1, 2, 2, 3, 3, 3, 3};

}  // namespace

size_t BcjX86Filter::Convert(Byte* data, size_t size) {
  if (size < 5)
    return 0;
  if (position_ - prev_position_ > 5)
    prev_position_ = position_ - 5;
  const size_t limit = size - 5;
  size_t i = 0;
  while (i <= limit) {
    const Byte opcode = data[i];
    if (opcode != 0xE8 && opcode != 0xE9) {
      ++i;
      continue;
    }
    const UInt32 here = position_ + static_cast<UInt32>(i);
    const UInt32 distance = here - prev_position_;
    prev_position_ = here;
    if (distance > 5) {
      prev_mask_ = 0;
    } else {
      for (UInt32 k = 0; k < distance; ++k) {
        prev_mask_ &= 0x77;
        prev_mask_ <<= 1;
      }
    }

    Byte top = data[i + 4];
    if (!IsAddressTopByte(top) || !kMaskAllowed[(prev_mask_ >> 1) & 7] ||
        (prev_mask_ >> 1) >= 0x10) {
      ++i;
      prev_mask_ |= 1;
      if (IsAddressTopByte(top))
        prev_mask_ |= 0x10;
      continue;
    }

    UInt32 source = (static_cast<UInt32>(top) << 24) |
                    (static_cast<UInt32>(data[i + 3]) << 16) |
                    (static_cast<UInt32>(data[i + 2]) << 8) | data[i + 1];
    UInt32 target;
    for (;;) {
      target = source - (here + 5);
      if (prev_mask_ == 0)
        break;
      const UInt32 byte_index = kMaskToByte[prev_mask_ >> 1];
      top = static_cast<Byte>(target >> (24 - byte_index * 8));
      if (!IsAddressTopByte(top))
        break;
      source = target ^ ((UInt32{1} << (32 - byte_index * 8)) - 1);
    }
    // Bit 24 of the target is spread over the whole top byte again.
    data[i + 4] = static_cast<Byte>(~(((target >> 24) & 1) - 1));
    data[i + 3] = static_cast<Byte>(target >> 16);
    data[i + 2] = static_cast<Byte>(target >> 8);
    data[i + 1] = static_cast<Byte>(target);
    i += 5;
    prev_mask_ = 0;
  }
  position_ += static_cast<UInt32>(i);
  return i;
}

}  // namespace sevenzip
