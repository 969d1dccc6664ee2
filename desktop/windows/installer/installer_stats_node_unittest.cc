#include "desktop/windows/installer/installer_stats_node.h"

#include <thread>
#include <vector>

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
  std::string String(const char* key) const {
    std::string value;
    EXPECT_TRUE(root_.GetString(key, &value)) << key;
    return value;
  }
  size_t ListSize(const char* key) const {
    const base::ListValue* list = nullptr;
    return root_.GetList(key, &list) ? list->GetSize() : 0;
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

TEST_F(InstallerStatsNodeTest, IncrementCountsFromZero) {
  InstallerStatsNode root = Root();
  root.IncrementInteger("ui.clicks.back");
  root.IncrementInteger("ui.clicks.back");
  EXPECT_EQ(2, Integer("ui.clicks.back"));
  // Anything but an integer counts as zero.
  root.SetString("text", "7");
  root.IncrementInteger("text");
  EXPECT_EQ(1, Integer("text"));
  root.SetInteger("full", 2147483647);
  root.IncrementInteger("full");
  EXPECT_EQ(2147483647, Integer("full"));
}

TEST_F(InstallerStatsNodeTest, ListEntriesKeepTheirNodes) {
  InstallerStatsNode root = Root();
  InstallerStatsNode first = root.AppendListEntry("fetches");
  first.SetString("url", "first");

  // Many more entries move the list's storage; the nodes still write where
  // they belong.
  for (int i = 0; i < 100; ++i)
    root.AppendListEntry("fetches");
  first.IncrementInteger("chunks.count");
  const base::ListValue* fetches = nullptr;
  ASSERT_TRUE(root_.GetList("fetches", &fetches));
  ASSERT_EQ(101u, fetches->GetSize());
  const base::DictionaryValue* entry = nullptr;
  ASSERT_TRUE(fetches->GetDictionary(0, &entry));
  std::string url;
  EXPECT_TRUE(entry->GetString("url", &url));
  EXPECT_EQ("first", url);
  int count = 0;
  EXPECT_TRUE(entry->GetInteger("chunks.count", &count));
  EXPECT_EQ(1, count);

  // A value that is no list gives way to one.
  root.SetString("errors", "none");
  root.AppendListEntry("errors").SetInteger("code", 5);
  EXPECT_EQ(1u, ListSize("errors"));
}

TEST_F(InstallerStatsNodeTest, FetchStatsCountChunksAndDistinctAddresses) {
  InstallerStatsNode root = Root();
  InstallerStatsNode first = root.AppendListEntry("fetches");
  InstallerStatsNode second = root.AppendListEntry("fetches");
  first.AppendListEntry("download_chunks").SetString("ip", "10.0.0.2");
  first.AppendListEntry("download_chunks").SetString("ip", "10.0.0.1");
  first.AppendListEntry("download_chunks");
  second.AppendListEntry("download_chunks").SetString("ip", "10.0.0.2");
  second.AppendListEntry("download_chunks").SetInteger("ip", 7);
  // A fetch that never got to download anything.
  root.AppendListEntry("fetches").SetString("error", "dns");

  root.RecordFetchStats();
  EXPECT_EQ(5, Integer("wininet_retries"));
  EXPECT_EQ("10.0.0.1; 10.0.0.2", String("download_ips"));
}

TEST_F(InstallerStatsNodeTest, FetchStatsWriteNothingWithoutFetches) {
  InstallerStatsNode root = Root();
  root.SetString("fetches", "not a list");
  root.RecordFetchStats();
  EXPECT_FALSE(root_.HasKey("wininet_retries"));
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
  constexpr int kThreads = 8;
  constexpr int kIncrements = 1000;
  InstallerStatsNode root = Root();
  InstallerStatsNode first = root.AppendListEntry("fetches");
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([root, t]() mutable {
      for (int i = 0; i < kIncrements; ++i) {
        root.IncrementInteger("counter");
        if (i % 50 == 0) {
          InstallerStatsNode entry = root.AppendListEntry("fetches");
          entry.SetInteger("thread", t);
          entry.IncrementInteger("chunks");
        }
      }
    });
  }
  threads.emplace_back([first]() mutable {
    for (int i = 0; i < kIncrements; ++i)
      first.IncrementInteger("retries");
  });
  for (std::thread& thread : threads)
    thread.join();

  EXPECT_EQ(kThreads * kIncrements, Integer("counter"));
  const base::ListValue* fetches = nullptr;
  ASSERT_TRUE(root_.GetList("fetches", &fetches));
  EXPECT_EQ(1u + kThreads * (kIncrements / 50), fetches->GetSize());
  const base::DictionaryValue* entry = nullptr;
  ASSERT_TRUE(fetches->GetDictionary(0, &entry));
  int retries = 0;
  EXPECT_TRUE(entry->GetInteger("retries", &retries));
  EXPECT_EQ(kIncrements, retries);
}

}  // namespace
}  // namespace installer
