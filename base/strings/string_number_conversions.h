// Number <-> text conversions that do not depend on the locale.
//
// The String*To* parsers are strict: the whole text must be the number. On
// failure they return false but still write their best effort, as callers
// written for this library expect:
//   - leading whitespace fails, the number after it is written;
//   - trailing characters fail, the number before them is written;
//   - overflow fails and writes the type's maximum (minimum for negatives);
//   - text without digits ("", "-", "0x") fails and writes 0.
// Signed parsers accept one leading '+' or '-'; unsigned parsers accept no
// sign at all and write 0 when one is present.

#ifndef BASE_STRINGS_STRING_NUMBER_CONVERSIONS_H_
#define BASE_STRINGS_STRING_NUMBER_CONVERSIONS_H_

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "base/strings/string16.h"

namespace base {

std::string NumberToString(int value);
std::string NumberToString(unsigned value);
std::string NumberToString(long value);
std::string NumberToString(unsigned long value);
std::string NumberToString(long long value);
std::string NumberToString(unsigned long long value);
// The shortest text that reads back as the same double ("0.1", "1e+300").
std::string NumberToString(double value);
string16 NumberToString16(int value);
string16 NumberToString16(unsigned value);
string16 NumberToString16(long value);
string16 NumberToString16(unsigned long value);
string16 NumberToString16(long long value);
string16 NumberToString16(unsigned long long value);
string16 NumberToString16(double value);

inline std::string IntToString(int value) {
  return NumberToString(value);
}
inline string16 IntToString16(int value) {
  return NumberToString16(value);
}
inline std::string UintToString(unsigned value) {
  return NumberToString(value);
}
inline string16 UintToString16(unsigned value) {
  return NumberToString16(value);
}
inline std::string Int64ToString(int64_t value) {
  return NumberToString(value);
}
inline string16 Int64ToString16(int64_t value) {
  return NumberToString16(value);
}
inline std::string Uint64ToString(uint64_t value) {
  return NumberToString(value);
}
inline string16 Uint64ToString16(uint64_t value) {
  return NumberToString16(value);
}
inline std::string SizeTToString(size_t value) {
  return NumberToString(value);
}
inline std::string DoubleToString(double value) {
  return NumberToString(value);
}

bool StringToInt(StringPiece input, int* output);
bool StringToInt(StringPiece16 input, int* output);
bool StringToUint(StringPiece input, unsigned* output);
bool StringToUint(StringPiece16 input, unsigned* output);
bool StringToInt64(StringPiece input, int64_t* output);
bool StringToInt64(StringPiece16 input, int64_t* output);
bool StringToUint64(StringPiece input, uint64_t* output);
bool StringToUint64(StringPiece16 input, uint64_t* output);
bool StringToSizeT(StringPiece input, size_t* output);
bool StringToSizeT(StringPiece16 input, size_t* output);

// Decimal notation with an optional sign, fraction and exponent; no
// whitespace, hexadecimal, infinity or NaN. Out of range fails and writes
// +-HUGE_VAL (overflow) or +-0 (underflow); any other failure writes 0.
bool StringToDouble(StringPiece input, double* output);
bool StringToDouble(StringPiece16 input, double* output);

// Upper-case hex digits of the bytes in memory order: {0x01, 0xAB} gives
// "01AB".
std::string HexEncode(const void* bytes, size_t size);

// Hexadecimal with an optional "0x"/"0X" prefix (after the sign, if any),
// under the same rules as above. HexStringToInt reads 32 bits as a signed
// value: "80000000" overflows, "-80000000" is INT_MIN.
bool HexStringToInt(StringPiece input, int* output);
bool HexStringToUInt(StringPiece input, uint32_t* output);
bool HexStringToInt64(StringPiece input, int64_t* output);
bool HexStringToUInt64(StringPiece input, uint64_t* output);

// Appends the bytes of an even-length string of hex digits (no prefix, no
// separators). On bad input returns false; the bytes before the fault have
// been appended.
bool HexStringToBytes(StringPiece input, std::vector<uint8_t>* output);

}  // namespace base

#endif  // BASE_STRINGS_STRING_NUMBER_CONVERSIONS_H_
