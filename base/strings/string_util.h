// Locale-independent string helpers for narrow (UTF-8 or ASCII) and wide
// (UTF-16) text. "ASCII" in a name means only the characters A-Z/a-z are
// case-folded and only ASCII whitespace is recognised; other characters pass
// through untouched.

#ifndef BASE_STRINGS_STRING_UTIL_H_
#define BASE_STRINGS_STRING_UTIL_H_

#include <stddef.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "base/logging.h"
#include "base/strings/string16.h"

namespace base {

enum class CompareCase {
  SENSITIVE,
  INSENSITIVE_ASCII,
};

enum TrimPositions {
  TRIM_NONE = 0,
  TRIM_LEADING = 1 << 0,
  TRIM_TRAILING = 1 << 1,
  TRIM_ALL = TRIM_LEADING | TRIM_TRAILING,
};

// Unicode whitespace (tab through carriage return, space, NEL, NBSP and the
// Unicode space separators), NUL-terminated.
extern const wchar_t kWhitespaceWide[];
// Tab, line feed, vertical tab, form feed, carriage return and space.
extern const char kWhitespaceASCII[];
extern const wchar_t kWhitespaceASCIIAs16[];

template <typename Char>
constexpr bool IsAsciiWhitespace(Char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}
template <typename Char>
constexpr bool IsAsciiUpper(Char c) {
  return c >= 'A' && c <= 'Z';
}
template <typename Char>
constexpr bool IsAsciiLower(Char c) {
  return c >= 'a' && c <= 'z';
}
template <typename Char>
constexpr bool IsAsciiAlpha(Char c) {
  return IsAsciiUpper(c) || IsAsciiLower(c);
}
template <typename Char>
constexpr bool IsAsciiDigit(Char c) {
  return c >= '0' && c <= '9';
}
template <typename Char>
constexpr bool IsHexDigit(Char c) {
  return IsAsciiDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}
// The value of a hex digit; the character must be one (DCHECKed).
template <typename Char>
int HexDigitToInt(Char c) {
  DCHECK(IsHexDigit(c));
  if (IsAsciiDigit(c))
    return c - '0';
  return (c >= 'a' ? c - 'a' : c - 'A') + 10;
}

inline char ToLowerASCII(char c) {
  return IsAsciiUpper(c) ? static_cast<char>(c + ('a' - 'A')) : c;
}
inline wchar_t ToLowerASCII(wchar_t c) {
  return IsAsciiUpper(c) ? static_cast<wchar_t>(c + ('a' - 'A')) : c;
}
inline char ToUpperASCII(char c) {
  return IsAsciiLower(c) ? static_cast<char>(c - ('a' - 'A')) : c;
}
inline wchar_t ToUpperASCII(wchar_t c) {
  return IsAsciiLower(c) ? static_cast<wchar_t>(c - ('a' - 'A')) : c;
}
std::string ToLowerASCII(StringPiece str);
string16 ToLowerASCII(StringPiece16 str);
std::string ToUpperASCII(StringPiece str);
string16 ToUpperASCII(StringPiece16 str);

// -1, 0 or 1 as |a| sorts before, with or after |b| once both are
// lower-cased in ASCII.
int CompareCaseInsensitiveASCII(StringPiece a, StringPiece b);
int CompareCaseInsensitiveASCII(StringPiece16 a, StringPiece16 b);
bool EqualsCaseInsensitiveASCII(StringPiece a, StringPiece b);
bool EqualsCaseInsensitiveASCII(StringPiece16 a, StringPiece16 b);

// True when |str| lower-cased in ASCII equals |lowercase_ascii|, which must
// itself be lower case.
bool LowerCaseEqualsASCII(StringPiece str, StringPiece lowercase_ascii);
bool LowerCaseEqualsASCII(StringPiece16 str, StringPiece lowercase_ascii);

bool StartsWith(StringPiece str, StringPiece prefix, CompareCase compare);
bool StartsWith(StringPiece16 str, StringPiece16 prefix, CompareCase compare);
bool EndsWith(StringPiece str, StringPiece suffix, CompareCase compare);
bool EndsWith(StringPiece16 str, StringPiece16 suffix, CompareCase compare);

// Removes the characters of |trim_chars| from the given ends. The bool forms
// return whether anything was removed.
bool TrimString(StringPiece16 input,
                StringPiece16 trim_chars,
                string16* output);
bool TrimString(StringPiece input, StringPiece trim_chars, std::string* output);
StringPiece16 TrimString(StringPiece16 input,
                         StringPiece16 trim_chars,
                         TrimPositions positions);
StringPiece TrimString(StringPiece input,
                       StringPiece trim_chars,
                       TrimPositions positions);

// Trims Unicode whitespace from wide text and ASCII whitespace from narrow
// text; returns which ends had whitespace removed.
TrimPositions TrimWhitespace(StringPiece16 input,
                             TrimPositions positions,
                             string16* output);
StringPiece16 TrimWhitespace(StringPiece16 input, TrimPositions positions);
TrimPositions TrimWhitespaceASCII(StringPiece input,
                                  TrimPositions positions,
                                  std::string* output);
StringPiece TrimWhitespaceASCII(StringPiece input, TrimPositions positions);

bool IsStringASCII(StringPiece str);
bool IsStringASCII(StringPiece16 str);
// Well-formed UTF-8: no overlong forms, no surrogates, nothing above
// U+10FFFF, no truncated sequences. The first form also rejects the Unicode
// noncharacters (U+FDD0..U+FDEF and U+xxFFFE/U+xxFFFF).
bool IsStringUTF8(StringPiece str);
bool IsStringUTF8AllowingNoncharacters(StringPiece str);

bool ContainsOnlyChars(StringPiece input, StringPiece characters);
bool ContainsOnlyChars(StringPiece16 input, StringPiece16 characters);

// Replaces every character of |replace_chars| in |input| by |replace_with|
// (which may be empty or longer than one character); returns whether any
// replacement was made. |output| may be the string |input| views.
bool ReplaceChars(StringPiece16 input,
                  StringPiece16 replace_chars,
                  StringPiece16 replace_with,
                  string16* output);
bool ReplaceChars(StringPiece input,
                  StringPiece replace_chars,
                  StringPiece replace_with,
                  std::string* output);
bool RemoveChars(StringPiece16 input,
                 StringPiece16 remove_chars,
                 string16* output);
bool RemoveChars(StringPiece input,
                 StringPiece remove_chars,
                 std::string* output);

// Replaces the first (or every) occurrence of the non-empty |find_this| at or
// after |start_offset|. Replaced text is not searched again.
void ReplaceFirstSubstringAfterOffset(string16* str,
                                      size_t start_offset,
                                      StringPiece16 find_this,
                                      StringPiece16 replace_with);
void ReplaceFirstSubstringAfterOffset(std::string* str,
                                      size_t start_offset,
                                      StringPiece find_this,
                                      StringPiece replace_with);
void ReplaceSubstringsAfterOffset(string16* str,
                                  size_t start_offset,
                                  StringPiece16 find_this,
                                  StringPiece16 replace_with);
void ReplaceSubstringsAfterOffset(std::string* str,
                                  size_t start_offset,
                                  StringPiece find_this,
                                  StringPiece replace_with);

std::string JoinString(const std::vector<std::string>& parts,
                       StringPiece separator);
string16 JoinString(const std::vector<string16>& parts,
                    StringPiece16 separator);
std::string JoinString(const std::vector<StringPiece>& parts,
                       StringPiece separator);
string16 JoinString(const std::vector<StringPiece16>& parts,
                    StringPiece16 separator);
std::string JoinString(std::initializer_list<StringPiece> parts,
                       StringPiece separator);
string16 JoinString(std::initializer_list<StringPiece16> parts,
                    StringPiece16 separator);

// Replaces "$1".."$9" in |format_string| by the matching entry of |subst|, in
// one pass (substituted text is not scanned again). A run of n dollar signs
// gives n - 1 of them, so "$$1" is the literal "$1". A placeholder beyond
// |subst| becomes empty; "$" followed by anything else is dropped with it.
// When |offsets| is given it receives the output offset of every placeholder,
// ordered by placeholder number (equal numbers in text order).
string16 ReplaceStringPlaceholders(StringPiece16 format_string,
                                   const std::vector<string16>& subst,
                                   std::vector<size_t>* offsets);
std::string ReplaceStringPlaceholders(StringPiece format_string,
                                      const std::vector<std::string>& subst,
                                      std::vector<size_t>* offsets);
// The one-substitution form: |format_string| holds "$1" once; |offset| (may
// be null) receives where it was.
string16 ReplaceStringPlaceholders(const string16& format_string,
                                   const string16& a,
                                   size_t* offset);

// Sizes |str| to hold |length_with_null| - 1 characters and returns its
// buffer, so that a Windows API can write into the string directly. Resize
// the string to the real length afterwards.
template <class StringType>
typename StringType::value_type* WriteInto(StringType* str,
                                           size_t length_with_null) {
  DCHECK_GE(length_with_null, 1u);
  str->resize(length_with_null - 1);
  return str->data();
}

}  // namespace base

#endif  // BASE_STRINGS_STRING_UTIL_H_
