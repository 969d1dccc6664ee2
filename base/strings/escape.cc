#include "base/strings/escape.h"

#include "base/strings/string_util.h"

namespace base {

std::string EscapeQueryParamValue(StringPiece text) {
  static const char kHexDigits[] = "0123456789ABCDEF";
  std::string escaped;
  escaped.reserve(text.size());
  for (unsigned char c : text) {
    if (IsAsciiAlpha(c) || IsAsciiDigit(c) || c == '-' || c == '.' ||
        c == '_' || c == '~') {
      escaped += static_cast<char>(c);
    } else {
      escaped += '%';
      escaped += kHexDigits[c >> 4];
      escaped += kHexDigits[c & 0xF];
    }
  }
  return escaped;
}

}  // namespace base
