#include "desktop/windows/installer/installer_stats.h"

#include <memory>
#include <regex>

#include "base/base_paths.h"
#include "base/command_line.h"
#include "base/files/file_path.h"
#include "base/json/json_reader.h"
#include "base/path_service.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/values.h"
#include "desktop/windows/installer/test/download_test_util.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

std::unique_ptr<base::DictionaryValue> Parse(const std::string& json) {
  return base::DictionaryValue::From(base::JSONReader::Read(json));
}

bool IsStatsTime(const std::string& text) {
  static const std::regex pattern(
      R"(20\d\d-[01]\d-[0-3]\d [0-2]\d:[0-5]\d:[0-5]\d\.\d\d\d)");
  return std::regex_match(text, pattern);
}

TEST(ComputeEndpointNameHashTest, HashesTheUtf16TextOfBothNames) {
  // sha256 of "kimKELVO-PC" encoded as UTF-16LE.
  EXPECT_EQ("abd3e2136c9d193ebc23acb0bc1beb5b152becef7228e1aa3ebcec9a114f320d",
            ComputeEndpointNameHash(L"kim", L"KELVO-PC"));
  EXPECT_EQ("ec7f989b659346094bbb6d4156f552804c2c8f3b1e5486b12d15e1c1764f4a2e",
            ComputeEndpointNameHash(L"J\x00fcrgen", L""));
  EXPECT_EQ("", ComputeEndpointNameHash(L"", L""));
}

// A process that started after this one cannot be its parent, even when
// it holds the id that the parent had.
TEST(ParentProcessTest, OnlyAProcessStartedEarlierCounts) {
  base::FilePath own;
  ASSERT_TRUE(base::PathService::Get(base::FILE_EXE, &own));
  EXPECT_TRUE(base::FilePath::CompareEqualIgnoreCase(
      own.value(),
      GetImagePathIfStartedBefore(base::GetCurrentProcId()).value()));

  base::FilePath cmd;
  ASSERT_TRUE(base::PathService::Get(base::DIR_SYSTEM, &cmd));
  base::LaunchOptions options;
  options.start_hidden = true;
  base::Process later = base::LaunchProcess(
      base::CommandLine::FromString(L"\"" + cmd.Append(L"cmd.exe").value() +
                                    L"\" /c ping -n 3 127.0.0.1"),
      options);
  ASSERT_TRUE(later.IsValid());
  EXPECT_TRUE(GetImagePathIfStartedBefore(later.Pid()).empty());
  later.Terminate(0, true);
  EXPECT_TRUE(GetImagePathIfStartedBefore(later.Pid()).empty());
}

TEST(InstallerStatsTest, RecordsTheStartAndWhatTheNodesWrote) {
  test::RefusingUICallbackRunner ui_runner;
  InstallerStats stats(&ui_runner);
  std::unique_ptr<base::DictionaryValue> start = Parse(stats.GetJson());
  ASSERT_TRUE(start);
  std::string text;
  ASSERT_TRUE(start->GetString("installer_start_time.time", &text));
  EXPECT_TRUE(IsStatsTime(text)) << text;
  EXPECT_TRUE(start->GetString("version", &text));
  EXPECT_EQ("45.0.2531.0", text);
  EXPECT_TRUE(start->GetString("endpoint_name_hash", &text));
  EXPECT_TRUE(std::regex_match(text, std::regex("[0-9a-f]{64}"))) << text;

  stats.root().SetString("quote", "say \"hi\"");
  const std::string json = stats.GetJson();
  EXPECT_NE(std::string::npos, json.find(R"("quote":"say \"hi\"")")) << json;
}

}  // namespace
}  // namespace installer
