#include "crypto/sha2.h"

#include <stdint.h>
#include <string.h>

#include <string>
#include <thread>
#include <vector>

#include "gtest/gtest.h"

namespace crypto {
namespace {

TEST(SHA256HashStringTest, MatchesTheStandardVectors) {
  std::string digest = SHA256HashString("abc");
  ASSERT_EQ(kSHA256Length, digest.size());
  const uint8_t expected[] = {0xba, 0x78, 0x16, 0xbf, 0x8f, 0x01, 0xcf, 0xea,
                              0x41, 0x41, 0x40, 0xde, 0x5d, 0xae, 0x22, 0x23,
                              0xb0, 0x03, 0x61, 0xa3, 0x96, 0x17, 0x7a, 0x9c,
                              0xb4, 0x10, 0xff, 0x61, 0xf2, 0x00, 0x15, 0xad};
  EXPECT_EQ(0, memcmp(expected, digest.data(), sizeof(expected)));

  // Embedded zero bytes are hashed, not taken as the end.
  EXPECT_NE(SHA256HashString(std::string("a\0b", 3)), SHA256HashString("a"));
  EXPECT_EQ(static_cast<char>(0xe3), SHA256HashString("")[0]);
}

// The provider is shared by the whole process.
TEST(SHA256HashStringTest, WorksFromManyThreadsAtOnce) {
  const std::string expected = SHA256HashString("abc");
  std::vector<std::thread> threads;
  std::vector<int> matches(8, 0);
  for (size_t t = 0; t < matches.size(); ++t) {
    threads.emplace_back([&expected, &matches, t] {
      for (int i = 0; i < 200; ++i)
        matches[t] += SHA256HashString("abc") == expected ? 1 : 0;
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  for (int count : matches)
    EXPECT_EQ(200, count);
}

}  // namespace
}  // namespace crypto
