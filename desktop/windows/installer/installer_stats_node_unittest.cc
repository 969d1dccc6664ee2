#include "desktop/windows/installer/installer_stats_node.h"

#include <thread>
#include <vector>

#include "base/strings/stringprintf.h"
#include "base/synchronization/lock.h"
#include "base/values.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class InstallerStatsNodeTest : public testing::Test {
 protected:
  InstallerStatsNode Root() {
    return InstallerStatsNode(&root_, &lock_, base::TimeTicks::Now());
  }
  int Integer(const char* key) const {
    int value = -1;
    EXPECT_TRUE(root_.GetInteger(key, &value)) << key;
    return value;
  }

  base::Lock lock_;
  base::DictionaryValue root_;
};

TEST_F(InstallerStatsNodeTest, DottedKeysCreateTheDictionariesOnTheWay) {
  Root().SetInteger("os.version.major", 10);
  Root().SetInteger("os.version.minor", 0);
  EXPECT_EQ(10, Integer("os.version.major"));
  EXPECT_EQ(0, Integer("os.version.minor"));

  // A value in the way of a deeper key gives way to a dictionary.
  Root().SetString("choice", "custom");
  Root().SetInteger("choice.folder", 1);
  EXPECT_EQ(1, Integer("choice.folder"));
}

TEST_F(InstallerStatsNodeTest, ByteCountsBeyond32BitsStayExact) {
  Root().SetInteger64("small", 2147483647);
  Root().SetInteger64("large", 3000000000LL);
  EXPECT_EQ(2147483647, Integer("small"));
  double large = 0;
  EXPECT_TRUE(root_.GetDouble("large", &large));
  EXPECT_EQ(3000000000.0, large);
}

TEST(FormatStatsTimeTest, WritesUtcWithMilliseconds) {
  base::Time::Exploded exploded;
  exploded.year = 2026;
  exploded.month = 12;
  exploded.day_of_month = 5;
  exploded.hour = 15;
  exploded.minute = 20;
  exploded.second = 7;
  exploded.millisecond = 42;
  base::Time time;
  ASSERT_TRUE(base::Time::FromUTCExploded(exploded, &time));
  EXPECT_EQ("2026-12-05 15:20:07.042", FormatStatsTime(time));
  // Sub-millisecond parts are cut, not rounded.
  EXPECT_EQ("2026-12-05 15:20:07.042",
            FormatStatsTime(time + base::TimeDelta::FromMicroseconds(999)));
}

// The package fetcher's worker writes while the main thread does.
TEST_F(InstallerStatsNodeTest, ConcurrentWritersLoseNothing) {
  constexpr int kThreads = 4;
  constexpr int kKeys = 200;
  InstallerStatsNode root = Root();
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([root, t]() mutable {
      for (int i = 0; i < kKeys; ++i)
        root.SetInteger(base::StringPrintf("t%d.k%d", t, i), i);
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  for (int t = 0; t < kThreads; ++t) {
    const base::DictionaryValue* keys = nullptr;
    ASSERT_TRUE(root_.GetDictionary(base::StringPrintf("t%d", t), &keys));
    EXPECT_EQ(static_cast<size_t>(kKeys), keys->size());
  }
}

}  // namespace
}  // namespace installer
