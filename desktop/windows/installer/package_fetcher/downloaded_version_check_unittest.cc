#include "desktop/windows/installer/package_fetcher/downloaded_version_check.h"

#include <string>
#include <thread>

#include "base/files/scoped_temp_dir.h"
#include "base/json/json_reader.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_util.h"
#include "base/synchronization/lock.h"
#include "base/threading/platform_thread.h"
#include "base/values.h"
#include "base/version.h"
#include "desktop/windows/installer/installer_stats.h"
#include "desktop/windows/installer/package_fetcher/package_program.h"
#include "desktop/windows/installer/process/launch_lock.h"
#include "desktop/windows/installer/product/version_info.h"
#include "desktop/windows/installer/test/download_test_util.h"
#include "desktop/windows/installer/test/installer_process.h"
#include "desktop/windows/installer/test/test_util.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class DownloadedVersionCheckTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.CreateUniqueTempDir());
    program_ = test::MakeStandIn(dir_.GetPath(), L"package.exe", 0);
  }

  bool Check(const std::string& version, const std::string& stream) {
    test::WriteTextFile(dir_.GetPath().Append(L"internal-version.answer"),
                        version);
    test::WriteTextFile(dir_.GetPath().Append(L"stream.answer"), stream);
    return CheckDownloadedVersion(program_, true, stats_.root());
  }
  std::string Recorded(const char* key) {
    std::string value;
    base::DictionaryValue::From(base::JSONReader::Read(stats_.GetJson()))
        ->GetString(key, &value);
    return value;
  }

  base::ScopedTempDir dir_;
  base::FilePath program_;
  test::RefusingUICallbackRunner runner_;
  InstallerStats stats_{&runner_};
};

TEST_F(DownloadedVersionCheckTest, ThisVersionOrNewerOfThisStreamPasses) {
  const uint32_t major = base::Version(GetInternalVersion()).components()[0];
  const std::string newer = base::NumberToString(major + 1) + ".0";
  EXPECT_TRUE(Check(GetInternalVersion(), GetStream()));
  // A host may end its answer with a line break.
  EXPECT_TRUE(Check(newer + "\r\n", GetStream() + "\n"));
  EXPECT_EQ(newer, Recorded("internal_version"));
  EXPECT_EQ(GetStream(), Recorded("stream"));

  EXPECT_FALSE(Check(base::NumberToString(major - 1) + ".9", GetStream()));
  EXPECT_FALSE(Check("not a version", GetStream()));
  EXPECT_FALSE(Check("", GetStream()));
  EXPECT_FALSE(Check(GetInternalVersion(), "stable"));
  EXPECT_EQ("stable", Recorded("stream"));
  EXPECT_FALSE(Check(GetInternalVersion(), base::ToUpperASCII(GetStream())));
}

// A program that hangs is ended at the limit, and the launch lock is free
// while it runs: no other launch waits for it.
TEST_F(DownloadedVersionCheckTest, HangingProgramFailsAtTheLimit) {
  ScopedPackageProgramTimeLimitForTesting limit(
      base::TimeDelta::FromMilliseconds(800));
  test::WriteTextFile(program_.AddExtension(L"wait_ms"), "60000");
  bool lock_free = false;
  const base::TimeTicks start = base::TimeTicks::Now();
  std::thread prober([&] {
    base::PlatformThread::Sleep(base::TimeDelta::FromMilliseconds(400));
    lock_free = GetProcessLaunchLock().Try();
    if (lock_free)
      GetProcessLaunchLock().Release();
  });
  EXPECT_FALSE(Check(GetInternalVersion(), GetStream()));
  prober.join();
  EXPECT_LT(base::TimeTicks::Now() - start, base::TimeDelta::FromSeconds(10));
  EXPECT_TRUE(lock_free);
}

}  // namespace
}  // namespace installer
