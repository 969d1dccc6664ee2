#include "desktop/windows/installer/prefs_task_pool.h"

#include <memory>
#include <string>

#include "base/at_exit.h"
#include "base/base64.h"
#include "base/bind.h"
#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/test/scoped_log_capture.h"
#include "base/threading/thread.h"
#include "base/time/time.h"
#include "base/values.h"
#include "components/prefs/json_pref_store.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

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

  // Keeps |store| on another thread for |hold|, then sets "late" in it and
  // lets it go.
  void HoldOnThread(base::Thread* thread,
                    scoped_refptr<JsonPrefStore> store,
                    base::TimeDelta hold) {
    ASSERT_TRUE(thread->Start());
    thread->task_runner()->PostTask(
        FROM_HERE,
        base::BindOnce(
            [](scoped_refptr<JsonPrefStore> store, base::TimeDelta hold) {
              base::PlatformThread::Sleep(hold);
              store->SetValue("late",
                              std::make_unique<base::FundamentalValue>(true));
            },
            std::move(store), hold));
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
  HoldOnThread(&holder, OpenJsonPrefStore(&pool, path_),
               base::TimeDelta::FromMilliseconds(300));

  base::TimeTicks start = base::TimeTicks::Now();
  EXPECT_TRUE(pool.Shutdown());
  EXPECT_GE(base::TimeTicks::Now() - start,
            base::TimeDelta::FromMilliseconds(250));
  EXPECT_FALSE(pool.pool());
  EXPECT_EQ("{\"late\":true}", ReadText());
}

TEST_F(PrefsTaskPoolTest, ShutdownGivesUpOnAStoreHeldTooLong) {
  PrefsTaskPool pool;
  pool.set_wait_on_shutdown(true);
  base::Thread holder("holder");
  HoldOnThread(&holder, OpenJsonPrefStore(&pool, path_),
               base::TimeDelta::FromMilliseconds(1000));

  base::ScopedLogCapture log;
  base::TimeTicks start = base::TimeTicks::Now();
  EXPECT_FALSE(pool.Shutdown(base::TimeDelta::FromMilliseconds(200)));
  EXPECT_LT(base::TimeTicks::Now() - start,
            base::TimeDelta::FromMilliseconds(900));
  EXPECT_TRUE(log.Contains(logging::LOG_ERROR, "Pref stores still open"));
  holder.Stop();
  // The pool was closed before the late change.
  EXPECT_FALSE(base::PathExists(path_));
}

}  // namespace
}  // namespace installer
