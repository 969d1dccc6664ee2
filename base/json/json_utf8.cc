#include "base/json/json_utf8.h"

namespace base {
namespace internal {

bool ReadUTF8CodePoint(StringPiece text, size_t* index, uint32_t* code_point) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  size_t i = *index;
  unsigned char lead = bytes[i];
  *index = i + 1;
  if (lead < 0x80) {
    *code_point = lead;
    return true;
  }
  size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0)
      low = 0xA0;  // Overlong below U+0800.
    else if (lead == 0xED)
      high = 0x9F;  // Surrogates.
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0)
      low = 0x90;  // Overlong below U+10000.
    else if (lead == 0xF4)
      high = 0x8F;  // Above U+10FFFF.
  } else {
    return false;
  }
  if (i + length > text.size() || bytes[i + 1] < low || bytes[i + 1] > high)
    return false;
  uint32_t value = lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    if ((bytes[i + k] & 0xC0) != 0x80)
      return false;
    value = (value << 6) | (bytes[i + k] & 0x3F);
  }
  *code_point = value;
  *index = i + length;
  return true;
}

}  // namespace internal
}  // namespace base
