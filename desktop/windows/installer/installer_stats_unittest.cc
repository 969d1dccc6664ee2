#include "desktop/windows/installer/installer_stats.h"

#include <windows.h>

#include <memory>
#include <regex>

#include "base/base_paths.h"
#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/json/json_reader.h"
#include "base/path_service.h"
#include "base/process/process_handle.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/test/installer_process.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

constexpr char kChildStatsFile[] = "installer_stats.json";

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

TEST(InstallerStatsTest, RecordsTheStartAndWhatTheNodesWrote) {
  InstallerStats stats;
  std::unique_ptr<base::DictionaryValue> start = Parse(stats.GetJson());
  ASSERT_TRUE(start);
  std::string text;
  ASSERT_TRUE(start->GetString("installer_start_time.time", &text));
  EXPECT_TRUE(IsStatsTime(text)) << text;
  EXPECT_TRUE(start->GetString("version", &text));
  EXPECT_EQ("45.0.2531.0", text);
  EXPECT_TRUE(start->GetString("endpoint_name_hash", &text));
  EXPECT_TRUE(std::regex_match(text, std::regex("[0-9a-f]{64}"))) << text;

  InstallerStatsNode root = stats.root();
  root.SetString("quote", "say \"hi\"");
  InstallerStatsNode fetch = root.AppendListEntry("fetches");
  fetch.SetString("url", "https://example.invalid/p");
  fetch.AppendListEntry("download_chunks").SetString("ip", "10.0.0.1");
  root.AppendListEntry("fetches");
  const std::string json = stats.GetJson();
  EXPECT_NE(std::string::npos,
            json.find(R"("fetches":[{"download_chunks":[{"ip":"10.0.0.1"}],)"
                      R"("url":"https://example.invalid/p"},{}])"))
      << json;
  EXPECT_NE(std::string::npos, json.find(R"("quote":"say \"hi\"")")) << json;
}

// Run only as the child of the test below, which gives it a temporary
// folder of its own.
TEST(InstallerStatsChildTest, DISABLED_WriteStatsToTempDir) {
  base::FilePath temp;
  ASSERT_TRUE(base::GetTempDir(&temp));
  InstallerStats stats;
  const std::string json = stats.GetJson();
  ASSERT_EQ(static_cast<int>(json.size()),
            base::WriteFile(temp.Append(base::UTF8ToWide(kChildStatsFile)),
                            json.data(), static_cast<int>(json.size())));
}

TEST(InstallerStatsTest, NamesTheParentProcessAndTheArguments) {
  base::ScopedTempDir temp;
  ASSERT_TRUE(temp.CreateUniqueTempDir());
  base::FilePath exe;
  ASSERT_TRUE(base::PathService::Get(base::FILE_EXE, &exe));
  test::InstallerRunResult run = test::RunProgram(
      exe,
      L"--gtest_filter=InstallerStatsChildTest.DISABLED_WriteStatsToTempDir "
      L"--gtest_also_run_disabled_tests \"an argument\"",
      temp.GetPath());
  ASSERT_TRUE(run.finished);
  ASSERT_EQ(0, run.exit_code) << run.output;

  std::string json;
  ASSERT_TRUE(base::ReadFileToString(
      temp.GetPath().Append(base::UTF8ToWide(kChildStatsFile)), &json));
  std::unique_ptr<base::DictionaryValue> root = Parse(json);
  ASSERT_TRUE(root) << json;
  int parent_id = 0;
  EXPECT_TRUE(root->GetInteger("parent_process_id", &parent_id));
  EXPECT_EQ(static_cast<int>(base::GetCurrentProcId()), parent_id);
  std::string text;
  EXPECT_TRUE(root->GetString("parent_process_name", &text));
  EXPECT_EQ(exe.BaseName().AsUTF8Unsafe(), text);
  EXPECT_TRUE(root->GetString("command_line_args", &text));
  EXPECT_EQ(
      "--gtest_filter=InstallerStatsChildTest.DISABLED_WriteStatsToTempDir "
      "--gtest_also_run_disabled_tests \"an argument\"",
      text);
}

}  // namespace
}  // namespace installer
