#include "desktop/windows/installer/installer_stats_node.h"

#include <string>
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

// Dotted keys make the dictionaries on the way; a value in the way of a
// deeper key, or of an increment, gives way.
TEST_F(InstallerStatsNodeTest, DottedKeysIncrementsAndRemovals) {
  Root().SetInteger("os.version.major", 10);
  Root().SetInteger("os.version.minor", 0);
  EXPECT_EQ(10, Integer("os.version.major"));
  EXPECT_EQ(0, Integer("os.version.minor"));
  Root().SetString("choice", "custom");
  Root().SetInteger("choice.folder", 1);
  EXPECT_EQ(1, Integer("choice.folder"));

  Root().IncrementInteger("retries");
  EXPECT_EQ(1, Integer("retries"));
  Root().IncrementInteger("retries");
  EXPECT_EQ(2, Integer("retries"));
  Root().SetString("ui.page", "welcome");
  Root().IncrementInteger("ui.page");
  EXPECT_EQ(1, Integer("ui.page"));
  Root().Remove("ui.page");
  Root().Remove("ui.none");
  const base::DictionaryValue* ui = nullptr;
  ASSERT_TRUE(root_.GetDictionary("ui", &ui));
  EXPECT_TRUE(ui->empty());
}

// Each entry of a list is a node of its own: writes through an earlier one
// land in its entry however many follow.
TEST_F(InstallerStatsNodeTest, ListEntriesKeepTheirOwnDictionaries) {
  InstallerStatsNode first = Root().AppendListEntry("fetches");
  InstallerStatsNode second = Root().AppendListEntry("fetches");
  for (int i = 0; i < 20; ++i)
    Root().AppendListEntry("fetches");
  first.SetString("url", "first");
  second.IncrementInteger("download_chunks_failed");
  const base::ListValue* fetches = nullptr;
  ASSERT_TRUE(root_.GetList("fetches", &fetches));
  ASSERT_EQ(22u, fetches->GetSize());
  const base::DictionaryValue* entry = nullptr;
  std::string url;
  ASSERT_TRUE(fetches->GetDictionary(0, &entry));
  EXPECT_TRUE(entry->GetString("url", &url));
  EXPECT_EQ("first", url);
  ASSERT_TRUE(fetches->GetDictionary(1, &entry));
  EXPECT_FALSE(entry->HasKey("url"));
  EXPECT_TRUE(entry->HasKey("download_chunks_failed"));
}

// Two fetches of 3 and 2 chunks from the addresses 10.0.0.2, 10.0.0.1 and
// 10.0.0.2 give 5 tries from the two addresses in order.
TEST_F(InstallerStatsNodeTest, FetchStatisticsSumChunksAndListAddressesOnce) {
  Root().RecordFetchStats();
  EXPECT_TRUE(root_.empty());

  InstallerStatsNode fetch = Root().AppendListEntry("fetches");
  for (const char* ip :
       {"10.0.0.2", "10.0.0.1", static_cast<const char*>(nullptr)}) {
    InstallerStatsNode chunk = fetch.AppendListEntry("download_chunks");
    if (ip)
      chunk.SetString("ip", ip);
  }
  fetch = Root().AppendListEntry("fetches");
  fetch.AppendListEntry("download_chunks").SetString("ip", "10.0.0.2");
  fetch.AppendListEntry("download_chunks");
  // A fetch that never downloaded counts nothing.
  Root().AppendListEntry("fetches");

  Root().RecordFetchStats();
  EXPECT_EQ(5, Integer("wininet_retries"));
  std::string ips;
  EXPECT_TRUE(root_.GetString("download_ips", &ips));
  EXPECT_EQ("10.0.0.1; 10.0.0.2", ips);
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
