// Conversions between UTF-8 and UTF-16 (wchar_t) text. Invalid sequences
// (broken UTF-8, lone surrogates) become U+FFFD; the bool forms report them.

#ifndef BASE_STRINGS_UTF_STRING_CONVERSIONS_H_
#define BASE_STRINGS_UTF_STRING_CONVERSIONS_H_

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <string_view>

#include "base/strings/string16.h"

namespace base {

// Decodes the well-formed UTF-8 sequence at |*index| (no overlong forms, no
// surrogates, nothing above U+10FFFF) into |*code_point| and moves |*index|
// past it. On a malformed sequence returns false and moves |*index| past the
// longest start of a well-formed sequence found there (at least one byte):
// the bytes that one U+FFFD stands for.
bool ReadUTF8CodePoint(StringPiece text, size_t* index, uint32_t* code_point);

bool WideToUTF8(const wchar_t* src, size_t src_len, std::string* output);
std::string WideToUTF8(std::wstring_view wide);
bool UTF8ToWide(const char* src, size_t src_len, std::wstring* output);
std::wstring UTF8ToWide(std::string_view utf8);

inline bool UTF16ToUTF8(const char16* src, size_t len, std::string* out) {
  return WideToUTF8(src, len, out);
}
inline std::string UTF16ToUTF8(StringPiece16 utf16) {
  return WideToUTF8(utf16);
}
inline bool UTF8ToUTF16(const char* src, size_t len, string16* out) {
  return UTF8ToWide(src, len, out);
}
inline string16 UTF8ToUTF16(StringPiece utf8) {
  return UTF8ToWide(utf8);
}

// The input must be ASCII (DCHECKed); each character is copied as it is.
std::wstring ASCIIToWide(std::string_view ascii);
std::string WideToASCII(std::wstring_view wide);
inline string16 ASCIIToUTF16(StringPiece ascii) {
  return ASCIIToWide(ascii);
}
inline std::string UTF16ToASCII(StringPiece16 utf16) {
  return WideToASCII(utf16);
}

}  // namespace base

#endif  // BASE_STRINGS_UTF_STRING_CONVERSIONS_H_
