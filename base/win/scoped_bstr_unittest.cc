#include "base/win/scoped_bstr.h"

#include <windows.h>

#include <oleauto.h>

#include <string>

#include "gtest/gtest.h"

namespace base {
namespace win {
namespace {

TEST(ScopedBstrTest, KeepsEmbeddedNullsAndOwnsWhatItReceives) {
  const std::wstring text(L"a\0b", 3);
  ScopedBstr bstr(text);
  EXPECT_EQ(3u, bstr.Length());
  EXPECT_EQ(6u, bstr.ByteLength());
  EXPECT_EQ(text, std::wstring(bstr.Get(), bstr.Length()));

  ScopedBstr number;
  ASSERT_EQ(S_OK, ::VarBstrFromI4(42, LOCALE_INVARIANT, 0, number.Receive()));
  BSTR released = number.Release();
  EXPECT_EQ(nullptr, number.Get());
  bstr.Reset(released);
  EXPECT_STREQ(L"42", bstr.Get());
}

// The text runs to the length the BSTR records, past embedded NULs; no
// BSTR and an empty one are both no text.
TEST(ScopedBstrTest, TextOfABstrToItsRecordedLength) {
  const std::wstring text(L"a\0b", 3);
  ScopedBstr bstr(text);
  EXPECT_EQ(text, BstrToString(bstr));
  EXPECT_EQ(std::wstring(), BstrToString(nullptr));
  ScopedBstr empty(std::wstring{});
  ASSERT_NE(nullptr, empty.Get());
  EXPECT_EQ(std::wstring(), BstrToString(empty));
}

}  // namespace
}  // namespace win
}  // namespace base
