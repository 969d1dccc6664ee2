#include "components/sevenzip/bcj_x86_filter.h"

#include <random>
#include <string>

#include "gtest/gtest.h"

namespace sevenzip {
namespace {

std::string Convert(std::string data) {
  BcjX86Filter filter;
  filter.Convert(reinterpret_cast<Byte*>(data.data()), data.size());
  return data;
}

TEST(BcjX86FilterTest, TurnsTargetsBackIntoRelativeOnes) {
  // A CALL at position 16 whose absolute target 0x1015 is 0x1000 past the
  // instruction's end, and a JMP back to position 0.
  std::string code(16, '\x90');
  code += std::string("\xE8\x15\x10\x00\x00", 5);
  code += std::string("\xE9\x00\x00\x00\x00", 5);
  code += std::string(8, '\x90');
  std::string expected = code;
  expected.replace(16, 5, std::string("\xE8\x00\x10\x00\x00", 5));
  expected.replace(21, 5, std::string("\xE9\xE6\xFF\xFF\xFF", 5));
  EXPECT_EQ(expected, Convert(code));

  // Not an address near the image: the byte after E8 is data.
  const std::string data("\xE8\x15\x10\x00\x12\x90\x90\x90\x90\x90", 10);
  EXPECT_EQ(data, Convert(data));
  // The last four bytes of the stream cannot hold a whole target.
  const std::string tail("\x90\x90\x90\x90\x90\xE8\x15\x10\x00", 9);
  EXPECT_EQ(tail, Convert(tail));
}

// The result does not depend on how the stream is cut into pieces.
TEST(BcjX86FilterTest, PiecesGiveTheSameResult) {
  std::mt19937 random(5);
  std::string code(20000, '\0');
  for (char& c : code) {
    const unsigned roll = random() % 8;
    c = roll == 0   ? '\xE8'
        : roll == 1 ? '\xE9'
        : roll < 4  ? (roll == 2 ? '\x00' : '\xFF')
                    : static_cast<char>(random());
  }
  const std::string whole = Convert(code);
  ASSERT_NE(code, whole);
  for (size_t piece : {1, 4, 5, 6, 7, 64, 4093}) {
    BcjX86Filter filter;
    std::string pieces;
    std::string pending;
    for (size_t at = 0; at < code.size(); at += piece) {
      pending += code.substr(at, piece);
      const size_t done = filter.Convert(
          reinterpret_cast<Byte*>(pending.data()), pending.size());
      pieces += pending.substr(0, done);
      pending.erase(0, done);
    }
    EXPECT_EQ(whole, pieces + pending) << piece;
  }
}

}  // namespace
}  // namespace sevenzip
