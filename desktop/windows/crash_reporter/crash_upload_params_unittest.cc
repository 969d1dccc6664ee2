#include "desktop/windows/crash_reporter/crash_upload_params.h"

#include <windows.h>

#include <time.h>

#include <string>
#include <vector>

#include "base/strings/string_number_conversions.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/crash_reporter/crash_key_reader.h"
#include "desktop/windows/crash_reporter/test/test_crash_keys.h"
#include "gtest/gtest.h"

namespace crash_reporter {
namespace {

using crash_handler::CustomClientInfo;
using crash_handler::CustomInfoEntry;

using Keys = TestCrashKeys;

int64_t Seconds(const UploadParams& params, const wchar_t* name) {
  int64_t value = 0;
  auto found = params.find(name);
  EXPECT_TRUE(found != params.end()) << name;
  if (found != params.end()) {
    EXPECT_TRUE(base::StringToInt64(found->second, &value)) << found->second;
  }
  return value;
}

int64_t FileTimeSeconds(const FILETIME& time) {
  return static_cast<int64_t>(
             (static_cast<uint64_t>(time.dwHighDateTime) << 32 |
              time.dwLowDateTime) /
             10000000) -
         11644473600LL;
}

TEST(CrashKeyReaderTest, JoinedValuesAndOrigin) {
  Keys keys;
  keys.Add(L"URL", L"http://a").Add(L"origin", L"Testrig").Add(L"URL", L"/b");
  std::wstring value;
  EXPECT_TRUE(GetJoinedCrashKeyValue(keys.info(), L"URL", &value));
  EXPECT_EQ(L"http://a/b", value);
  EXPECT_TRUE(GetCrashKeyValue(keys.info(), L"URL", &value));
  EXPECT_EQ(L"http://a", value);
  EXPECT_FALSE(GetJoinedCrashKeyValue(keys.info(), L"ab_tests", &value));

  struct {
    const wchar_t* testrig;
    const wchar_t* origin;
    const wchar_t* expected;
  } cases[] = {
      {L"suite.case", L"Testrig", L"Vorn"},
      {L"", L"Testrig", L"Testrig"},
      {nullptr, L"testrig", L""},
      {nullptr, nullptr, L""},
  };
  for (const auto& test : cases) {
    Keys origin;
    if (test.testrig)
      origin.Add(L"testrig_test", test.testrig);
    if (test.origin)
      origin.Add(L"origin", test.origin);
    EXPECT_EQ(test.expected, GetCrashOrigin(origin.info()));
  }
}

TEST(CrashUploadParamsTest, TextLogCarriesTheReportersBuildAndWholeSeconds) {
  struct {
    const wchar_t* ptime;
    const wchar_t* expected;  // Null: no "ptime" field.
  } cases[] = {
      {L"999", nullptr},
      {L"1000", L"1"},
      {L"12345", L"12"},
      {L"1234567890123", L"1234567890"},
      {L"12345678901234", nullptr},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.ptime);
    Keys keys;
    keys.Add(L"Version", L"1.2.3.4").Add(L"URL", L"").Add(L"ptime", test.ptime);
    UploadParams params;
    BuildTextLogUploadParams(keys.info(), &params);
    UploadParams expected = {{L"ProductName", L"Kelvo"},
                             {L"ReleaseChannel", L"developer"},
                             {L"Version", L"45.0.2531.0"},
                             {L"build_number", L"816662"},
                             {L"origin", L""}};
    if (test.expected)
      expected[L"ptime"] = test.expected;
    EXPECT_EQ(expected, params);
  }

  Keys with_url;
  with_url.Add(L"URL", L"http://a").Add(L"URL", L"/b");
  UploadParams params;
  BuildTextLogUploadParams(with_url.info(), &params);
  AddStacktraceIdParam(L"", &params);
  EXPECT_EQ(L"http://a/b", params[L"URL"]);
  EXPECT_EQ(0u, params.count(L"stacktraceId"));
  AddStacktraceIdParam(L"c1", &params);
  EXPECT_EQ(L"c1", params[L"stacktraceId"]);
  // The browser's own crashes name no page.
  with_url.Add(L"process_type", L"browser");
  params.clear();
  BuildTextLogUploadParams(with_url.info(), &params);
  EXPECT_EQ(0u, params.count(L"URL"));
}

TEST(CrashUploadParamsTest, MinidumpCarriesTheClientsKeysFirst) {
  // A name that fills its array without a terminator is no key at all.
  std::wstring unterminated = L"Version";
  unterminated.resize(CustomInfoEntry::kNameMaxLength, L'x');
  Keys keys;
  keys.Add(L"Version", L"1.2.3.4")
      .Add(L"build_number", L"77")
      .Add(L"process_type", L"installer")
      .Add(L"URL", L"")
      .Add(L"URL", L"")
      .Add(unterminated, L"9.9.9.9")
      .Add(L"ab_tests", L"a")
      .Add(L"ab_tests", L"b")
      .Add(L"is_wow64", L"0");
  UploadParams params;
  BuildMinidumpUploadParams(nullptr, keys.info(), &params);
  std::vector<std::wstring> names;
  for (const auto& param : params)
    names.push_back(param.first);
  EXPECT_EQ((std::vector<std::wstring>{
                L"BuildID", L"CrashTime", L"Origin", L"ProcessType",
                L"ProductName", L"ReleaseChannel", L"StartupTime", L"UBN",
                L"URL", L"Version", L"ab_tests", L"symbols-package"}),
            names);
  EXPECT_EQ(L"1.2.3.4", params[L"Version"]);
  EXPECT_EQ(L"77", params[L"UBN"]);
  EXPECT_EQ(L"", params[L"URL"]);
  EXPECT_EQ(L"ab", params[L"ab_tests"]);
  EXPECT_EQ(L"KelvoDesktop", params[L"ProductName"]);
  EXPECT_EQ(L"nightly", params[L"ReleaseChannel"]);
  EXPECT_EQ(L"20170312286388", params[L"BuildID"]);
  EXPECT_EQ(L"browser-syms", params[L"symbols-package"]);

  Keys tests;
  tests.Add(L"process_type", L"browser_tests");
  params.clear();
  BuildMinidumpUploadParams(nullptr, tests.info(), &params);
  EXPECT_EQ(L"tests-syms", params[L"symbols-package"]);
  // Without its keys a process gets the reporter's own build.
  EXPECT_EQ(L"45.0.2531.0", params[L"Version"]);
  EXPECT_EQ(L"816662", params[L"UBN"]);
}

TEST(CrashUploadParamsTest, CrashTimesFromTheProcessAndItsRunTime) {
  const int64_t before = time(nullptr);
  UploadParams params;
  AddCrashTimeParams(nullptr, nullptr, &params);
  EXPECT_EQ(params[L"StartupTime"], params[L"CrashTime"]);
  EXPECT_LE(before, Seconds(params, L"CrashTime"));
  EXPECT_GE(time(nullptr), Seconds(params, L"CrashTime"));
  EXPECT_EQ(0u, params.count(L"InstallTime"));

  // Run times beyond any clock stop at the limits instead of wrapping
  // around into plausible times.
  Keys negative;
  negative.Add(L"ptime", L"-9223372036854775808");
  const CustomClientInfo negative_info = negative.info();
  params.clear();
  AddCrashTimeParams(nullptr, &negative_info, &params);
  EXPECT_EQ(L"9223372036854", params[L"StartupTime"]);
  Keys huge;
  huge.Add(L"ptime", L"9223372036854775807");
  const CustomClientInfo huge_info = huge.info();
  params.clear();
  AddCrashTimeParams(::GetCurrentProcess(), &huge_info, &params);
  EXPECT_EQ(L"9223372036854", params[L"CrashTime"]);

  // With the process: its creation, plus the run time, and the creation of
  // its executable as the install time.
  FILETIME creation, exit, kernel, user;
  ASSERT_TRUE(::GetProcessTimes(::GetCurrentProcess(), &creation, &exit,
                                &kernel, &user));
  Keys run_time;
  run_time.Add(L"ptime", L"5000");
  const CustomClientInfo run_time_info = run_time.info();
  params.clear();
  AddCrashTimeParams(::GetCurrentProcess(), &run_time_info, &params);
  EXPECT_EQ(FileTimeSeconds(creation), Seconds(params, L"StartupTime"));
  EXPECT_EQ(FileTimeSeconds(creation) + 5, Seconds(params, L"CrashTime"));
  wchar_t self[MAX_PATH];
  ASSERT_TRUE(::GetModuleFileNameW(nullptr, self, MAX_PATH));
  base::win::ScopedHandle file(::CreateFileW(
      self, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  FILETIME file_creation;
  ASSERT_TRUE(::GetFileTime(file.Get(), &file_creation, nullptr, nullptr));
  EXPECT_EQ(FileTimeSeconds(file_creation), Seconds(params, L"InstallTime"));
}

TEST(CrashUploadParamsTest, FirstValueSetWins) {
  UploadParams params = {{L"ProductName", L"Other"}, {L"ProcessType", L"x"}};
  AddProductUploadParams(&params);
  EXPECT_EQ(L"Other", params[L"ProductName"]);
  EXPECT_EQ(L"45.0.2531.0", params[L"Version"]);
  EXPECT_EQ(L"browser-syms", params[L"symbols-package"]);
  // A crashed reporter that is gone still gets its times.
  params.clear();
  BuildCrashReporterMinidumpParams(4294967292u, &params);
  EXPECT_EQ(L"crash_reporter", params[L"ProcessType"]);
  EXPECT_EQ(params[L"StartupTime"], params[L"CrashTime"]);
  EXPECT_EQ(0u, params.count(L"InstallTime"));
}

}  // namespace
}  // namespace crash_reporter
