#include "base/time/time.h"

#include "gtest/gtest.h"

namespace base {
namespace {

TEST(TimeDeltaTest, RoundingAndSaturation) {
  EXPECT_EQ(0, TimeDelta::FromMicroseconds(999).InMilliseconds());
  EXPECT_EQ(1, TimeDelta::FromMicroseconds(1).InMillisecondsRoundedUp());
  EXPECT_EQ(-1, TimeDelta::FromMicroseconds(-1999).InMillisecondsRoundedUp());
  EXPECT_GT(TimeTicks::Now() + TimeDelta::Max(), TimeTicks::Now());
}

TEST(TimeDeltaTest, WaitsNeverBecomeInfiniteByAccident) {
  EXPECT_EQ(INFINITE, TimeDelta::Max().InMillisecondsForWait());
  EXPECT_EQ(0u, TimeDelta::FromSeconds(-5).InMillisecondsForWait());
  EXPECT_EQ(1u, TimeDelta::FromMicroseconds(10).InMillisecondsForWait());
  EXPECT_EQ(INFINITE - 1,
            TimeDelta::FromDays(365 * 100).InMillisecondsForWait());
}

TEST(TimeTest, ExplodeInUtcAndRoundTripInLocalTime) {
  const Time t = Time::FromTimeT(1489345216);
  EXPECT_EQ(1489345216, t.ToTimeT());
  Time::Exploded utc;
  t.UTCExplode(&utc);
  EXPECT_EQ(2017, utc.year);
  EXPECT_EQ(3, utc.month);
  EXPECT_EQ(0, utc.day_of_week);  // A Sunday.
  EXPECT_EQ(12, utc.day_of_month);
  EXPECT_EQ(19, utc.hour);
  EXPECT_EQ(16, utc.second);

  Time::Exploded local;
  t.LocalExplode(&local);
  Time back;
  ASSERT_TRUE(Time::FromLocalExploded(local, &back));
  EXPECT_EQ(t, back);
  local.month = 2;
  local.day_of_month = 30;
  EXPECT_FALSE(Time::FromLocalExploded(local, &back));
  EXPECT_TRUE(back.is_null());
}

}  // namespace
}  // namespace base
