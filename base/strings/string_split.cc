#include "base/strings/string_split.h"

#include "base/strings/string_util.h"

namespace base {

namespace {

StringPiece WhitespaceFor(char) {
  return kWhitespaceASCII;
}
StringPiece16 WhitespaceFor(wchar_t) {
  return kWhitespaceWide;
}

template <typename Output, typename Char>
std::vector<Output> SplitImpl(std::basic_string_view<Char> input,
                              std::basic_string_view<Char> separators,
                              WhitespaceHandling whitespace,
                              SplitResult result_type) {
  using Piece = std::basic_string_view<Char>;
  std::vector<Output> result;
  if (input.empty())
    return result;
  size_t start = 0;
  while (start != Piece::npos) {
    size_t end = input.find_first_of(separators, start);
    Piece piece;
    if (end == Piece::npos) {
      piece = input.substr(start);
      start = Piece::npos;
    } else {
      piece = input.substr(start, end - start);
      start = end + 1;
    }
    if (whitespace == TRIM_WHITESPACE)
      piece = TrimString(piece, WhitespaceFor(Char()), TRIM_ALL);
    if (result_type == SPLIT_WANT_ALL || !piece.empty())
      result.emplace_back(piece);
  }
  return result;
}

}  // namespace

std::vector<std::string> SplitString(StringPiece input,
                                     StringPiece separators,
                                     WhitespaceHandling whitespace,
                                     SplitResult result_type) {
  return SplitImpl<std::string>(input, separators, whitespace, result_type);
}

std::vector<string16> SplitString(StringPiece16 input,
                                  StringPiece16 separators,
                                  WhitespaceHandling whitespace,
                                  SplitResult result_type) {
  return SplitImpl<string16>(input, separators, whitespace, result_type);
}

std::vector<StringPiece> SplitStringPiece(StringPiece input,
                                          StringPiece separators,
                                          WhitespaceHandling whitespace,
                                          SplitResult result_type) {
  return SplitImpl<StringPiece>(input, separators, whitespace, result_type);
}

std::vector<StringPiece16> SplitStringPiece(StringPiece16 input,
                                            StringPiece16 separators,
                                            WhitespaceHandling whitespace,
                                            SplitResult result_type) {
  return SplitImpl<StringPiece16>(input, separators, whitespace, result_type);
}

}  // namespace base
