#include "components/crash_report/minidump_writer.h"

#include <string.h>

#include <string>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/test/planted_link.h"
#include "base/test/scoped_log_capture.h"
#include "components/crash_report/crash_file_v1.h"
#include "components/crash_report/crash_info.h"
#include "components/crash_report/crash_reporter_exception_info.h"
#include "components/crash_report/test/crashed_child.h"
#include "components/crash_report/test/minidump_streams.h"
#include "components/crash_report/test/test_child_constants.h"
#include "gtest/gtest.h"

namespace crash_report {
namespace {

constexpr char kVersionText[] = "45.0.2531.0 816662";
constexpr uint64_t kNoLimit = 1ull << 40;
constexpr uint32_t kExceptionStreamType = 6;

class MinidumpWriterTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.CreateUniqueTempDir()); }

  base::FilePath Path(const char* name) {
    return dir_.GetPath().AppendASCII(name);
  }

  std::string Read(const base::FilePath& path) {
    std::string bytes;
    EXPECT_TRUE(base::ReadFileToString(path, &bytes));
    return bytes;
  }

  base::ScopedTempDir dir_;
  base::ScopedLogCapture log_;
};

// A pure virtual call's record carries no assertion text.
TEST_F(MinidumpWriterTest, WritesTheCrashWithTheVersionStream) {
  CrashedChild child;
  ASSERT_TRUE(child.Start(2, 2));
  ASSERT_TRUE(WriteMinidumpForProcess(child.pid(), child.record_address(),
                                      kVersionText, Path("a.dmp"), kNoLimit));
  const std::string dump = Read(Path("a.dmp"));
  auto streams = ReadMinidumpStreams(dump);
  EXPECT_EQ(kVersionText, streams[kVersionStreamType]);
  // Everything it points to is in it: a byte less, and something is not.
  EXPECT_TRUE(IsWholeMinidump(dump));
  EXPECT_FALSE(IsWholeMinidump(dump.substr(0, dump.size() - 1)));
  EXPECT_EQ(0u, streams.count(kAssertionStreamType));
  // The exception stream: the thread id, then the exception record.
  const std::string& exception = streams[kExceptionStreamType];
  ASSERT_GE(exception.size(), 16u);
  uint32_t thread_id = 0;
  uint32_t code = 0;
  memcpy(&thread_id, exception.data(), 4);
  memcpy(&code, exception.data() + 8, 4);
  EXPECT_EQ(child.crashed_thread_id(), thread_id);
  EXPECT_EQ(static_cast<uint32_t>(EXCEPTION_ACCESS_VIOLATION), code);

  // The same crash from the client's own variables.
  ASSERT_TRUE(WriteMinidumpFromParts(child.pid(), child.thread_id_address(),
                                     child.exception_pointers_address(), 0,
                                     kVersionText, Path("b.dmp"), kNoLimit));
  EXPECT_EQ(kVersionText,
            ReadMinidumpStreams(Read(Path("b.dmp")))[kVersionStreamType]);
}

TEST_F(MinidumpWriterTest, AddsTheAssertionOfAnInvalidParameterOnly) {
  CrashedChild invalid_parameter;
  ASSERT_TRUE(invalid_parameter.Start(0, 1));
  ASSERT_TRUE(WriteMinidumpForProcess(invalid_parameter.pid(),
                                      invalid_parameter.record_address(),
                                      kVersionText, Path("1.dmp"), kNoLimit));
  const std::string assertion =
      ReadMinidumpStreams(Read(Path("1.dmp")))[kAssertionStreamType];
  ASSERT_EQ(sizeof(crash_handler::MDRawAssertionInfo), assertion.size());
  crash_handler::MDRawAssertionInfo info;
  memcpy(&info, assertion.data(), sizeof(info));
  EXPECT_STREQ(L"buffer != nullptr", info.expression);
  EXPECT_EQ(42u, info.line);
  EXPECT_EQ(1u, info.type);
}

TEST_F(MinidumpWriterTest, KeepsNoDumpAboveTheLimit) {
  CrashedChild child;
  ASSERT_TRUE(child.Start(0));
  EXPECT_FALSE(WriteMinidumpForProcess(child.pid(), child.record_address(),
                                       kVersionText, Path("big.dmp"), 1));
  EXPECT_FALSE(base::PathExists(Path("big.dmp")));
  EXPECT_FALSE(WriteMinidumpForProcess(child.pid(), kFaultAddress, kVersionText,
                                       Path("bad.dmp"), kNoLimit));
  EXPECT_FALSE(base::PathExists(Path("bad.dmp")));

  // The crash folder is often the temporary folder: a link planted at the
  // dump's name led the dump over a file elsewhere, and its failure then
  // deleted that file.
  const base::FilePath victim = Path("victim.txt");
  ASSERT_TRUE(base::WriteFile(victim, std::string_view("precious")));
  ASSERT_TRUE(base::test::MakeFileLink(Path("linked.dmp"), victim));
  EXPECT_FALSE(WriteMinidumpForProcess(child.pid(), child.record_address(),
                                       kVersionText, Path("linked.dmp"), 1));
  EXPECT_EQ("precious", Read(victim));
  base::test::RemoveLink(Path("linked.dmp"));
}

}  // namespace
}  // namespace crash_report
