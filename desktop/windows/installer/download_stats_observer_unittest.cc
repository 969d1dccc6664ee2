#include "desktop/windows/installer/download_stats_observer.h"

#include "base/synchronization/lock.h"
#include "base/values.h"
#include "desktop/windows/installer/light_download_stats_observer.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class DownloadStatsObserverTest : public testing::Test {
 protected:
  InstallerStatsNode Root() {
    return InstallerStatsNode(&root_, &lock_, base::TimeTicks::Now());
  }
  const base::DictionaryValue* Chunk(size_t index) {
    const base::ListValue* chunks = nullptr;
    const base::DictionaryValue* chunk = nullptr;
    EXPECT_TRUE(root_.GetList("download_chunks", &chunks));
    EXPECT_TRUE(chunks && chunks->GetDictionary(index, &chunk));
    return chunk;
  }
  int Integer(const base::DictionaryValue* dictionary, const char* key) {
    int value = -1;
    EXPECT_TRUE(dictionary && dictionary->GetInteger(key, &value)) << key;
    return value;
  }

  base::Lock lock_;
  base::DictionaryValue root_;
};

// The events a download resumed after a cut reports.
TEST_F(DownloadStatsObserverTest, OneDictionaryPerRequestOfTheBody) {
  DownloadStatsObserver observer(Root(), "download_chunks");
  // Nothing to record them in before the first chunk.
  observer.OnHttpStatus(100);
  observer.OnChunkEnd(1);
  EXPECT_FALSE(root_.HasKey("download_chunks"));

  observer.OnChunkStart(0);
  observer.OnServerIp("127.0.0.1");
  observer.OnHttpStatus(200);
  observer.OnHeader(L"Server", L"kelvo-test");
  observer.OnWininetError(0);
  observer.OnChunkEnd(100000);
  observer.OnChunkStart(100000);
  observer.OnRetry(1);
  observer.OnRedirect(L"http://127.0.0.1/other");
  observer.OnHttpStatus(206);
  observer.OnChunkEnd(3000000000LL);

  const base::DictionaryValue* first = Chunk(0);
  EXPECT_EQ(0, Integer(first, "chunk_number"));
  EXPECT_EQ(0, Integer(first, "chunk_start"));
  EXPECT_EQ(100000, Integer(first, "chunk_end"));
  EXPECT_EQ(200, Integer(first, "http_status"));
  EXPECT_EQ(0, Integer(first, "wininet_error"));
  EXPECT_LE(0, Integer(first, "chunk_start_time.elapsed"));
  EXPECT_LE(0, Integer(first, "chunk_end_time.elapsed"));
  std::string text;
  EXPECT_TRUE(first->GetString("headers.Server", &text));
  EXPECT_EQ("kelvo-test", text);
  EXPECT_TRUE(first->GetString("ip", &text));
  EXPECT_EQ("127.0.0.1", text);

  const base::DictionaryValue* second = Chunk(1);
  EXPECT_EQ(1, Integer(second, "chunk_number"));
  EXPECT_EQ(100000, Integer(second, "chunk_start"));
  EXPECT_EQ(1, Integer(second, "retry_count"));
  EXPECT_EQ(206, Integer(second, "http_status"));
  EXPECT_TRUE(second->GetString("redirected_url", &text));
  EXPECT_EQ("http://127.0.0.1/other", text);
  double end = 0;
  EXPECT_TRUE(second->GetDouble("chunk_end", &end));
  EXPECT_EQ(3000000000.0, end);
}

TEST_F(DownloadStatsObserverTest,
       LightObserverKeepsTheLastStatusUnderItsPrefix) {
  LightDownloadStatsObserver plain(Root(), std::string());
  LightDownloadStatsObserver prefixed(Root(), "fetch_download_url_");
  plain.OnHttpStatus(503);
  plain.OnHttpStatus(200);
  plain.OnWininetError(12030);
  prefixed.OnHttpStatus(404);
  plain.OnChunkStart(0);
  EXPECT_EQ(200, Integer(&root_, "http_status"));
  EXPECT_EQ(12030, Integer(&root_, "wininet_error"));
  EXPECT_EQ(404, Integer(&root_, "fetch_download_url_http_status"));
  EXPECT_EQ(3u, root_.size());
}

}  // namespace
}  // namespace installer
