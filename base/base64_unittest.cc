#include "base/base64.h"

#include "gtest/gtest.h"

namespace base {
namespace {

TEST(Base64Test, StandardVectorsRoundTrip) {
  const struct {
    const char* plain;
    const char* encoded;
  } cases[] = {{"", ""},
               {"f", "Zg=="},
               {"fo", "Zm8="},
               {"foo", "Zm9v"},
               {"foobar", "Zm9vYmFy"}};
  for (const auto& c : cases) {
    std::string encoded, decoded;
    Base64Encode(c.plain, &encoded);
    EXPECT_EQ(c.encoded, encoded);
    EXPECT_TRUE(Base64Decode(c.encoded, &decoded)) << c.encoded;
    EXPECT_EQ(c.plain, decoded);
  }

  std::string all_bytes;
  for (int i = 0; i < 256; ++i)
    all_bytes.push_back(static_cast<char>(i));
  std::string encoded, decoded;
  Base64Encode(all_bytes, &encoded);
  EXPECT_NE(std::string::npos, encoded.find("+/"));
  ASSERT_TRUE(Base64Decode(encoded, &decoded));
  EXPECT_EQ(all_bytes, decoded);
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
