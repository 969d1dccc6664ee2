#include "desktop/windows/crash_reporter/crash_upload_params.h"

#include <windows.h>

#include <string>

#include "base/strings/string_number_conversions.h"
#include "desktop/windows/crash_reporter/test/test_crash_keys.h"
#include "gtest/gtest.h"

namespace crash_reporter {
namespace {

int64_t Seconds(const FILETIME& time) {
  return static_cast<int64_t>(
             (static_cast<uint64_t>(time.dwHighDateTime) << 32 |
              time.dwLowDateTime) /
             10000000) -
         11644473600LL;
}

TEST(CrashUploadParamsTest, TextLogCarriesTheReportersBuildAndWholeSeconds) {
  const struct {
    const wchar_t* ptime;
    const wchar_t* sent;  // Null: no "ptime" field.
  } cases[] = {{L"999", nullptr},
               {L"12345", L"12"},
               {L"1234567890123", L"1234567890"},
               {L"12345678901234", nullptr}};
  for (const auto& test : cases) {
    TestCrashKeys keys;
    keys.Add(L"Version", L"1.2.3.4").Add(L"URL", L"").Add(L"ptime", test.ptime);
    UploadParams params;
    BuildTextLogUploadParams(keys.info(), &params);
    AddStacktraceIdParam(L"", &params);
    UploadParams expected = {{L"ProductName", L"Kelvo"},
                             {L"ReleaseChannel", L"developer"},
                             {L"Version", L"45.0.2531.0"},
                             {L"build_number", L"816662"},
                             {L"origin", L""}};
    if (test.sent)
      expected[L"ptime"] = test.sent;
    EXPECT_EQ(expected, params) << test.ptime;
  }

  // A page's address, rejoined, except for the browser's own crashes; the
  // test rig's markers, the first one counting.
  TestCrashKeys keys;
  keys.Add(L"URL", L"http://a")
      .Add(L"URL", L"/b")
      .Add(L"origin", L"Testrig")
      .Add(L"testrig_test", L"")
      .Add(L"testrig_test", L"suite.case");
  UploadParams params;
  BuildTextLogUploadParams(keys.info(), &params);
  EXPECT_EQ(L"http://a/b", params[L"URL"]);
  EXPECT_EQ(L"Testrig", params[L"origin"]);
  keys = TestCrashKeys();
  keys.Add(L"process_type", L"browser")
      .Add(L"URL", L"http://a")
      .Add(L"testrig_test", L"suite.case");
  params.clear();
  BuildTextLogUploadParams(keys.info(), &params);
  EXPECT_EQ(0u, params.count(L"URL"));
  EXPECT_EQ(L"Vorn", params[L"origin"]);
}

TEST(CrashUploadParamsTest, MinidumpCarriesTheClientsKeysFirst) {
  // A name filling its array without a terminator is no key at all.
  TestCrashKeys keys;
  keys.Add(L"Version", L"1.2.3.4")
      .Add(L"build_number", L"77")
      .Add(L"URL", L"")
      .Add(std::wstring(L"Version").append(57, L'x'), L"9.9.9.9")
      .Add(L"ab_tests", L"a")
      .Add(L"ab_tests", L"b")
      .Add(L"is_wow64", L"0");
  UploadParams params;
  BuildMinidumpUploadParams(nullptr, keys.info(), &params);
  params.erase(L"StartupTime");
  params.erase(L"CrashTime");
  EXPECT_EQ((UploadParams{{L"BuildID", L"20170312286388"},
                          {L"Origin", L""},
                          {L"ProductName", L"KelvoDesktop"},
                          {L"ReleaseChannel", L"nightly"},
                          {L"UBN", L"77"},
                          {L"URL", L""},
                          {L"Version", L"1.2.3.4"},
                          {L"ab_tests", L"ab"},
                          {L"symbols-package", L"browser-syms"}}),
            params);

  keys = TestCrashKeys();
  keys.Add(L"process_type", L"browser_tests");
  params.clear();
  BuildMinidumpUploadParams(nullptr, keys.info(), &params);
  EXPECT_EQ(L"tests-syms", params[L"symbols-package"]);
  EXPECT_EQ(L"45.0.2531.0", params[L"Version"]);
}

TEST(CrashUploadParamsTest, CrashTimesFromTheProcessAndItsRunTime) {
  UploadParams params;
  AddCrashTimeParams(nullptr, nullptr, &params);
  EXPECT_EQ(params[L"StartupTime"], params[L"CrashTime"]);
  EXPECT_EQ(0u, params.count(L"InstallTime"));

  // Run times beyond any clock stop at the limits instead of wrapping
  // around into plausible times.
  TestCrashKeys negative;
  negative.Add(L"ptime", L"-9223372036854775808");
  const crash_handler::CustomClientInfo negative_info = negative.info();
  params.clear();
  AddCrashTimeParams(nullptr, &negative_info, &params);
  EXPECT_EQ(L"9223372036854", params[L"StartupTime"]);
  TestCrashKeys huge;
  huge.Add(L"ptime", L"9223372036854775807");
  const crash_handler::CustomClientInfo huge_info = huge.info();
  params.clear();
  AddCrashTimeParams(::GetCurrentProcess(), &huge_info, &params);
  EXPECT_EQ(L"9223372036854", params[L"CrashTime"]);

  // With the process: its creation plus the run time.
  FILETIME creation, exit, kernel, user;
  ASSERT_TRUE(::GetProcessTimes(::GetCurrentProcess(), &creation, &exit,
                                &kernel, &user));
  TestCrashKeys run_time;
  run_time.Add(L"ptime", L"5000");
  const crash_handler::CustomClientInfo run_time_info = run_time.info();
  params.clear();
  AddCrashTimeParams(::GetCurrentProcess(), &run_time_info, &params);
  EXPECT_EQ(base::NumberToString16(Seconds(creation)), params[L"StartupTime"]);
  EXPECT_EQ(base::NumberToString16(Seconds(creation) + 5),
            params[L"CrashTime"]);
  EXPECT_EQ(1u, params.count(L"InstallTime"));
}

}  // namespace
}  // namespace crash_reporter
