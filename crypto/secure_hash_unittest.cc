#include "crypto/secure_hash.h"

#include <stdint.h>

#include <memory>
#include <string>

#include "gtest/gtest.h"

namespace crypto {
namespace {

std::string Hex(const uint8_t* bytes, size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (size_t i = 0; i < size; ++i) {
    hex.push_back(kDigits[bytes[i] >> 4]);
    hex.push_back(kDigits[bytes[i] & 0xF]);
  }
  return hex;
}

std::string FinishHex(SecureHash* hash) {
  uint8_t digest[32];
  hash->Finish(digest, sizeof(digest));
  return Hex(digest, sizeof(digest));
}

constexpr char kAbcDigest[] =
    "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
constexpr char kEmptyDigest[] =
    "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

TEST(SecureHashTest, StandardVectors) {
  std::unique_ptr<SecureHash> hash = SecureHash::Create(SecureHash::SHA256);
  ASSERT_TRUE(hash);
  EXPECT_EQ(32u, hash->GetHashLength());
  // Pieces add up to the whole.
  hash->Update("a", 1);
  hash->Update("bc", 2);
  EXPECT_EQ(kAbcDigest, FinishHex(hash.get()));

  hash = SecureHash::Create(SecureHash::SHA256);
  EXPECT_EQ(kEmptyDigest, FinishHex(hash.get()));
  hash = SecureHash::Create(SecureHash::SHA256);
  hash->Update(nullptr, 0);
  EXPECT_EQ(kEmptyDigest, FinishHex(hash.get()));

  // Two blocks' worth (FIPS 180-2 example).
  const std::string two_blocks =
      "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
  hash = SecureHash::Create(SecureHash::SHA256);
  hash->Update(two_blocks.data(), two_blocks.size());
  EXPECT_EQ("248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1",
            FinishHex(hash.get()));
}

}  // namespace
}  // namespace crypto
