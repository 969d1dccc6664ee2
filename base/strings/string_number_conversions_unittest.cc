#include "base/strings/string_number_conversions.h"

#include <limits.h>
#include <stdint.h>

#include <limits>

#include "gtest/gtest.h"

namespace base {
namespace {

TEST(StringNumberConversionsTest, StringToIntIsStrictButWritesBestEffort) {
  struct {
    const char* input;
    int output;
    bool success;
  } cases[] = {{"+42", 42, true},
               {"2147483647", INT_MAX, true},
               {"-2147483648", INT_MIN, true},
               {"2147483648", INT_MAX, false},
               {"-2147483649", INT_MIN, false},
               {"99999999999999999999", INT_MAX, false},
               {" 42", 42, false},
               {"42 ", 42, false},
               {"42abc", 42, false},
               {"abc42", 0, false},
               {"", 0, false},
               {"-", 0, false},
               {"+-1", 0, false}};
  for (const auto& c : cases) {
    int output = 12345;
    EXPECT_EQ(c.success, StringToInt(c.input, &output)) << c.input;
    EXPECT_EQ(c.output, output) << c.input;
  }
  int wide_output = 0;
  EXPECT_TRUE(StringToInt(L"-17", &wide_output));
  EXPECT_EQ(-17, wide_output);
  EXPECT_FALSE(StringToInt(L"\uff11", &wide_output));  // Fullwidth digit.
}

TEST(StringNumberConversionsTest, UnsignedParsersRefuseAnySign) {
  unsigned u = 7;
  EXPECT_TRUE(StringToUint("4294967295", &u));
  EXPECT_EQ(UINT_MAX, u);
  EXPECT_FALSE(StringToUint("4294967296", &u));
  EXPECT_EQ(UINT_MAX, u);
  EXPECT_FALSE(StringToUint("+1", &u));
  EXPECT_EQ(0u, u);
  EXPECT_FALSE(StringToUint("-0", &u));

  int64_t i64 = 0;
  EXPECT_TRUE(StringToInt64("-9223372036854775808", &i64));
  EXPECT_EQ(std::numeric_limits<int64_t>::min(), i64);
  EXPECT_FALSE(StringToInt64("9223372036854775808", &i64));
  EXPECT_EQ(std::numeric_limits<int64_t>::max(), i64);
}

TEST(StringNumberConversionsTest, NumbersToText) {
  EXPECT_EQ("-2147483648", IntToString(INT_MIN));
  EXPECT_EQ("0.1", NumberToString(0.1));
}

TEST(StringNumberConversionsTest, HexEncodingAndParsing) {
  const uint8_t bytes[] = {0x00, 0x01, 0xab, 0xff};
  EXPECT_EQ("0001ABFF", HexEncode(bytes, sizeof(bytes)));
  EXPECT_EQ("", HexEncode(bytes, 0));

  std::vector<uint8_t> out;
  EXPECT_TRUE(HexStringToBytes("0aFF", &out));
  EXPECT_EQ((std::vector<uint8_t>{0x0a, 0xff}), out);
  out.clear();
  EXPECT_FALSE(HexStringToBytes("abc", &out));  // Odd length.
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(HexStringToBytes("01zz", &out));
  EXPECT_EQ((std::vector<uint8_t>{0x01}), out);
  out.clear();
  EXPECT_FALSE(HexStringToBytes("0x01", &out));
}

}  // namespace
}  // namespace base
