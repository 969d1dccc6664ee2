// Splitting text at any of a set of separator characters.

#ifndef BASE_STRINGS_STRING_SPLIT_H_
#define BASE_STRINGS_STRING_SPLIT_H_

#include <string>
#include <vector>

#include "base/strings/string16.h"

namespace base {

enum WhitespaceHandling {
  KEEP_WHITESPACE,
  // Trims each piece: ASCII whitespace for narrow text, Unicode whitespace
  // for wide text.
  TRIM_WHITESPACE,
};

enum SplitResult {
  // Every piece, empty ones included: "a,,b" gives "a", "", "b".
  SPLIT_WANT_ALL,
  // Drops the pieces that are empty after the whitespace handling.
  SPLIT_WANT_NONEMPTY,
};

// Splits |input| at every character of |separators|. Empty input gives no
// pieces at all, even with SPLIT_WANT_ALL.
std::vector<std::string> SplitString(StringPiece input,
                                     StringPiece separators,
                                     WhitespaceHandling whitespace,
                                     SplitResult result_type);
std::vector<string16> SplitString(StringPiece16 input,
                                  StringPiece16 separators,
                                  WhitespaceHandling whitespace,
                                  SplitResult result_type);

// As SplitString, but the pieces view |input|, which must outlive them.
std::vector<StringPiece> SplitStringPiece(StringPiece input,
                                          StringPiece separators,
                                          WhitespaceHandling whitespace,
                                          SplitResult result_type);
std::vector<StringPiece16> SplitStringPiece(StringPiece16 input,
                                            StringPiece16 separators,
                                            WhitespaceHandling whitespace,
                                            SplitResult result_type);

}  // namespace base

#endif  // BASE_STRINGS_STRING_SPLIT_H_
