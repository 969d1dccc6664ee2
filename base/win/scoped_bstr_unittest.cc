#include "base/win/scoped_bstr.h"

#include <windows.h>

#include <oleauto.h>

#include <string>

#include "gtest/gtest.h"

namespace base {
namespace win {
namespace {

TEST(ScopedBstrTest, AllocatesKeepingEmbeddedNulls) {
  const std::wstring text(L"a\0b", 3);
  ScopedBstr bstr(text);
  ASSERT_TRUE(bstr.Get());
  EXPECT_EQ(3u, bstr.Length());
  EXPECT_EQ(6u, bstr.ByteLength());
  EXPECT_EQ(text, std::wstring(bstr.Get(), bstr.Length()));

  ScopedBstr empty;
  EXPECT_EQ(nullptr, empty.Get());
  EXPECT_EQ(0u, empty.Length());
  ASSERT_TRUE(empty.Allocate(L""));
  EXPECT_EQ(0u, empty.Length());
  EXPECT_STREQ(L"", empty.Get());
}

TEST(ScopedBstrTest, ReceivesReleasesAndSwaps) {
  ScopedBstr number;
  ASSERT_EQ(S_OK, ::VarBstrFromI4(42, LOCALE_INVARIANT, 0, number.Receive()));
  EXPECT_STREQ(L"42", number.Get());

  BSTR released = number.Release();
  EXPECT_EQ(nullptr, number.Get());
  ScopedBstr other(L"other");
  other.Swap(number);
  EXPECT_STREQ(L"other", number.Get());
  EXPECT_EQ(nullptr, other.Get());
  other.Reset(released);
  EXPECT_STREQ(L"42", other.Get());
  other.Reset();
  EXPECT_EQ(nullptr, other.Get());
}

}  // namespace
}  // namespace win
}  // namespace base
