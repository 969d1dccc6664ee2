// UTF-8 decoding shared by the JSON reader and writer.

#ifndef BASE_JSON_JSON_UTF8_H_
#define BASE_JSON_JSON_UTF8_H_

#include <stddef.h>
#include <stdint.h>

#include "base/strings/string16.h"

namespace base {
namespace internal {

// Decodes the well-formed UTF-8 sequence at |*index| (no overlong forms, no
// surrogates, nothing above U+10FFFF) into |*code_point| and moves |*index|
// past it. On a malformed sequence returns false and moves |*index| past its
// first byte only, so a caller can resynchronise.
bool ReadUTF8CodePoint(StringPiece text, size_t* index, uint32_t* code_point);

}  // namespace internal
}  // namespace base

#endif  // BASE_JSON_JSON_UTF8_H_
