#include "base/strings/stringprintf.h"

#include <stdint.h>

#include "gtest/gtest.h"

namespace base {
namespace {

TEST(StringPrintfTest, ConversionsAreC99AndMingwNotMicrosoft) {
  EXPECT_EQ("pid 1234, -5, 18446744073709551615, 4096 %s",
            StringPrintf("pid %u, %d, %llu, %zu %%s", 1234u, -5, UINT64_MAX,
                         static_cast<size_t>(4096)));
  EXPECT_EQ(L"Local\\Kelvo/Installer/UI_lock",
            StringPrintf(L"Local\\%ls/Installer/UI_lock", L"Kelvo"));
  EXPECT_EQ(L"\u00e9\u4e2d\U0001f600!",
            StringPrintf(L"%ls%lc", L"\u00e9\u4e2d\U0001f600", L'!'));
  EXPECT_EQ(L"ascii 42", StringPrintf(L"%hs %d", "ascii", 42));
  EXPECT_EQ(L"  abc|", StringPrintf(L"%5ls|", L"abc"));
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

  std::wstring appended = L"x";
  StringAppendF(&appended, L"=%ls", long_wide.c_str());
  EXPECT_EQ(L"x=" + long_wide, appended);
}

}  // namespace
}  // namespace base
