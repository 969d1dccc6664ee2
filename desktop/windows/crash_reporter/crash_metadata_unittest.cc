#include "desktop/windows/crash_reporter/crash_metadata.h"

#include <string>
#include <utility>
#include <vector>

#include "components/crash_report/crash_info.h"
#include "desktop/windows/crash_reporter/crash_report_static_info.h"
#include "desktop/windows/crash_reporter/test/test_crash_keys.h"
#include "gtest/gtest.h"

namespace crash_reporter {
namespace {

using Lines = std::vector<std::pair<std::string, std::string>>;

// The lines every client's log ends its metadata with.
Lines SystemLines() {
  const CrashReportStaticInfo& system = CrashReportStaticInfo::GetInstance();
  return {{"os_version", system.os_version()},
          {"os_service_pack_version", system.os_service_pack_version()},
          {"cpu_architecture", system.cpu_architecture()},
          {"cpu_level", system.cpu_level()},
          {"cpu_revision", system.cpu_revision()}};
}

TEST(CrashMetadataTest, KeysInOrderThenRangesThenTheSystem) {
  std::wstring unterminated(64, L'a');
  TestCrashKeys keys;
  keys.Add(L"ab_tests", L"x;")
      .Add(L"BuildID", L"20170312286388")
      .Add(L"testrig_test", L"suite.")
      .Add(L"process_type", L"installer")
      .Add(L"Version", L"1.2.3.4")
      .Add(L"testrig_test", L"case")
      .Add(L"is_wow64", L"")
      .Add(L"ptime", L"1234")
      .Add(L"URL", L"http://a")
      .Add(L"crash_guid", L"g")
      .Add(L"modules", L"m")
      .Add(L"ab_tests", L"y")
      .Add(unterminated, L"no terminator")
      .Add(L"has space", L"no")
      .Add(L"caf\u00e9", L"no")
      .Add(L"", L"no")
      .Add(L"origin", L"Test\r\nrig");
  crash_report::CrashInfo info;
  FillCrashInfoFromCrashKeys(keys.info(), &info);
  Lines expected = {{"BuildID", "20170312286388"},
                    {"process_type", "installer"},
                    // A value cannot start lines of its own.
                    {"origin", "Test??rig"},
                    {"testrig_test", "suite.case"},
                    {"ab_tests", "x;y"}};
  for (const auto& line : SystemLines())
    expected.push_back(line);
  EXPECT_EQ(expected, info.metadata);
  EXPECT_EQ("1.2.3.4", info.version);
  // What the keys do not say is this build's.
  EXPECT_EQ("816662", info.build_number);
  EXPECT_EQ("0x9", CrashReportStaticInfo::GetInstance().cpu_architecture());
}

}  // namespace
}  // namespace crash_reporter
