#include "components/crash_report/crash_file_v1.h"

#include <windows.h>

#include <string>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/test/scoped_log_capture.h"
#include "components/crash_report/crash_info.h"
#include "components/crash_report/crash_reporter_exception_info.h"
#include "components/crash_report/test/crashed_child.h"
#include "gtest/gtest.h"

namespace crash_report {
namespace {

constexpr uint64_t kDumpLimit = 512000;

class CrashFileV1Test : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.CreateUniqueTempDir());
    info_.version = "45.0.2531.0";
    info_.build_number = "816662";
    info_.metadata = {{"process_type", "crash_reporter"}};
  }

  // The V1 file of |child|, up to its dump, and the dump's first bytes.
  void WriteFile(const CrashedChild& child,
                 std::string* header,
                 std::string* dump_start) {
    base::FilePath path = dir_.GetPath().AppendASCII("v1.txt");
    ASSERT_TRUE(WriteCrashFileForProcess(child.pid(), child.record_address(),
                                         info_, "45.0.2531.0 816662", path,
                                         kDumpLimit));
    std::string bytes;
    ASSERT_TRUE(base::ReadFileToString(path, &bytes));
    size_t dump = bytes.find("\r\nminidump:\r\n");
    ASSERT_NE(std::string::npos, dump);
    *header = bytes.substr(0, dump + 13);
    *dump_start = bytes.substr(dump + 13, 4);
  }

  base::ScopedTempDir dir_;
  base::ScopedLogCapture log_;
  CrashInfo info_;
};

// The exception is read through the pointer the record holds.
TEST_F(CrashFileV1Test, NamesTheExceptionAndHoldsTheDump) {
  CrashedChild child;
  ASSERT_TRUE(child.Start(0));
  std::string header, dump_start;
  WriteFile(child, &header, &dump_start);
  EXPECT_EQ(
      "KELVO-CRASHLOG V1 desktop 45.0.2531.0 816662 windows x64 release\r\n"
      "crash_report_test_child.exe caused exception C0000005 at address "
      "00000000DEAD (BASE: 00000000)\r\n"
      "\r\nmetadata:\r\nprocess_type=\"crash_reporter\"\r\n"
      "\r\nminidump:\r\n",
      header);
  EXPECT_EQ("MDMP", dump_start);

  // A record whose exception cannot be read shows code and address 0.
  base::Process child_process = base::Process::OpenWithAccess(
      child.pid(), PROCESS_VM_WRITE | PROCESS_VM_OPERATION);
  const uint64_t unreadable = 0x10;
  ASSERT_TRUE(::WriteProcessMemory(
      child_process.Handle(),
      reinterpret_cast<void*>(
          child.record_address() +
          offsetof(CrashReporterExceptionInfo, exception_pointers)),
      &unreadable, sizeof(unreadable), nullptr));
  WriteFile(child, &header, &dump_start);
  EXPECT_NE(std::string::npos,
            header.find("caused exception 0 at address 000000000000 "
                        "(BASE: 00000000)\r\n"));
  EXPECT_EQ("MDMP", dump_start);
}

TEST_F(CrashFileV1Test, LeavesNoFileWhenTheCrashCannotBeRead) {
  base::FilePath path = dir_.GetPath().AppendASCII("v1.txt");
  EXPECT_FALSE(WriteCrashFileForProcess(::GetCurrentProcessId(), 0x10, info_,
                                        "45.0.2531.0 816662", path,
                                        kDumpLimit));
  EXPECT_FALSE(base::PathExists(path));
}

}  // namespace
}  // namespace crash_report
