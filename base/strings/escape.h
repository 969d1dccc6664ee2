// Percent-encoding of text that goes into a URL.

#ifndef BASE_STRINGS_ESCAPE_H_
#define BASE_STRINGS_ESCAPE_H_

#include <string>

#include "base/strings/string16.h"

namespace base {

// |text| (UTF-8) as one value of a URL's query: every byte but the
// unreserved characters (letters, digits, "-", ".", "_", "~") becomes %XX,
// so that "&", "=", "#", "+", blanks and non-ASCII letters arrive as they
// were meant.
std::string EscapeQueryParamValue(StringPiece text);

}  // namespace base

#endif  // BASE_STRINGS_ESCAPE_H_
