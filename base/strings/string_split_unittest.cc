#include "base/strings/string_split.h"

#include "gtest/gtest.h"

namespace base {
namespace {

using Pieces = std::vector<std::string>;

TEST(StringSplitTest, EmptyPiecesAndWhitespace) {
  EXPECT_EQ((Pieces{"a", "", "b", ""}),
            SplitString("a,,b,", ",", KEEP_WHITESPACE, SPLIT_WANT_ALL));
  // Whitespace-only pieces vanish once trimmed.
  EXPECT_EQ(
      (Pieces{"x", "y z"}),
      SplitString(" x |\t| y z\v", "|", TRIM_WHITESPACE, SPLIT_WANT_NONEMPTY));
  // Any character of the set separates: CRLF lines without blank pieces.
  EXPECT_EQ((Pieces{"one", "two"}),
            SplitString("one\r\ntwo\r\n", "\r\n", KEEP_WHITESPACE,
                        SPLIT_WANT_NONEMPTY));
  // Empty input has no pieces, not one empty piece.
  EXPECT_TRUE(SplitString("", ",", KEEP_WHITESPACE, SPLIT_WANT_ALL).empty());
  EXPECT_EQ((Pieces{"", ""}),
            SplitString(",", ",", KEEP_WHITESPACE, SPLIT_WANT_ALL));
}

TEST(StringSplitTest, OnlyWideTextTrimsUnicodeWhitespace) {
  EXPECT_EQ((std::vector<string16>{L"a", L"b\u00a0c"}),
            SplitString(L"\u3000a@ b\u00a0c\u2028", L"@", TRIM_WHITESPACE,
                        SPLIT_WANT_ALL));
  EXPECT_EQ((Pieces{"\xc2\xa0"
                    "a"}),
            SplitString("\xc2\xa0"
                        "a ",
                        ",", TRIM_WHITESPACE, SPLIT_WANT_ALL));
  // Pieces view the input rather than copy it.
  const std::string input = "key:value";
  std::vector<StringPiece> pieces =
      SplitStringPiece(input, ":", KEEP_WHITESPACE, SPLIT_WANT_ALL);
  ASSERT_EQ(2u, pieces.size());
  EXPECT_EQ(input.data() + 4, pieces[1].data());
}

}  // namespace
}  // namespace base
