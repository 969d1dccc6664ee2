// Base64 with the standard alphabet ("+", "/") and "=" padding.

#ifndef BASE_BASE64_H_
#define BASE_BASE64_H_

#include <string>

#include "base/strings/string16.h"

namespace base {

// Encodes the bytes of |input|; the result is always padded to a multiple of
// four characters.
void Base64Encode(StringPiece input, std::string* output);

// Strict decoding: the length must be a multiple of four, every character in
// the alphabet, and "=" may only end the text, at most twice. No whitespace
// or line breaks are accepted. On failure returns false and leaves |*output|
// untouched. (Unused low bits of the last character are not checked.)
bool Base64Decode(StringPiece input, std::string* output);

}  // namespace base

#endif  // BASE_BASE64_H_
