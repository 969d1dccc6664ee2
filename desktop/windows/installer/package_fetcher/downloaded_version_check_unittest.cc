#include "desktop/windows/installer/package_fetcher/downloaded_version_check.h"

#include <atomic>
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
  // Long enough for a loaded machine to start the program and probe the
  // lock while the check still waits for it.
  constexpr base::TimeDelta kLimit = base::TimeDelta::FromSeconds(8);
  ScopedPackageProgramTimeLimitForTesting limit(kLimit, kLimit);
  test::WriteTextFile(program_.AddExtension(L"wait_ms"), "60000");
  std::atomic<bool> check_ended{false};
  bool lock_free_while_waiting = false;
  std::thread prober([&] {
    // The program records its run once started: the check has launched it
    // and waits for it from then on.
    const base::TimeTicks deadline =
        base::TimeTicks::Now() + base::TimeDelta::FromSeconds(60);
    while (!check_ended && test::StandInRuns(program_).empty() &&
           base::TimeTicks::Now() < deadline) {
      base::PlatformThread::Sleep(base::TimeDelta::FromMilliseconds(20));
    }
    // The launch lets go of the lock as soon as it has created the process.
    while (!check_ended && base::TimeTicks::Now() < deadline) {
      if (GetProcessLaunchLock().Try()) {
        lock_free_while_waiting = !check_ended;
        GetProcessLaunchLock().Release();
        return;
      }
      base::PlatformThread::Sleep(base::TimeDelta::FromMilliseconds(20));
    }
  });
  const base::TimeTicks start = base::TimeTicks::Now();
  EXPECT_FALSE(Check(GetInternalVersion(), GetStream()));
  const base::TimeDelta took = base::TimeTicks::Now() - start;
  check_ended = true;
  prober.join();
  EXPECT_TRUE(lock_free_while_waiting);
  // Asked for its version and its stream at once; both hung.
  EXPECT_EQ(2u, test::StandInRuns(program_).size());
  // Ended at the limit, not when the program would have exited.
  EXPECT_GE(took, kLimit);
  EXPECT_LT(took, base::TimeDelta::FromSeconds(50));
}

}  // namespace
}  // namespace installer
