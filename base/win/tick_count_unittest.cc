#include "base/win/tick_count.h"

#include <windows.h>

#include "gtest/gtest.h"

namespace base {
namespace win {
namespace {

constexpr uint64_t kWrap = 1ULL << 32;

TEST(TickCountTest, ExtendsTheTickCountOverItsWraps) {
  std::atomic<uint64_t> state{0};
  EXPECT_EQ(5u, ExtendTickCount(5, &state));
  EXPECT_EQ(0xFFFFFFF0u, ExtendTickCount(0xFFFFFFF0u, &state));
  // The 32-bit count wrapped: the 64-bit one goes on.
  EXPECT_EQ(kWrap + 3, ExtendTickCount(3, &state));
  EXPECT_EQ(kWrap + 0x70000000u, ExtendTickCount(0x70000000u, &state));
  EXPECT_EQ(kWrap + 0xE0000000u, ExtendTickCount(0xE0000000u, &state));
  EXPECT_EQ(2 * kWrap + 1, ExtendTickCount(1, &state));
}

// Threads read GetTickCount in one order and extend it in another: a
// reading slightly older than the last is neither a wrap nor a step back
// of the last one.
TEST(TickCountTest, LateReadingsAreNoWraps) {
  std::atomic<uint64_t> state{0};
  EXPECT_EQ(1000u, ExtendTickCount(1000, &state));
  EXPECT_EQ(990u, ExtendTickCount(990, &state));
  EXPECT_EQ(1001u, ExtendTickCount(1001, &state));
  EXPECT_EQ(0x7FFFFFFFu, ExtendTickCount(0x7FFFFFFFu, &state));
  EXPECT_EQ(0xFFFFFF00u, ExtendTickCount(0xFFFFFF00u, &state));
  // Across a wrap: the late reading belongs to the epoch before.
  EXPECT_EQ(kWrap + 10, ExtendTickCount(10, &state));
  EXPECT_EQ(0xFFFFFFFAu, ExtendTickCount(0xFFFFFFFAu, &state));
  EXPECT_EQ(kWrap + 11, ExtendTickCount(11, &state));
}

// Every call of GetTickCount64 in the installer's modules goes through the
// stand-in, which follows the system's clock.
TEST(TickCountTest, StandsInForGetTickCount64) {
  const ULONGLONG before = ::GetTickCount();
  const ULONGLONG now = ::GetTickCount64();
  EXPECT_GE(now % kWrap, before);
  EXPECT_LE(now % kWrap, static_cast<ULONGLONG>(::GetTickCount()));
}

}  // namespace
}  // namespace win
}  // namespace base
