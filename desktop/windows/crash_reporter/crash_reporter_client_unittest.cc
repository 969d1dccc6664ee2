#include "desktop/windows/crash_reporter/crash_reporter_client.h"

#include <windows.h>

#include <memory>
#include <string>

#include "base/command_line.h"
#include "base/strings/string_number_conversions.h"
#include "gtest/gtest.h"

namespace crash_reporter {
namespace {

TEST(CrashReporterClientTest, ReporterPidSwitch) {
  struct {
    const char* value;
    uint32_t pid;
  } cases[] = {{"1234", 1234},   {"0", 0},   {"abc", 0},
               {"-5", 0},        {"12x", 0}, {"4294967295", 4294967295u},
               {"4294967296", 0}};
  for (const auto& test : cases) {
    SCOPED_TRACE(test.value);
    base::CommandLine command_line(base::FilePath(L"installer.exe"));
    command_line.AppendSwitchASCII("crash-reporter-pid", test.value);
    EXPECT_EQ(test.pid, GetCrashReporterPidSwitch(command_line));
  }
  EXPECT_EQ(0u, GetCrashReporterPidSwitch(
                    base::CommandLine(base::FilePath(L"installer.exe"))));
}

TEST(CrashReporterClientTest, ReporterRunsTheSameCommandLineAsItsParent) {
  base::CommandLine command_line(
      base::FilePath(L"C:\\Program Files\\Kelvo\\installer.exe"));
  command_line.AppendSwitch("silent");
  command_line.AppendSwitchASCII("installfolder", "C:\\Kelvo Browser");
  command_line.AppendArg("C:\\a folder");
  std::unique_ptr<base::CommandLine> reporter =
      MakeCrashReporterCommandLine(command_line);
  EXPECT_EQ(command_line.GetProgram(), reporter->GetProgram());
  EXPECT_TRUE(reporter->HasSwitch("silent"));
  EXPECT_EQ("C:\\Kelvo Browser",
            reporter->GetSwitchValueASCII("installfolder"));
  ASSERT_EQ(1u, reporter->GetArgs().size());
  EXPECT_EQ(L"C:\\a folder", reporter->GetArgs()[0]);
  EXPECT_EQ(base::NumberToString(::GetCurrentProcessId()),
            reporter->GetSwitchValueASCII("crash-reporter-parent-id"));
}

TEST(CrashReporterClientTest, ObjectNamesFitTheirBuffers) {
  EXPECT_EQ(
      L"\\\\.\\pipe\\KelvoCrashReporter4294967295",
      FormatCrashReporterObjectName(kCrashReporterPipePrefix, 4294967295u));
  EXPECT_EQ(L"KelvoCrashReporterInitEvent77",
            FormatCrashReporterObjectName(kCrashReporterInitEventPrefix, 77));
  // 38 characters with the terminator, no more.
  EXPECT_EQ(L"", FormatCrashReporterObjectName(L"KelvoCrashReporterInitEventXX",
                                               4294967295u));
}

}  // namespace
}  // namespace crash_reporter
