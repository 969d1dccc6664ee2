#include "desktop/windows/installer/prefs_task_pool.h"

#include <memory>
#include <string>

#include "base/at_exit.h"
#include "base/base64.h"
#include "base/bind.h"
#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/synchronization/waitable_event.h"
#include "base/test/scoped_log_capture.h"
#include "base/threading/thread.h"
#include "base/time/time.h"
#include "base/values.h"
#include "components/prefs/json_pref_store.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// How long a held store waits to be released before it lets go anyway.
constexpr base::TimeDelta kReleaseLimit = base::TimeDelta::FromSeconds(60);

std::string Encode(const std::string& text) {
  std::string encoded;
  base::Base64Encode(text, &encoded);
  return encoded;
}

TEST(ExtractJsonObjectFromTextTest, FindsOnlyOneObjectInsideDecodedText) {
  std::unique_ptr<base::DictionaryValue> object = ExtractJsonObjectFromText(
      Encode("partner=x {\"utm\":{\"defbr\":\"true\"}} trailer") + " \t\r\n");
  ASSERT_TRUE(object);
  std::string value;
  EXPECT_TRUE(object->GetString("utm.defbr", &value));
  EXPECT_EQ("true", value);

  const char* const kDecodedTexts[] = {
      "{\"a\":1",              // No closing brace.
      "} {",                   // Closing before opening.
      "{\"a\":1} x }",         // The last brace ends something else.
      "{\"a\":\"\xff\xfe\"}",  // Not UTF-8.
  };
  for (const char* text : kDecodedTexts)
    EXPECT_FALSE(ExtractJsonObjectFromText(Encode(text))) << text;

  std::string encoded = Encode("{\"a\":1}");
  EXPECT_FALSE(ExtractJsonObjectFromText("{\"a\":1}")) << "clear text";
  EXPECT_FALSE(ExtractJsonObjectFromText(" " + encoded)) << "leading blank";
}

TEST(ExtractJsonObjectFromTextTest, DeepNestingFailsWithoutHarm) {
  std::string deep;
  for (int i = 0; i < 100000; ++i)
    deep += "{\"a\":";
  deep += "1";
  deep.append(100000, '}');
  EXPECT_FALSE(ExtractJsonObjectFromText(Encode(deep)));
}

class PrefsTaskPoolTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    path_ = temp_dir_.GetPath().AppendASCII(kInstallerPrefsFileName);
  }

  std::string ReadText() {
    std::string text;
    base::ReadFileToString(path_, &text);
    return text;
  }

  // Keeps |store| on another thread until |release| is signalled, then
  // sets "late" in it, notes the time in |*released_at| and lets it go.
  void HoldOnThread(base::Thread* thread,
                    scoped_refptr<JsonPrefStore> store,
                    base::WaitableEvent* release,
                    base::TimeTicks* released_at) {
    ASSERT_TRUE(thread->Start());
    thread->task_runner()->PostTask(
        FROM_HERE,
        base::BindOnce(
            [](scoped_refptr<JsonPrefStore> store, base::WaitableEvent* release,
               base::TimeTicks* released_at) {
              EXPECT_TRUE(release->TimedWait(kReleaseLimit));
              store->SetValue("late",
                              std::make_unique<base::FundamentalValue>(true));
              // Before the release: a Shutdown that waited returns after it.
              *released_at = base::TimeTicks::Now();
              store = nullptr;
            },
            std::move(store), release, released_at));
  }

  base::ScopedTempDir temp_dir_;
  base::FilePath path_;
};

TEST_F(PrefsTaskPoolTest, ProcessPoolWritesEverythingBeforeItGoes) {
  PrefsTaskPool* first = nullptr;
  {
    base::ShadowingAtExitManager at_exit;
    first = PrefsTaskPool::GetInstance();
    first->set_wait_on_shutdown(true);
    scoped_refptr<JsonPrefStore> store = OpenJsonPrefStore(first, path_);
    store->SetValue("single_profile",
                    std::make_unique<base::FundamentalValue>(true));
  }
  EXPECT_EQ("{\"single_profile\":true}", ReadText());
  base::FileEnumerator files(temp_dir_.GetPath(), false,
                             base::FileEnumerator::FILES);
  EXPECT_EQ(path_, files.Next());
  EXPECT_TRUE(files.Next().empty()) << "a temporary file was left behind";
}

TEST_F(PrefsTaskPoolTest, ShutdownWaitsUntilStoresAreReleased) {
  PrefsTaskPool pool;
  pool.set_wait_on_shutdown(true);
  base::Thread holder("holder");
  base::WaitableEvent release(base::WaitableEvent::ResetPolicy::MANUAL,
                              base::WaitableEvent::InitialState::NOT_SIGNALED);
  base::TimeTicks released_at;
  HoldOnThread(&holder, OpenJsonPrefStore(&pool, path_), &release,
               &released_at);
  // Released while Shutdown waits, unless Shutdown did not wait.
  base::Thread releaser("releaser");
  ASSERT_TRUE(releaser.Start());
  releaser.task_runner()->PostDelayedTask(
      FROM_HERE,
      base::BindOnce(&base::WaitableEvent::Signal, base::Unretained(&release)),
      base::TimeDelta::FromMilliseconds(300));

  EXPECT_TRUE(pool.Shutdown());
  const base::TimeTicks shut_down_at = base::TimeTicks::Now();
  holder.Stop();
  releaser.Stop();
  ASSERT_FALSE(released_at.is_null());
  EXPECT_GE(shut_down_at, released_at);
  EXPECT_FALSE(pool.pool());
  EXPECT_EQ("{\"late\":true}", ReadText());
}

TEST_F(PrefsTaskPoolTest, ShutdownGivesUpOnAStoreHeldTooLong) {
  PrefsTaskPool pool;
  pool.set_wait_on_shutdown(true);
  base::Thread holder("holder");
  base::WaitableEvent release(base::WaitableEvent::ResetPolicy::MANUAL,
                              base::WaitableEvent::InitialState::NOT_SIGNALED);
  base::TimeTicks released_at;
  HoldOnThread(&holder, OpenJsonPrefStore(&pool, path_), &release,
               &released_at);

  base::ScopedLogCapture log;
  // The store is held until after Shutdown returns: only giving up ends it.
  EXPECT_FALSE(pool.Shutdown(base::TimeDelta::FromMilliseconds(200)));
  EXPECT_TRUE(log.Contains(logging::LOG_ERROR, "Pref stores still open"));
  release.Signal();
  holder.Stop();
  EXPECT_FALSE(released_at.is_null());
  // The pool was closed before the late change.
  EXPECT_FALSE(base::PathExists(path_));
}

}  // namespace
}  // namespace installer
