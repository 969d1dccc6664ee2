#include "desktop/windows/crash_reporter/crash_files.h"

#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/path_service.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "base/synchronization/lock.h"
#include "base/test/scoped_environment_variable_override.h"
#include "base/threading/simple_thread.h"
#include "gtest/gtest.h"

namespace crash_reporter {
namespace {

std::string Pid() {
  return base::NumberToString(::GetCurrentProcessId());
}

class CrashFilesTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    user_data_ = temp_dir_.GetPath().Append(L"User Data");
  }
  void TearDown() override { base::PathService::RemoveOverride(DIR_USER_DATA); }

  base::CommandLine CommandLineWithUserData() {
    base::CommandLine command_line(base::FilePath(L"installer.exe"));
    command_line.AppendSwitchPath("user-data-dir", user_data_);
    return command_line;
  }

  base::ScopedTempDir temp_dir_;
  base::FilePath user_data_;
};

TEST_F(CrashFilesTest, WithoutOverrideTheTemporaryFolderIsUsed) {
  base::ScopedEnvironmentVariableOverride no_dir(kCrashLogDirEnvVar);
  ASSERT_TRUE(InitCrashLogDirectories(CommandLineWithUserData()));
  base::FilePath temp;
  ASSERT_TRUE(base::GetTempDir(&temp));
  EXPECT_EQ(temp, GetCrashLogDir());
  EXPECT_FALSE(IsCrashLogDirOverridden());
  // The user-data folder is made, and the paths lie below it.
  EXPECT_TRUE(base::DirectoryExists(user_data_));
  EXPECT_EQ(user_data_.Append(L"crash_counters.json"),
            GetCrashCounterFilePath());
  EXPECT_EQ(user_data_.Append(L"Local State"), GetCrashReporterPrefsPath());
  // One shared record: the latest crash id.
  EXPECT_EQ(user_data_.Append(L"last_crash_id.txt"), GetCrashIdRecordPath(3));
}

TEST_F(CrashFilesTest, OverrideFolderIsCreatedAndHoldsARecordPerReport) {
  base::FilePath crash_dir = temp_dir_.GetPath().Append(L"a\\b\\crash");
  base::ScopedEnvironmentVariableOverride dir(
      kCrashLogDirEnvVar, base::WideToUTF8(crash_dir.value()));
  ASSERT_TRUE(InitCrashLogDirectories(CommandLineWithUserData()));
  EXPECT_TRUE(base::DirectoryExists(crash_dir));
  EXPECT_EQ(crash_dir, GetCrashLogDir());
  EXPECT_TRUE(IsCrashLogDirOverridden());
  EXPECT_EQ(crash_dir.AppendASCII("last_crash_id-" + Pid() + "-3.txt"),
            GetCrashIdRecordPath(3));
}

TEST_F(CrashFilesTest, NamesCarryTheProcessAndTheNumber) {
  EXPECT_EQ("kelvo-crashlog-" + Pid() + "-7.txt", GetCrashLogTextFileName(7));
  EXPECT_EQ("kelvo-crashlog-" + Pid() + "-7.dmp", GetCrashDumpFileName(7));
  EXPECT_EQ("kelvo-crashlog-" + Pid() + "-4294967295.zip",
            GetCrashLogZipFileName(4294967295u));
}

// Takes numbers on a thread of its own.
class NumberTaker : public base::SimpleThread {
 public:
  NumberTaker(base::Lock* lock, std::vector<uint32_t>* numbers)
      : SimpleThread("NumberTaker"), lock_(lock), numbers_(numbers) {}
  void Run() override {
    std::vector<uint32_t> taken;
    for (int i = 0; i < 1000; ++i)
      taken.push_back(NextCrashFileNumber());
    base::AutoLock lock(*lock_);
    numbers_->insert(numbers_->end(), taken.begin(), taken.end());
  }

 private:
  base::Lock* lock_;
  std::vector<uint32_t>* numbers_;
};

TEST_F(CrashFilesTest, NumbersAreUniqueAcrossThreads) {
  uint32_t before = NextCrashFileNumber();
  base::Lock lock;
  std::vector<uint32_t> numbers;
  std::vector<std::unique_ptr<NumberTaker>> takers;
  for (int i = 0; i < 8; ++i) {
    takers.push_back(std::make_unique<NumberTaker>(&lock, &numbers));
    ASSERT_TRUE(takers.back()->Start());
  }
  for (auto& taker : takers)
    taker->Join();
  std::set<uint32_t> unique(numbers.begin(), numbers.end());
  EXPECT_EQ(8000u, unique.size());
  EXPECT_EQ(before + 1, *unique.begin());
  EXPECT_EQ(before + 8000, *unique.rbegin());
}

TEST_F(CrashFilesTest, ClaimSkipsNumbersWhoseFilesAreKept) {
  base::FilePath crash_dir = temp_dir_.GetPath().Append(L"crash");
  base::ScopedEnvironmentVariableOverride dir(
      kCrashLogDirEnvVar, base::WideToUTF8(crash_dir.value()));
  ASSERT_TRUE(InitCrashLogDirectories(CommandLineWithUserData()));
  // Files an earlier reporter with this process id left behind.
  uint32_t next = NextCrashFileNumber() + 1;
  ASSERT_EQ(
      4, base::WriteFile(crash_dir.AppendASCII(GetCrashLogTextFileName(next)),
                         "kept", 4));
  ASSERT_EQ(
      4, base::WriteFile(crash_dir.AppendASCII(GetCrashDumpFileName(next + 1)),
                         "kept", 4));
  ASSERT_EQ(4, base::WriteFile(GetCrashIdRecordPath(next + 2), "kept", 4));

  uint32_t claimed = ClaimCrashFileNumber(crash_dir);
  EXPECT_EQ(next + 3, claimed);
  EXPECT_TRUE(base::PathExists(
      crash_dir.AppendASCII(GetCrashLogTextFileName(claimed))));
  std::string kept;
  ASSERT_TRUE(base::ReadFileToString(
      crash_dir.AppendASCII(GetCrashLogTextFileName(next)), &kept));
  EXPECT_EQ("kept", kept);
  EXPECT_EQ(0u, ClaimCrashFileNumber(temp_dir_.GetPath().Append(L"missing")));
}

}  // namespace
}  // namespace crash_reporter
