#include "base/strings/string_util.h"

#include <stdint.h>

#include <algorithm>

#include "base/strings/utf_string_conversions.h"

namespace base {

#define WHITESPACE_ASCII_NO_SPACE 0x09, 0x0A, 0x0B, 0x0C, 0x0D
#define WHITESPACE_UNICODE                                                    \
  WHITESPACE_ASCII_NO_SPACE, 0x0020, 0x0085, 0x00A0, 0x1680, 0x2000, 0x2001,  \
      0x2002, 0x2003, 0x2004, 0x2005, 0x2006, 0x2007, 0x2008, 0x2009, 0x200A, \
      0x2028, 0x2029, 0x202F, 0x205F, 0x3000

const wchar_t kWhitespaceWide[] = {WHITESPACE_UNICODE, 0};
const char kWhitespaceASCII[] = {WHITESPACE_ASCII_NO_SPACE, 0x20, 0};
const wchar_t kWhitespaceASCIIAs16[] = {WHITESPACE_ASCII_NO_SPACE, 0x20, 0};

#undef WHITESPACE_UNICODE
#undef WHITESPACE_ASCII_NO_SPACE

namespace {

template <typename Char>
std::basic_string<Char> ToLowerASCIIImpl(std::basic_string_view<Char> str) {
  std::basic_string<Char> result(str);
  for (Char& c : result)
    c = ToLowerASCII(c);
  return result;
}

template <typename Char>
std::basic_string<Char> ToUpperASCIIImpl(std::basic_string_view<Char> str) {
  std::basic_string<Char> result(str);
  for (Char& c : result)
    c = ToUpperASCII(c);
  return result;
}

template <typename Char>
int CompareCaseInsensitiveASCIIImpl(std::basic_string_view<Char> a,
                                    std::basic_string_view<Char> b) {
  size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    Char lower_a = ToLowerASCII(a[i]);
    Char lower_b = ToLowerASCII(b[i]);
    if (lower_a != lower_b)
      return lower_a < lower_b ? -1 : 1;
  }
  if (a.size() == b.size())
    return 0;
  return a.size() < b.size() ? -1 : 1;
}

template <typename Char>
bool LowerCaseEqualsASCIIImpl(std::basic_string_view<Char> str,
                              StringPiece lowercase_ascii) {
  if (str.size() != lowercase_ascii.size())
    return false;
  for (size_t i = 0; i < str.size(); ++i) {
    DCHECK(!IsAsciiUpper(lowercase_ascii[i]));
    if (ToLowerASCII(str[i]) != static_cast<Char>(lowercase_ascii[i]))
      return false;
  }
  return true;
}

template <typename Char>
bool PieceEquals(std::basic_string_view<Char> a,
                 std::basic_string_view<Char> b,
                 CompareCase compare) {
  if (compare == CompareCase::SENSITIVE)
    return a == b;
  return a.size() == b.size() && CompareCaseInsensitiveASCIIImpl(a, b) == 0;
}

template <typename Char>
bool StartsWithImpl(std::basic_string_view<Char> str,
                    std::basic_string_view<Char> prefix,
                    CompareCase compare) {
  if (prefix.size() > str.size())
    return false;
  return PieceEquals(str.substr(0, prefix.size()), prefix, compare);
}

template <typename Char>
bool EndsWithImpl(std::basic_string_view<Char> str,
                  std::basic_string_view<Char> suffix,
                  CompareCase compare) {
  if (suffix.size() > str.size())
    return false;
  return PieceEquals(str.substr(str.size() - suffix.size()), suffix, compare);
}

// Returns the trimmed piece and, in |*trimmed|, the ends that lost
// characters.
template <typename Char>
std::basic_string_view<Char> TrimImpl(std::basic_string_view<Char> input,
                                      std::basic_string_view<Char> trim_chars,
                                      TrimPositions positions,
                                      TrimPositions* trimmed) {
  size_t begin = 0;
  size_t end = input.size();
  if (positions & TRIM_LEADING) {
    begin = input.find_first_not_of(trim_chars);
    if (begin == std::basic_string_view<Char>::npos)
      begin = input.size();
  }
  if ((positions & TRIM_TRAILING) && begin < end) {
    size_t last = input.find_last_not_of(trim_chars);
    end = last == std::basic_string_view<Char>::npos ? begin : last + 1;
  }
  int result = TRIM_NONE;
  if (begin > 0)
    result |= TRIM_LEADING;
  if (end < input.size())
    result |= TRIM_TRAILING;
  // Text that was all trim characters counts as trimmed at every end asked.
  if (begin == end && !input.empty())
    result = positions;
  if (trimmed)
    *trimmed = static_cast<TrimPositions>(result);
  return input.substr(begin, end - begin);
}

template <typename Char>
bool IsStringASCIIImpl(std::basic_string_view<Char> str) {
  for (Char c : str) {
    if (static_cast<std::make_unsigned_t<Char>>(c) >= 0x80)
      return false;
  }
  return true;
}

bool IsNoncharacter(uint32_t cp) {
  return (cp >= 0xFDD0 && cp <= 0xFDEF) || (cp & 0xFFFE) == 0xFFFE;
}

bool IsStringUTF8Impl(StringPiece str, bool allow_noncharacters) {
  size_t i = 0;
  while (i < str.size()) {
    uint32_t cp;
    if (!ReadUTF8CodePoint(str, &i, &cp))
      return false;
    if (!allow_noncharacters && IsNoncharacter(cp))
      return false;
  }
  return true;
}

template <typename Char>
bool ReplaceCharsImpl(std::basic_string_view<Char> input,
                      std::basic_string_view<Char> replace_chars,
                      std::basic_string_view<Char> replace_with,
                      std::basic_string<Char>* output) {
  // |input| may view |*output|, so the result is built aside.
  std::basic_string<Char> result;
  result.reserve(input.size());
  bool replaced = false;
  for (Char c : input) {
    if (replace_chars.find(c) == std::basic_string_view<Char>::npos) {
      result.push_back(c);
    } else {
      result.append(replace_with);
      replaced = true;
    }
  }
  *output = std::move(result);
  return replaced;
}

template <typename Char>
void ReplaceAfterOffsetImpl(std::basic_string<Char>* str,
                            size_t start_offset,
                            std::basic_string_view<Char> find_this,
                            std::basic_string_view<Char> replace_with,
                            bool replace_all) {
  DCHECK(!find_this.empty());
  if (find_this.empty())
    return;
  size_t pos = str->find(find_this, start_offset);
  while (pos != std::basic_string<Char>::npos) {
    str->replace(pos, find_this.size(), replace_with);
    if (!replace_all)
      return;
    pos = str->find(find_this, pos + replace_with.size());
  }
}

template <typename Char, typename Part>
std::basic_string<Char> JoinStringImpl(const Part* begin,
                                       const Part* end,
                                       std::basic_string_view<Char> sep) {
  std::basic_string<Char> result;
  for (const Part* it = begin; it != end; ++it) {
    if (it != begin)
      result.append(sep);
    result.append(*it);
  }
  return result;
}

template <typename Char>
std::basic_string<Char> ReplaceStringPlaceholdersImpl(
    std::basic_string_view<Char> format_string,
    const std::vector<std::basic_string<Char>>& subst,
    std::vector<size_t>* offsets) {
  DCHECK_LT(subst.size(), 10u);
  std::basic_string<Char> formatted;
  formatted.reserve(format_string.size());
  // (placeholder index, output offset), kept sorted by index.
  std::vector<std::pair<size_t, size_t>> found;
  size_t i = 0;
  while (i < format_string.size()) {
    Char c = format_string[i++];
    if (c != '$') {
      formatted.push_back(c);
      continue;
    }
    if (i == format_string.size())
      break;  // A lone trailing '$' is dropped.
    if (format_string[i] == '$') {
      while (i < format_string.size() && format_string[i] == '$') {
        formatted.push_back('$');
        ++i;
      }
      continue;
    }
    Char digit = format_string[i++];
    if (digit < '1' || digit > '9') {
      DLOG(ERROR) << "Invalid placeholder: $" << static_cast<char>(digit);
      continue;
    }
    size_t index = static_cast<size_t>(digit - '1');
    auto entry = std::make_pair(index, formatted.size());
    found.insert(std::upper_bound(found.begin(), found.end(), entry,
                                  [](const auto& a, const auto& b) {
                                    return a.first < b.first;
                                  }),
                 entry);
    if (index < subst.size())
      formatted.append(subst[index]);
  }
  if (offsets) {
    for (const auto& entry : found)
      offsets->push_back(entry.second);
  }
  return formatted;
}

}  // namespace

std::string ToLowerASCII(StringPiece str) {
  return ToLowerASCIIImpl(str);
}
string16 ToLowerASCII(StringPiece16 str) {
  return ToLowerASCIIImpl(str);
}
std::string ToUpperASCII(StringPiece str) {
  return ToUpperASCIIImpl(str);
}
string16 ToUpperASCII(StringPiece16 str) {
  return ToUpperASCIIImpl(str);
}

int CompareCaseInsensitiveASCII(StringPiece a, StringPiece b) {
  return CompareCaseInsensitiveASCIIImpl(a, b);
}
int CompareCaseInsensitiveASCII(StringPiece16 a, StringPiece16 b) {
  return CompareCaseInsensitiveASCIIImpl(a, b);
}
bool EqualsCaseInsensitiveASCII(StringPiece a, StringPiece b) {
  return PieceEquals(a, b, CompareCase::INSENSITIVE_ASCII);
}
bool EqualsCaseInsensitiveASCII(StringPiece16 a, StringPiece16 b) {
  return PieceEquals(a, b, CompareCase::INSENSITIVE_ASCII);
}

bool LowerCaseEqualsASCII(StringPiece str, StringPiece lowercase_ascii) {
  return LowerCaseEqualsASCIIImpl(str, lowercase_ascii);
}
bool LowerCaseEqualsASCII(StringPiece16 str, StringPiece lowercase_ascii) {
  return LowerCaseEqualsASCIIImpl(str, lowercase_ascii);
}

bool StartsWith(StringPiece str, StringPiece prefix, CompareCase compare) {
  return StartsWithImpl(str, prefix, compare);
}
bool StartsWith(StringPiece16 str, StringPiece16 prefix, CompareCase compare) {
  return StartsWithImpl(str, prefix, compare);
}
bool EndsWith(StringPiece str, StringPiece suffix, CompareCase compare) {
  return EndsWithImpl(str, suffix, compare);
}
bool EndsWith(StringPiece16 str, StringPiece16 suffix, CompareCase compare) {
  return EndsWithImpl(str, suffix, compare);
}

bool TrimString(StringPiece16 input,
                StringPiece16 trim_chars,
                string16* output) {
  TrimPositions trimmed;
  *output = string16(TrimImpl(input, trim_chars, TRIM_ALL, &trimmed));
  return trimmed != TRIM_NONE;
}
bool TrimString(StringPiece input,
                StringPiece trim_chars,
                std::string* output) {
  TrimPositions trimmed;
  *output = std::string(TrimImpl(input, trim_chars, TRIM_ALL, &trimmed));
  return trimmed != TRIM_NONE;
}
StringPiece16 TrimString(StringPiece16 input,
                         StringPiece16 trim_chars,
                         TrimPositions positions) {
  return TrimImpl(input, trim_chars, positions, nullptr);
}
StringPiece TrimString(StringPiece input,
                       StringPiece trim_chars,
                       TrimPositions positions) {
  return TrimImpl(input, trim_chars, positions, nullptr);
}

TrimPositions TrimWhitespace(StringPiece16 input,
                             TrimPositions positions,
                             string16* output) {
  TrimPositions trimmed;
  *output = string16(
      TrimImpl(input, StringPiece16(kWhitespaceWide), positions, &trimmed));
  return trimmed;
}
StringPiece16 TrimWhitespace(StringPiece16 input, TrimPositions positions) {
  return TrimImpl(input, StringPiece16(kWhitespaceWide), positions, nullptr);
}
TrimPositions TrimWhitespaceASCII(StringPiece input,
                                  TrimPositions positions,
                                  std::string* output) {
  TrimPositions trimmed;
  *output = std::string(
      TrimImpl(input, StringPiece(kWhitespaceASCII), positions, &trimmed));
  return trimmed;
}
StringPiece TrimWhitespaceASCII(StringPiece input, TrimPositions positions) {
  return TrimImpl(input, StringPiece(kWhitespaceASCII), positions, nullptr);
}

bool IsStringASCII(StringPiece str) {
  return IsStringASCIIImpl(str);
}
bool IsStringASCII(StringPiece16 str) {
  return IsStringASCIIImpl(str);
}
bool IsStringUTF8(StringPiece str) {
  return IsStringUTF8Impl(str, false);
}
bool IsStringUTF8AllowingNoncharacters(StringPiece str) {
  return IsStringUTF8Impl(str, true);
}

bool ContainsOnlyChars(StringPiece input, StringPiece characters) {
  return input.find_first_not_of(characters) == StringPiece::npos;
}
bool ContainsOnlyChars(StringPiece16 input, StringPiece16 characters) {
  return input.find_first_not_of(characters) == StringPiece16::npos;
}

bool ReplaceChars(StringPiece16 input,
                  StringPiece16 replace_chars,
                  StringPiece16 replace_with,
                  string16* output) {
  return ReplaceCharsImpl(input, replace_chars, replace_with, output);
}
bool ReplaceChars(StringPiece input,
                  StringPiece replace_chars,
                  StringPiece replace_with,
                  std::string* output) {
  return ReplaceCharsImpl(input, replace_chars, replace_with, output);
}
bool RemoveChars(StringPiece16 input,
                 StringPiece16 remove_chars,
                 string16* output) {
  return ReplaceCharsImpl(input, remove_chars, StringPiece16(), output);
}
bool RemoveChars(StringPiece input,
                 StringPiece remove_chars,
                 std::string* output) {
  return ReplaceCharsImpl(input, remove_chars, StringPiece(), output);
}

void ReplaceFirstSubstringAfterOffset(string16* str,
                                      size_t start_offset,
                                      StringPiece16 find_this,
                                      StringPiece16 replace_with) {
  ReplaceAfterOffsetImpl(str, start_offset, find_this, replace_with, false);
}
void ReplaceFirstSubstringAfterOffset(std::string* str,
                                      size_t start_offset,
                                      StringPiece find_this,
                                      StringPiece replace_with) {
  ReplaceAfterOffsetImpl(str, start_offset, find_this, replace_with, false);
}
void ReplaceSubstringsAfterOffset(string16* str,
                                  size_t start_offset,
                                  StringPiece16 find_this,
                                  StringPiece16 replace_with) {
  ReplaceAfterOffsetImpl(str, start_offset, find_this, replace_with, true);
}
void ReplaceSubstringsAfterOffset(std::string* str,
                                  size_t start_offset,
                                  StringPiece find_this,
                                  StringPiece replace_with) {
  ReplaceAfterOffsetImpl(str, start_offset, find_this, replace_with, true);
}

std::string JoinString(const std::vector<std::string>& parts,
                       StringPiece separator) {
  return JoinStringImpl<char>(parts.data(), parts.data() + parts.size(),
                              separator);
}
string16 JoinString(const std::vector<string16>& parts,
                    StringPiece16 separator) {
  return JoinStringImpl<wchar_t>(parts.data(), parts.data() + parts.size(),
                                 separator);
}
std::string JoinString(const std::vector<StringPiece>& parts,
                       StringPiece separator) {
  return JoinStringImpl<char>(parts.data(), parts.data() + parts.size(),
                              separator);
}
string16 JoinString(const std::vector<StringPiece16>& parts,
                    StringPiece16 separator) {
  return JoinStringImpl<wchar_t>(parts.data(), parts.data() + parts.size(),
                                 separator);
}
std::string JoinString(std::initializer_list<StringPiece> parts,
                       StringPiece separator) {
  return JoinStringImpl<char>(parts.begin(), parts.end(), separator);
}
string16 JoinString(std::initializer_list<StringPiece16> parts,
                    StringPiece16 separator) {
  return JoinStringImpl<wchar_t>(parts.begin(), parts.end(), separator);
}

string16 ReplaceStringPlaceholders(StringPiece16 format_string,
                                   const std::vector<string16>& subst,
                                   std::vector<size_t>* offsets) {
  return ReplaceStringPlaceholdersImpl(format_string, subst, offsets);
}
std::string ReplaceStringPlaceholders(StringPiece format_string,
                                      const std::vector<std::string>& subst,
                                      std::vector<size_t>* offsets) {
  return ReplaceStringPlaceholdersImpl(format_string, subst, offsets);
}
string16 ReplaceStringPlaceholders(const string16& format_string,
                                   const string16& a,
                                   size_t* offset) {
  std::vector<size_t> offsets;
  string16 result = ReplaceStringPlaceholdersImpl(
      StringPiece16(format_string), std::vector<string16>{a}, &offsets);
  DCHECK_EQ(1u, offsets.size());
  if (offset && !offsets.empty())
    *offset = offsets[0];
  return result;
}

}  // namespace base
