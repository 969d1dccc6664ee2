#include "base/strings/stringprintf.h"

#include <stdint.h>

#include "gtest/gtest.h"

namespace base {
namespace {

std::string CallStringPrintV(const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  std::string result = StringPrintV(format, ap);
  va_end(ap);
  return result;
}

TEST(StringPrintfTest, NarrowConversionsAreC99) {
  EXPECT_EQ("pid 1234, -5, 18446744073709551615, 4096",
            StringPrintf("pid %u, %d, %llu, %zu", 1234u, -5, UINT64_MAX,
                         static_cast<size_t>(4096)));
  EXPECT_EQ("%s 7", StringPrintf("%%s %d", 7));
  EXPECT_EQ("0000000000000010",
            StringPrintf("%p", reinterpret_cast<void*>(16)));
  EXPECT_EQ("00ab", StringPrintf("%04x", 0xab));
  // UTF-8 passes through %s untouched.
  EXPECT_EQ(
      "Gr\xc3\xbc\xc3\x9f"
      "e",
      StringPrintf("%s",
                   "Gr\xc3\xbc\xc3\x9f"
                   "e"));
  // Wide text through %ls goes via the C locale and loses non-ASCII text:
  // the reason to convert with WideToUTF8 and use %s instead.
  EXPECT_EQ("ab", StringPrintf("%ls", L"ab"));
  EXPECT_NE("\xe4\xb8\xad", StringPrintf("%ls", L"\u4e2d"));
  EXPECT_EQ("x 3", CallStringPrintV("%s %d", "x", 3));
}

TEST(StringPrintfTest, WideConversionsFollowMingwNotMicrosoft) {
  EXPECT_EQ(L"Local\\Kelvo/Installer/UI_lock",
            StringPrintf(L"Local\\%ls/Installer/UI_lock", L"Kelvo"));
  EXPECT_EQ(L"\u00e9\u4e2d\U0001f600!",
            StringPrintf(L"%ls%lc", L"\u00e9\u4e2d\U0001f600", L'!'));
  EXPECT_EQ(L"ascii 42", StringPrintf(L"%hs %d", "ascii", 42));
  EXPECT_EQ(L"  abc|", StringPrintf(L"%5ls|", L"abc"));
  EXPECT_EQ(L"KelvoCrashReporterInitEvent1234",
            StringPrintf(L"%ls%u", L"KelvoCrashReporterInitEvent", 1234u));
  EXPECT_EQ(L"100%", StringPrintf(L"%d%%", 100));
}

TEST(StringPrintfDeathTest, BareStringConversionInWideFormatIsRefused) {
  // Under Microsoft's runtime %s would read a wchar_t*; here a char*.
  EXPECT_DEATH(StringPrintf(L"%s", L"wide"), "use %ls");
  EXPECT_DEATH(StringPrintf(L"x %-4S", L"wide"), "use %ls");
}

TEST(StringPrintfTest, OutputLongerThanTheStackBuffer) {
  const std::string long_narrow(5000, 'n');
  EXPECT_EQ("<" + long_narrow + ">", StringPrintf("<%s>", long_narrow.c_str()));
  const std::wstring long_wide(3000, L'\u4e2d');
  EXPECT_EQ(L"<" + long_wide + L">", StringPrintf(L"<%ls>", long_wide.c_str()));
  // Exactly at the stack buffer's edge (1023 characters plus terminator).
  const std::string edge(1023, 'e');
  EXPECT_EQ(edge, StringPrintf("%s", edge.c_str()));
  const std::wstring wide_edge(1024, L'w');
  EXPECT_EQ(wide_edge, StringPrintf(L"%ls", wide_edge.c_str()));
}

TEST(StringPrintfTest, AppendAndOverwrite) {
  std::string narrow = "a";
  StringAppendF(&narrow, "%d%s", 1, "b");
  EXPECT_EQ("a1b", narrow);
  EXPECT_EQ("c", SStringPrintf(&narrow, "%c", 'c'));
  EXPECT_EQ("c", narrow);
  std::wstring wide = L"x";
  StringAppendF(&wide, L"=%ls", L"y");
  EXPECT_EQ(L"x=y", wide);
  SStringPrintf(&wide, L"");
  EXPECT_EQ(L"", wide);
}

}  // namespace
}  // namespace base
