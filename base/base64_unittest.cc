#include "base/base64.h"

#include "gtest/gtest.h"

namespace base {
namespace {

TEST(Base64Test, DecodesStandardVectors) {
  const struct {
    const char* encoded;
    std::string plain;
  } cases[] = {{"", ""},
               {"Zg==", "f"},
               {"Zm8=", "fo"},
               {"Zm9vYmFy", "foobar"},
               {"+/8=", "\xfb\xff"}};
  for (const auto& c : cases) {
    std::string decoded;
    EXPECT_TRUE(Base64Decode(c.encoded, &decoded)) << c.encoded;
    EXPECT_EQ(c.plain, decoded);
  }
}

TEST(Base64Test, DecodingIsStrict) {
  const char* const bad[] = {"Zm9v\n", " Zm9v", "Zm8",   "Zm9vY",
                             "Zm=v",   "Z===",  "====",  "Zg==Zg==",
                             "Zm-_",   "Zg=",   "Zm9v=", "Zm\x80v"};
  for (const char* input : bad) {
    std::string output = "untouched";
    EXPECT_FALSE(Base64Decode(input, &output)) << input;
    EXPECT_EQ("untouched", output);
  }
  // Non-zero unused low bits are tolerated, as the decoder always did.
  std::string output;
  EXPECT_TRUE(Base64Decode("Zh==", &output));
  EXPECT_EQ("f", output);
  // A NUL inside the text is a bad character, not an end.
  EXPECT_FALSE(Base64Decode(std::string("Zg\0=", 4), &output));
}

}  // namespace
}  // namespace base
