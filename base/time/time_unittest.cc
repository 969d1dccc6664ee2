#include "base/time/time.h"

#include "gtest/gtest.h"

namespace base {
namespace {

TEST(TimeDeltaTest, ConversionsRoundingAndSaturation) {
  EXPECT_EQ(1500, TimeDelta::FromSecondsD(1.5).InMilliseconds());
  EXPECT_EQ(0, TimeDelta::FromMicroseconds(999).InMilliseconds());
  EXPECT_EQ(1, TimeDelta::FromMicroseconds(1).InMillisecondsRoundedUp());
  EXPECT_EQ(-1, TimeDelta::FromMicroseconds(-1999).InMillisecondsRoundedUp());
  EXPECT_EQ(15724800000000LL, TimeDelta::FromDays(182).InMicroseconds());
  EXPECT_TRUE((TimeDelta::Max() + TimeDelta::FromSeconds(1)).is_max());
  EXPECT_GT(TimeTicks::Now() + TimeDelta::Max(), TimeTicks::Now());
}

TEST(TimeDeltaTest, WaitsNeverBecomeInfiniteByAccident) {
  EXPECT_EQ(INFINITE, TimeDelta::Max().InMillisecondsForWait());
  EXPECT_EQ(0u, TimeDelta::FromSeconds(-5).InMillisecondsForWait());
  EXPECT_EQ(1u, TimeDelta::FromMicroseconds(10).InMillisecondsForWait());
  EXPECT_EQ(INFINITE - 1,
            TimeDelta::FromDays(365 * 100).InMillisecondsForWait());
}

TEST(TimeTest, ExplodeRoundTripsInUtcAndLocal) {
  Time::Exploded in;
  in.year = 2017;
  in.month = 3;
  in.day_of_month = 12;
  in.hour = 19;
  in.minute = 0;
  in.second = 16;
  in.millisecond = 250;
  Time t;
  ASSERT_TRUE(Time::FromUTCExploded(in, &t));
  Time::Exploded out;
  t.UTCExplode(&out);
  EXPECT_EQ(2017, out.year);
  EXPECT_EQ(3, out.month);
  EXPECT_EQ(0, out.day_of_week);  // A Sunday.
  EXPECT_EQ(12, out.day_of_month);
  EXPECT_EQ(19, out.hour);
  EXPECT_EQ(16, out.second);
  EXPECT_EQ(250, out.millisecond);

  ASSERT_TRUE(Time::FromLocalExploded(in, &t));
  t.LocalExplode(&out);
  EXPECT_EQ(19, out.hour);
  EXPECT_EQ(12, out.day_of_month);

  in.month = 2;
  in.day_of_month = 30;
  EXPECT_FALSE(Time::FromUTCExploded(in, &t));
  EXPECT_TRUE(t.is_null());
}

TEST(TimeTest, UnixEpochAndTimeT) {
  EXPECT_EQ(0, Time::UnixEpoch().ToTimeT());
  Time t = Time::FromTimeT(1489345216);
  EXPECT_EQ(1489345216, t.ToTimeT());
  EXPECT_EQ(1489345216000.0, t.ToJsTime());
  EXPECT_EQ(t, Time::FromFileTime(t.ToFileTime()));
}

}  // namespace
}  // namespace base
