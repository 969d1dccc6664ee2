#include "desktop/common/autoupdate/updatechecker/globalstorage_win.h"

#include <windows.h>

#include <memory>
#include <string>
#include <thread>

#include "base/bind.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/synchronization/waitable_event.h"
#include "base/test/scoped_log_capture.h"
#include "base/test/test_registry_root.h"
#include "base/win/registry.h"
#include "base/win/scoped_handle.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

constexpr wchar_t kTestRoot[] = L"Software\\KelvoTest\\GlobalStorage";
constexpr wchar_t kProductKey[] = L"Software\\Kelvo Software";

// The product key's REG_SZ value |name| as the registry keeps it (wide),
// without the terminator that RegSetValueExA adds; "-" when there is none.
std::wstring Stored(const wchar_t* name) {
  base::win::RegKey key(HKEY_CURRENT_USER, kProductKey, KEY_QUERY_VALUE);
  std::wstring value;
  return key.ReadValue(name, &value) == ERROR_SUCCESS ? value : L"-";
}

bool ProductKeyExists() {
  base::win::RegKey key(HKEY_CURRENT_USER, kProductKey, KEY_READ);
  return key.Valid();
}

GlobalStorageWin::CopyOnlyCheck CopyOnly(bool copy_only) {
  return base::BindRepeating([](bool value) { return value; }, copy_only);
}

// HKEY_CURRENT_USER is an empty key of the test's own (so the product key
// starts out missing), and the fallback folder a new folder.
class GlobalStorageWinTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot);
    ASSERT_EQ(ERROR_SUCCESS,
              root_.Create(HKEY_CURRENT_USER, kTestRoot, KEY_ALL_ACCESS));
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegOverridePredefKey(HKEY_CURRENT_USER, root_.Handle()));
  }

  void TearDown() override {
    ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    root_.Close();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot);
    base::DeleteTestRegistryRootIfEmpty(HKEY_CURRENT_USER);
  }

  base::FilePath fallback_file() const {
    return temp_dir_.GetPath().AppendASCII(GlobalStorageWin::kFallbackFileName);
  }

  void WriteFallbackFile(const std::string& json) {
    ASSERT_TRUE(base::WriteFile(fallback_file(), json.data(),
                                static_cast<int>(json.size())));
  }
  std::string ReadFallbackFile() const {
    std::string text;
    EXPECT_TRUE(base::ReadFileToString(fallback_file(), &text));
    return text;
  }

  std::unique_ptr<GlobalStorageWin> MakeStorage(bool copy_only) {
    auto storage = std::make_unique<GlobalStorageWin>(kProductKey);
    storage->DecideMode(CopyOnly(copy_only));
    storage->InitFallback(temp_dir_.GetPath());
    return storage;
  }

  // Get's value, or "error <result>".
  static std::string GetValue(GlobalStorage* storage, const char* key) {
    std::string value = "stale";
    const int result = storage->Get(key, &value);
    return result == GlobalStorage::kOk ? value
                                        : "error " + std::to_string(result);
  }

  base::win::RegKey root_;
  base::ScopedTempDir temp_dir_;
};

TEST_F(GlobalStorageWinTest, RegistryEntries) {
  std::unique_ptr<GlobalStorageWin> storage = MakeStorage(false);
  ASSERT_FALSE(storage->use_fallback());
  // Deciding the mode, reading and clearing do not create the key.
  EXPECT_EQ("", GetValue(storage.get(), "UUID"));
  EXPECT_EQ(GlobalStorage::kOk, storage->Set("UUID", ""));
  EXPECT_FALSE(ProductKeyExists());
  EXPECT_EQ(GlobalStorage::kInvalidArgument, storage->Set("", "x"));

  EXPECT_EQ(GlobalStorage::kOk, storage->Set("k", "abc"));
  EXPECT_EQ(L"abc", Stored(L"k"));
  EXPECT_EQ(GlobalStorage::kOk, storage->Set("k", ""));
  EXPECT_EQ(L"-", Stored(L"k"));
  EXPECT_FALSE(base::PathExists(fallback_file()));

  // What other writers may leave: a terminator, an embedded NUL, binary
  // data.
  base::win::RegKey key(HKEY_CURRENT_USER, kProductKey, KEY_SET_VALUE);
  auto write = [&key](const char* name, const char* data, DWORD size,
                      DWORD type) {
    return ::RegSetValueExA(key.Handle(), name, 0, type,
                            reinterpret_cast<const BYTE*>(data), size);
  };
  ASSERT_EQ(ERROR_SUCCESS, write("terminated", "xyz", 4, REG_SZ));
  ASSERT_EQ(ERROR_SUCCESS, write("embedded", "ab\0cd", 5, REG_SZ));
  ASSERT_EQ(ERROR_SUCCESS, write("binary", "CBA", 4, REG_BINARY));
  EXPECT_EQ("xyz", GetValue(storage.get(), "terminated"));
  EXPECT_EQ("ab", GetValue(storage.get(), "embedded"));
  EXPECT_EQ("CBA", GetValue(storage.get(), "binary"));
}

TEST_F(GlobalStorageWinTest, MigrationCopiesStringEntriesOnce) {
  const std::string json = R"({"GS": {"UUID": "x", "n": 5, "z": "last"}})";
  WriteFallbackFile(json);
  std::unique_ptr<GlobalStorageWin> storage = MakeStorage(false);
  EXPECT_EQ(L"x", Stored(L"UUID"));
  EXPECT_EQ(L"last", Stored(L"z"));
  EXPECT_EQ(L"-", Stored(L"n"));
  EXPECT_EQ(json, ReadFallbackFile());

  // From now on the file follows the registry...
  EXPECT_EQ(GlobalStorage::kOk, storage->Set("UUID", "y"));
  EXPECT_EQ(GlobalStorage::kOk, storage->Set("z", ""));
  EXPECT_EQ(L"y", Stored(L"UUID"));
  EXPECT_EQ(R"({"GS":{"UUID":"y","n":5}})", ReadFallbackFile());

  // ...and, the registry having been written, is not copied again.
  ASSERT_EQ(GlobalStorage::kOk, storage->Set("UUID", ""));
  WriteFallbackFile(json);
  storage->InitFallback(temp_dir_.GetPath());
  EXPECT_EQ(L"-", Stored(L"UUID"));
}

TEST_F(GlobalStorageWinTest, FallbackEntries) {
  std::unique_ptr<GlobalStorageWin> storage = MakeStorage(true);
  ASSERT_TRUE(storage->use_fallback());
  EXPECT_EQ(GlobalStorage::kOk, storage->Set("UUID", "1234"));
  // Keys are names, not paths: a dot is part of the name.
  EXPECT_EQ(GlobalStorage::kOk, storage->Set("a.b", "dotted"));
  EXPECT_EQ(R"({"GS":{"UUID":"1234","a.b":"dotted"}})", ReadFallbackFile());
  EXPECT_FALSE(ProductKeyExists());

  // Another store (the browser's) reads them back.
  std::unique_ptr<GlobalStorageWin> other = MakeStorage(true);
  EXPECT_EQ("dotted", GetValue(other.get(), "a.b"));

  // Only ASCII text is an entry.
  WriteFallbackFile("{\"GS\": {\"utf8\": \"bl\xc3\xa5\", \"n\": 5}}");
  EXPECT_EQ("", GetValue(other.get(), "utf8"));
  EXPECT_EQ("", GetValue(other.get(), "n"));
}

// Another thread holding "kvuc_registry_mutex", as the browser's update
// checker does while it works (a named mutex belongs to a thread, so a
// thread of this process stands in for another process). Without
// |release_on_request| the thread ends holding the mutex, which abandons it.
class MutexHolder {
 public:
  explicit MutexHolder(bool release_on_request)
      : thread_([this, release_on_request] {
          base::win::ScopedHandle mutex(
              ::CreateMutexW(nullptr, FALSE, GlobalStorageWin::kMutexName));
          held_ = ::WaitForSingleObject(mutex.Get(), 10000) == WAIT_OBJECT_0;
          ready_.Signal();
          if (release_on_request && held_) {
            release_.TimedWait(base::TimeDelta::FromSeconds(60));
            ::ReleaseMutex(mutex.Get());
          }
        }) {}
  ~MutexHolder() { End(); }

  bool WaitUntilHeld() {
    return ready_.TimedWait(base::TimeDelta::FromSeconds(30)) && held_;
  }
  // Lets the holder end, releasing the mutex when asked to.
  void End() {
    release_.Signal();
    if (thread_.joinable())
      thread_.join();
  }

 private:
  base::WaitableEvent ready_{base::WaitableEvent::ResetPolicy::MANUAL,
                             base::WaitableEvent::InitialState::NOT_SIGNALED};
  base::WaitableEvent release_{base::WaitableEvent::ResetPolicy::MANUAL,
                               base::WaitableEvent::InitialState::NOT_SIGNALED};
  bool held_ = false;
  std::thread thread_;
};

TEST_F(GlobalStorageWinTest, BusyWhileAnotherThreadHoldsTheMutex) {
  std::unique_ptr<GlobalStorageWin> storage = MakeStorage(false);
  ASSERT_EQ(GlobalStorage::kOk, storage->Set("UUID", "before"));
  {
    MutexHolder holder(true);
    ASSERT_TRUE(holder.WaitUntilHeld());
    EXPECT_EQ("error 1", GetValue(storage.get(), "UUID"));
    base::ScopedLogCapture log;
    EXPECT_EQ(GlobalStorage::kBusy, storage->Set("UUID", "during"));
    EXPECT_TRUE(log.Contains(logging::LOG_ERROR,
                             "[AU] GS: Couldn't get hold on an access mutex"));
    EXPECT_EQ(L"before", Stored(L"UUID"));
    holder.End();
  }
  EXPECT_EQ("before", GetValue(storage.get(), "UUID"));

  // The store lets go after each operation: another holder gets the mutex
  // (it waits at most ten seconds for it).
  MutexHolder next(true);
  EXPECT_TRUE(next.WaitUntilHeld());
}

TEST_F(GlobalStorageWinTest, AbandonedMutexCountsAsTaken) {
  std::unique_ptr<GlobalStorageWin> storage = MakeStorage(false);
  // The store's handle keeps the mutex alive after the holder ends.
  ASSERT_EQ("", GetValue(storage.get(), "UUID"));
  MutexHolder holder(false);
  ASSERT_TRUE(holder.WaitUntilHeld());
  holder.End();
  EXPECT_EQ(GlobalStorage::kOk, storage->Set("UUID", "after"));
  EXPECT_EQ("after", GetValue(storage.get(), "UUID"));
}

}  // namespace
}  // namespace installer
