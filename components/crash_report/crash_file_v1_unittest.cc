#include "components/crash_report/crash_file_v1.h"

#include <windows.h>

#include <string>
#include <thread>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/test/scoped_environment_variable_override.h"
#include "base/test/scoped_log_capture.h"
#include "base/win/scoped_handle.h"
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

// The crashed process stops waiting for its reporter after a while, and a
// minidump may take longer: the header shows the crash as it was before
// the dump began. Here the exception code in the child changes as soon as
// the dump's temporary file appears.
TEST_F(CrashFileV1Test, ReadsTheExceptionBeforeTheMinidump) {
  base::ScopedTempDir temp;
  ASSERT_TRUE(temp.CreateUniqueTempDir());
  base::ScopedEnvironmentVariableOverride tmp("TMP",
                                              temp.GetPath().AsUTF8Unsafe());
  base::ScopedEnvironmentVariableOverride temp_variable(
      "TEMP", temp.GetPath().AsUTF8Unsafe());
  CrashedChild child;
  ASSERT_TRUE(child.Start(0));
  base::Process process = base::Process::OpenWithAccess(
      child.pid(), PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_VM_OPERATION);
  EXCEPTION_POINTERS* pointers_address = nullptr;
  EXCEPTION_POINTERS pointers = {};
  ASSERT_TRUE(::ReadProcessMemory(
      process.Handle(),
      reinterpret_cast<void*>(child.exception_pointers_address()),
      &pointers_address, sizeof(pointers_address), nullptr));
  ASSERT_TRUE(::ReadProcessMemory(process.Handle(), pointers_address, &pointers,
                                  sizeof(pointers), nullptr));
  base::win::ScopedHandle change(::FindFirstChangeNotificationW(
      temp.GetPath().value().c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME));
  ASSERT_TRUE(change.IsValid());
  bool changed = false;
  std::thread changer([&] {
    if (::WaitForSingleObject(change.Get(), 60000) != WAIT_OBJECT_0)
      return;
    const DWORD later_code = 0xE0000001;
    changed =
        ::WriteProcessMemory(process.Handle(),
                             reinterpret_cast<char*>(pointers.ExceptionRecord) +
                                 offsetof(EXCEPTION_RECORD, ExceptionCode),
                             &later_code, sizeof(later_code), nullptr);
  });
  std::string header, dump_start;
  WriteFile(child, &header, &dump_start);
  changer.join();
  EXPECT_TRUE(changed);
  EXPECT_NE(std::string::npos,
            header.find("caused exception C0000005 at address 00000000DEAD "))
      << header;
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
