#include "base/strings/string_util.h"

#include "gtest/gtest.h"

namespace base {
namespace {

TEST(StringUtilTest, TrimWhitespaceReportsWhatWasRemoved) {
  string16 out;
  EXPECT_EQ(TRIM_ALL, TrimWhitespace(L"\u3000 a b\u00a0\t", TRIM_ALL, &out));
  EXPECT_EQ(L"a b", out);
  EXPECT_EQ(TRIM_TRAILING, TrimWhitespace(L" a\r\n", TRIM_TRAILING, &out));
  EXPECT_EQ(L" a", out);
  // Text that is all whitespace counts as trimmed at every end asked for;
  // empty text was not trimmed at all.
  EXPECT_EQ(TRIM_ALL, TrimWhitespace(L" \u2003 ", TRIM_ALL, &out));
  EXPECT_EQ(L"", out);
  EXPECT_EQ(TRIM_TRAILING, TrimWhitespace(L"  ", TRIM_TRAILING, &out));
  EXPECT_EQ(TRIM_NONE, TrimWhitespace(L"", TRIM_ALL, &out));
  // A byte order mark is not whitespace.
  EXPECT_EQ(L"\ufeffa", TrimWhitespace(L"\ufeffa ", TRIM_ALL));

  std::string narrow;
  EXPECT_EQ(TRIM_ALL, TrimWhitespaceASCII("\v\f x\r\n", TRIM_ALL, &narrow));
  EXPECT_EQ("x", narrow);
  // UTF-8 no-break space is not ASCII whitespace.
  EXPECT_EQ("\xc2\xa0x", TrimWhitespaceASCII("\xc2\xa0x ", TRIM_ALL));

  EXPECT_TRUE(TrimString("xxaxbxx", "x", &narrow));
  EXPECT_EQ("axb", narrow);
  EXPECT_EQ("..a", TrimString("..a..", ".", TRIM_TRAILING));
}

TEST(StringUtilTest, CaseRulesTouchOnlyAsciiLetters) {
  EXPECT_TRUE(
      StartsWith("Kelvo Installer", "kelvo", CompareCase::INSENSITIVE_ASCII));
  EXPECT_FALSE(StartsWith("Kelvo Installer", "kelvo", CompareCase::SENSITIVE));
  EXPECT_FALSE(StartsWith(L"ab", L"abc", CompareCase::INSENSITIVE_ASCII));
  EXPECT_TRUE(EndsWith(L"setup.EXE", L".exe", CompareCase::INSENSITIVE_ASCII));
  EXPECT_FALSE(EndsWith("exe", ".exe", CompareCase::INSENSITIVE_ASCII));
  EXPECT_FALSE(EqualsCaseInsensitiveASCII("http", "https"));
  EXPECT_FALSE(EqualsCaseInsensitiveASCII(L"\u00c9", L"\u00e9"));
  EXPECT_TRUE(LowerCaseEqualsASCII(L"MailTo", "mailto"));
  EXPECT_EQ("\xc3\x84X", ToUpperASCII("\xc3\x84x"));
  EXPECT_TRUE(IsStringASCII("\x7f"));
  EXPECT_FALSE(IsStringASCII("\x80"));
  EXPECT_FALSE(IsStringASCII(L"a\u00e9"));
}

TEST(StringUtilTest, ReplacingCharsAndSubstrings) {
  std::string text = "a\rb\tc";
  // The output may be the string the input views.
  EXPECT_TRUE(ReplaceChars(text, "\r\t", " ", &text));
  EXPECT_EQ("a b c", text);
  EXPECT_TRUE(ReplaceChars(text, " ", "<>", &text));
  EXPECT_EQ("a<>b<>c", text);
  string16 wide = L"a\r\nb";
  EXPECT_TRUE(RemoveChars(wide, L"\r", &wide));
  EXPECT_EQ(L"a\nb", wide);
  EXPECT_FALSE(RemoveChars(wide, L"\r", &wide));

  std::string s = "aXaXa";
  ReplaceSubstringsAfterOffset(&s, 0, "a", "aa");  // Not rescanned.
  EXPECT_EQ("aaXaaXaa", s);
  s = "aaaa";
  ReplaceSubstringsAfterOffset(&s, 0, "aa", "b");  // Non-overlapping.
  EXPECT_EQ("bb", s);
  s = "x.x.x";
  ReplaceSubstringsAfterOffset(&s, 1, "x", "y");
  EXPECT_EQ("x.y.y", s);

  EXPECT_EQ("", JoinString(std::vector<std::string>(), ", "));
  EXPECT_EQ("a, , b", JoinString({"a", "", "b"}, ", "));
}

TEST(StringUtilTest, PlaceholdersAreReplacedInOnePass) {
  EXPECT_EQ(L"b-a-b", ReplaceStringPlaceholders(
                          L"$2-$1-$2", {string16(L"a"), L"b"}, nullptr));
  // An argument holding "$1" is not expanded again.
  EXPECT_EQ("x $1 y",
            ReplaceStringPlaceholders("x $1 y", {std::string("$1")}, nullptr));
  // n dollar signs in a row give n - 1; "$$1" is a literal "$1".
  EXPECT_EQ("5$ $$ $1", ReplaceStringPlaceholders("5$$ $$$ $$1",
                                                  {std::string("a")}, nullptr));
  // A placeholder without an argument becomes empty; "$" with anything but
  // 1-9 is dropped together with it, and so is a final "$".
  EXPECT_EQ("[]a0b", ReplaceStringPlaceholders("[$3]$0a0b$", {std::string("a")},
                                               nullptr));
}

}  // namespace
}  // namespace base
