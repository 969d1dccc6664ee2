#include "crypto/sha256_hash.h"

#include <stdint.h>

#include <memory>
#include <string>

#include "crypto/cng_sha256.h"
#include "crypto/sha256_blocks.h"
#include "gtest/gtest.h"

namespace crypto {
namespace {

std::string Digest(SecureHash* hash) {
  std::string digest(32, '\0');
  hash->Finish(digest.data(), digest.size());
  return digest;
}

// Bytes that differ from one position to the next and from one block to
// the next.
std::string Pattern(size_t size) {
  std::string data(size, '\0');
  uint32_t x = 2531;
  for (char& c : data) {
    x = x * 1103515245 + 12345;
    c = static_cast<char>(x >> 16);
  }
  return data;
}

// With the processor's SHA extensions, and in plain C++ (before Vista).
class Sha256HashTest : public testing::TestWithParam<Sha256BlockFunction> {
 protected:
  void SetUp() override {
    if (GetParam() == &HashSha256Blocks && !CanHashSha256Blocks())
      GTEST_SKIP() << "this processor has no SHA extensions";
  }

  std::string Reference(const std::string& data) {
    std::unique_ptr<SecureHash> cng = CreateCngSha256();
    EXPECT_TRUE(cng);
    if (!cng)
      return std::string();
    cng->Update(data.data(), data.size());
    return Digest(cng.get());
  }
};

// Every length across the padding's boundaries (55/56 bytes left in the
// last block need one or two more blocks), whole and in pieces that end
// on and off block boundaries.
TEST_P(Sha256HashTest, AgreesWithCngAtEveryLengthAndSplit) {
  const std::string data = Pattern(300);
  for (size_t size = 0; size <= data.size(); ++size) {
    const std::string input = data.substr(0, size);
    const std::string expected = Reference(input);
    Sha256Hash whole(GetParam());
    whole.Update(input.data(), input.size());
    EXPECT_EQ(expected, Digest(&whole)) << "size " << size;
    for (size_t piece : {1u, 7u, 63u, 64u, 65u}) {
      Sha256Hash pieces(GetParam());
      for (size_t at = 0; at < size; at += piece)
        pieces.Update(input.data() + at, std::min(piece, size - at));
      EXPECT_EQ(expected, Digest(&pieces))
          << "size " << size << " in pieces " << piece;
    }
  }
}

TEST_P(Sha256HashTest, LargeInputInDownloadSizedPieces) {
  const std::string data = Pattern(3 * 1024 * 1024 + 17);
  Sha256Hash hash(GetParam());
  // Reads of a download end anywhere.
  size_t at = 0;
  for (size_t piece = 1; at < data.size(); piece = piece * 3 + 1) {
    const size_t size = std::min(piece % (256 * 1024) + 1, data.size() - at);
    hash.Update(data.data() + at, size);
    at += size;
  }
  EXPECT_EQ(Reference(data), Digest(&hash));
}

TEST_P(Sha256HashTest, CloneGoesOnIndependently) {
  const std::string data = Pattern(200);
  Sha256Hash hash(GetParam());
  hash.Update(data.data(), 100);
  std::unique_ptr<SecureHash> copy = hash.Clone();
  ASSERT_TRUE(copy);
  hash.Update(data.data() + 100, 100);
  copy->Update("x", 1);
  EXPECT_EQ(Reference(data), Digest(&hash));
  EXPECT_EQ(Reference(data.substr(0, 100) + "x"), Digest(copy.get()));
}

TEST_P(Sha256HashTest, ShortDigestIsThePrefix) {
  Sha256Hash full(GetParam());
  full.Update("abc", 3);
  Sha256Hash short_one(GetParam());
  short_one.Update("abc", 3);
  std::string prefix(5, '\0');
  short_one.Finish(prefix.data(), prefix.size());
  EXPECT_EQ(Digest(&full).substr(0, 5), prefix);
}

INSTANTIATE_TEST_SUITE_P(BlockFunctions,
                         Sha256HashTest,
                         testing::Values(&HashSha256Blocks,
                                         &HashSha256BlocksPortable));

}  // namespace
}  // namespace crypto
