#include "components/prefs/json_pref_store.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/bind.h"
#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/json/json_reader.h"
#include "base/strings/stringprintf.h"
#include "base/threading/sequenced_worker_pool.h"
#include "base/threading/thread.h"
#include "base/values.h"
#include "gtest/gtest.h"

namespace {

constexpr base::TimeDelta kMaxWait = base::TimeDelta::FromSeconds(10);

// A runner that takes no tasks, like the one of an installation's
// read-only record.
class RefusingTaskRunner : public base::SequencedTaskRunner {
 public:
  bool PostDelayedTask(const base::Location&,
                       base::OnceClosure,
                       base::TimeDelta) override {
    return false;
  }
  bool PostNonNestableDelayedTask(const base::Location&,
                                  base::OnceClosure,
                                  base::TimeDelta) override {
    return false;
  }
  bool RunsTasksOnCurrentThread() const override { return false; }

 private:
  ~RefusingTaskRunner() override = default;
};

class JsonPrefStoreTest : public testing::Test {
 public:
  void SetUp() override {
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    path_ = temp_dir_.GetPath().AppendASCII("prefs.json");
    pool_ = base::MakeRefCounted<base::SequencedWorkerPool>(2, "PrefsTest");
  }
  void TearDown() override { EXPECT_TRUE(pool_->Shutdown(kMaxWait)); }

  scoped_refptr<JsonPrefStore> Open() {
    auto store = base::MakeRefCounted<JsonPrefStore>(
        path_, JsonPrefStore::GetTaskRunnerForFile(path_, pool_.get()));
    store->ReadPrefs();
    return store;
  }

  void WriteText(const std::string& text) {
    ASSERT_EQ(
        static_cast<int>(text.size()),
        base::WriteFile(path_, text.data(), static_cast<int>(text.size())));
  }
  std::string ReadText() {
    std::string text;
    base::ReadFileToString(path_, &text);
    return text;
  }
  size_t CountFiles() {
    base::FileEnumerator files(temp_dir_.GetPath(), false,
                               base::FileEnumerator::FILES);
    size_t count = 0;
    for (base::FilePath file = files.Next(); !file.empty(); file = files.Next())
      ++count;
    return count;
  }

  base::ScopedTempDir temp_dir_;
  base::FilePath path_;
  scoped_refptr<base::SequencedWorkerPool> pool_;
};

TEST_F(JsonPrefStoreTest, ReadErrorsDecideWhetherTheStoreMayWrite) {
  scoped_refptr<JsonPrefStore> store = Open();
  EXPECT_EQ(JsonPrefStore::PREF_READ_ERROR_NO_FILE, store->GetReadError());
  EXPECT_FALSE(store->ReadOnly());

  // A broken file is replaced by the first write.
  WriteText("{\"a\": ");
  store = Open();
  EXPECT_EQ(JsonPrefStore::PREF_READ_ERROR_JSON_PARSE, store->GetReadError());
  store->SetValue("b", std::make_unique<base::FundamentalValue>(2));
  ASSERT_TRUE(store->CommitPendingWriteAndWait(kMaxWait));
  EXPECT_EQ("{\"b\":2}", ReadText());

  // JSON that is not an object is kept as it is.
  WriteText("[1, 2]");
  store = Open();
  EXPECT_EQ(JsonPrefStore::PREF_READ_ERROR_JSON_TYPE, store->GetReadError());
  EXPECT_TRUE(store->ReadOnly());
  store->SetValue("b", std::make_unique<base::FundamentalValue>(3));
  store->CommitPendingWriteAndWait(kMaxWait);
  EXPECT_EQ("[1, 2]", ReadText());

  // A file that cannot be read is not written either.
  WriteText("{\"a\":1}");
  HANDLE locked = ::CreateFileW(path_.value().c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, locked);
  store = Open();
  EXPECT_EQ(JsonPrefStore::PREF_READ_ERROR_FILE_LOCKED, store->GetReadError());
  EXPECT_TRUE(store->ReadOnly());
  store->SetValue("b", std::make_unique<base::FundamentalValue>(2));
  store->CommitPendingWriteAndWait(kMaxWait);
  ::CloseHandle(locked);
  EXPECT_EQ("{\"a\":1}", ReadText());
}

TEST_F(JsonPrefStoreTest, DottedKeysReachIntoNestedObjectsInOrder) {
  WriteText("{\"intl\":{\"app_locale\":\"de\"},\"x\":true,\"l\":[1]}");
  scoped_refptr<JsonPrefStore> store = Open();
  ASSERT_EQ(JsonPrefStore::PREF_READ_ERROR_NONE, store->GetReadError());
  store->SetValue("a.b.c", std::make_unique<base::FundamentalValue>(1));
  store->RemoveValue("intl.app_locale");
  // Changes reach the file in order: the later removal wins.
  store->SetValue("gone.z", std::make_unique<base::FundamentalValue>(5));
  store->RemoveValue("gone");
  ASSERT_TRUE(store->CommitPendingWriteAndWait(kMaxWait));
  EXPECT_EQ("{\"a\":{\"b\":{\"c\":1}},\"intl\":{},\"l\":[1],\"x\":true}",
            ReadText());
}

TEST_F(JsonPrefStoreTest, StoresOfOneFileKeepEachOthersChanges) {
  WriteText("{\"kept\":\"old\",\"shared\":0}");
  // Both read the file before either wrote.
  scoped_refptr<JsonPrefStore> first = Open();
  scoped_refptr<JsonPrefStore> second = Open();
  first->SetValue("first", std::make_unique<base::FundamentalValue>(1));
  first->SetValue("shared", std::make_unique<base::FundamentalValue>(1));
  second->SetValue("second", std::make_unique<base::FundamentalValue>(2));
  second->SetValue("shared", std::make_unique<base::FundamentalValue>(2));
  second->RemoveValue("kept");
  first = nullptr;
  ASSERT_TRUE(second->CommitPendingWriteAndWait(kMaxWait));
  EXPECT_EQ("{\"first\":1,\"second\":2,\"shared\":2}", ReadText());
}

TEST_F(JsonPrefStoreTest, ConcurrentStoresOnOnePoolLoseNoKey) {
  constexpr int kThreads = 4;
  constexpr int kKeys = 10;
  std::vector<std::unique_ptr<base::Thread>> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.push_back(std::make_unique<base::Thread>("store"));
    ASSERT_TRUE(threads.back()->Start());
    threads.back()->task_runner()->PostTask(
        FROM_HERE, base::BindOnce([this, i] {
          for (int key = 0; key < kKeys; ++key) {
            Open()->SetValue(base::StringPrintf("t%d.k%d", i, key),
                             std::make_unique<base::FundamentalValue>(key));
          }
        }));
  }
  for (auto& thread : threads)
    thread->Stop();
  ASSERT_TRUE(Open()->CommitPendingWriteAndWait(kMaxWait));
  std::unique_ptr<base::DictionaryValue> contents =
      base::DictionaryValue::From(base::JSONReader::Read(ReadText()));
  ASSERT_TRUE(contents);
  for (int i = 0; i < kThreads; ++i) {
    for (int key = 0; key < kKeys; ++key) {
      int value = -1;
      EXPECT_TRUE(
          contents->GetInteger(base::StringPrintf("t%d.k%d", i, key), &value));
      EXPECT_EQ(key, value);
    }
  }
}

TEST_F(JsonPrefStoreTest, RefusingRunnerKeepsChangesInMemory) {
  WriteText("{\"a\":1}");
  auto store = base::MakeRefCounted<JsonPrefStore>(
      path_, base::MakeRefCounted<RefusingTaskRunner>());
  EXPECT_EQ(JsonPrefStore::PREF_READ_ERROR_NONE, store->ReadPrefs());
  store->SetValue("a", std::make_unique<base::FundamentalValue>(2));
  const base::Value* value = nullptr;
  ASSERT_TRUE(store->GetValue("a", &value));
  EXPECT_TRUE(base::FundamentalValue(2).Equals(value));
  EXPECT_FALSE(store->CommitPendingWriteAndWait(kMaxWait));
  store = nullptr;
  EXPECT_EQ("{\"a\":1}", ReadText());
}

TEST_F(JsonPrefStoreTest, FailedWriteIsRetriedWithTheNextOne) {
  WriteText("{\"a\":1}");
  scoped_refptr<JsonPrefStore> store = Open();
  // Open without delete sharing: the new file cannot be moved over it.
  HANDLE held = ::CreateFileW(path_.value().c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  store->SetValue("b", std::make_unique<base::FundamentalValue>(2));
  store->CommitPendingWriteAndWait(kMaxWait);
  ::CloseHandle(held);
  EXPECT_EQ("{\"a\":1}", ReadText());
  EXPECT_EQ(1u, CountFiles()) << "a temporary file was left behind";

  store->SetValue("c", std::make_unique<base::FundamentalValue>(3));
  ASSERT_TRUE(store->CommitPendingWriteAndWait(kMaxWait));
  EXPECT_EQ("{\"a\":1,\"b\":2,\"c\":3}", ReadText());
}

}  // namespace
