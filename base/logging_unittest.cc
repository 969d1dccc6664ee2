#include "base/logging.h"

#include <windows.h>

#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/test/planted_link.h"
#include "base/test/test_child_process.h"
#include "base/time/time.h"
#include "gtest/gtest.h"

namespace logging {
namespace {

std::vector<std::string>* g_seen = nullptr;

bool CollectMessage(LogSeverity, const char*, int, const std::string& text) {
  g_seen->push_back(text);
  return true;
}

class LoggingTest : public testing::Test {
 protected:
  void SetUp() override {
    g_seen = &seen_;
    SetLogMessageHandler(&CollectMessage);
  }
  void TearDown() override {
    SetLogMessageHandler(nullptr);
    SetVlogLevel(0);
    g_seen = nullptr;
  }
  std::vector<std::string> seen_;
};

TEST_F(LoggingTest, VerboseLevelAndWideText) {
  VLOG(1) << "hidden";
  SetVlogLevel(1);
  VLOG(2) << "hidden too";
  VLOG(1) << L"caf\u00e9 " << std::wstring(L"\u65e5");
  ASSERT_EQ(1u, seen_.size());
  EXPECT_EQ("caf\xc3\xa9 \xe6\x97\xa5\n", seen_[0]);
}

TEST_F(LoggingTest, PlogAppendsTheErrorAndKeepsLastError) {
  ::SetLastError(ERROR_FILE_NOT_FOUND);
  PLOG(ERROR) << "open";
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), ::GetLastError());
  ASSERT_EQ(1u, seen_.size());
  EXPECT_NE(std::string::npos, seen_[0].find("open: "));
  EXPECT_NE(std::string::npos, seen_[0].find("(0x2)"));
}

TEST_F(LoggingTest, UnevaluatedStreamHasNoSideEffects) {
  int evaluated = 0;
  auto touch = [&] { return ++evaluated; };
  VLOG(3) << touch();
  CHECK(true) << touch();
  CHECK_EQ(1, 1) << touch();
  EXPECT_EQ(0, evaluated);
}

TEST_F(LoggingTest, CheckOpDoesNotStealAnElse) {
  bool took_else = false;
  if (seen_.size() == 1)
    CHECK_EQ(1, 1);
  else
    took_else = true;
  EXPECT_TRUE(took_else);
}

TEST(LoggingDeathTest, FailedCheckNamesTheValues) {
  EXPECT_DEATH(CHECK_EQ(2, 1 + 2) << "tail", "2 vs. 3");
}

// A log file of this process in the temporary folder, deleted beforehand.
std::wstring TempLogPath(const wchar_t* name) {
  wchar_t dir[MAX_PATH];
  EXPECT_NE(0u, ::GetTempPathW(MAX_PATH, dir));
  std::wstring path = std::wstring(dir) + name +
                      std::to_wstring(::GetCurrentProcessId()) + L".log";
  ::DeleteFileW(path.c_str());
  return path;
}

// The file's text; the file is deleted after.
std::string ReadAndDelete(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)),
                   std::istreambuf_iterator<char>());
  in.close();
  EXPECT_TRUE(::DeleteFileW(path.c_str()));
  return text;
}

TEST(LoggingFileTest, FileIsAppendedAndNotSharedForDelete) {
  const std::wstring path = TempLogPath(L"kelvo_logging_test_");

  LoggingSettings settings;
  settings.logging_dest = LOG_TO_FILE;
  settings.log_file = path;
  settings.delete_old = DELETE_OLD_LOG_FILE;
  ASSERT_TRUE(InitLogging(settings));
  LOG(INFO) << "first line";
  // A second process of the same run would try to delete the live file.
  EXPECT_FALSE(::DeleteFileW(path.c_str()));
  LOG(WARNING) << "second line";
  CloseLogFile();
  InitLogging(LoggingSettings());

  const std::string text = ReadAndDelete(path);
  EXPECT_NE(std::string::npos, text.find(":INFO:logging_unittest.cc("));
  EXPECT_NE(std::string::npos, text.find("] first line\n"));
  EXPECT_NE(std::string::npos, text.find(":WARNING:"));
}

// The front end and the backends of a run write one file at the same time:
// every line lands whole and none is lost, also lines longer than a page.
TEST(LoggingFileTest, LinesOfConcurrentProcessesLandWhole) {
  const std::wstring path = TempLogPath(L"kelvo_logging_shared_");
  constexpr int kLines = 1500;
  const wchar_t* const kTags[] = {L"A", L"B", L"C"};
  std::vector<base::Process> writers;
  for (const wchar_t* tag : kTags) {
    writers.push_back(base::LaunchProcess(
        base::TestChildCommandLine(L"log \"" + path + L"\" " + tag + L" " +
                                   std::to_wstring(kLines)),
        base::LaunchOptions()));
    ASSERT_TRUE(writers.back().IsValid());
  }
  for (base::Process& writer : writers) {
    int exit_code = -1;
    ASSERT_TRUE(writer.WaitForExitWithTimeout(base::TimeDelta::FromSeconds(60),
                                              &exit_code));
    EXPECT_EQ(0, exit_code);
  }
  const std::string text = ReadAndDelete(path);
  // Each line "[...] <TAG N RUN>", RUN as long as the child makes it, once.
  std::set<std::string> expected;
  for (const wchar_t* tag : kTags) {
    const char letter = static_cast<char>(tag[0]);
    for (int i = 0; i < kLines; ++i) {
      expected.insert(std::string("<") + letter + " " + std::to_string(i) +
                      " " + std::string(200 + (i * 7919) % 7800, letter) + ">");
    }
  }
  size_t broken = 0;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    const size_t open = line.find("] <");
    if (open == std::string::npos || !expected.erase(line.substr(open + 2)))
      ++broken;
  }
  EXPECT_EQ(0u, broken);
  EXPECT_TRUE(expected.empty()) << expected.size() << " lines lost";
}

// The log's name is known in advance. A link planted there led the log into
// a file elsewhere, which Wine's delete of the old log deleted, or which was
// appended to when it could not be deleted (held open by its program). The
// log is made new, under another name, and the file elsewhere stays as it
// was.
TEST(LoggingFileTest, LinkAtTheLogNameIsNotFollowed) {
  base::ScopedTempDir dir;
  ASSERT_TRUE(dir.CreateUniqueTempDir());
  const base::FilePath victim = dir.GetPath().Append(L"victim.txt");
  ASSERT_TRUE(base::WriteFile(victim, std::string_view("precious")));
  const base::FilePath link = dir.GetPath().Append(L"kelvo_test.log");
  ASSERT_TRUE(base::test::MakeFileLink(link, victim));
  LoggingSettings settings;
  settings.logging_dest = LOG_TO_FILE;
  settings.log_file = link.value();
  settings.delete_old = DELETE_OLD_LOG_FILE;
  // Wine's DeleteFileW of the old log deleted what the link leads to.
  ASSERT_TRUE(InitLogging(settings));
  const base::FilePath first_log(GetLogFileName());
  CloseLogFile();
  InitLogging(LoggingSettings());
  ASSERT_TRUE(base::PathExists(victim)) << "the old log's link was followed";
  EXPECT_NE(link, first_log);
  base::DeleteFile(first_log, false);

  HANDLE held = ::CreateFileW(victim.value().c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  const bool opened = InitLogging(settings);
  LOG(INFO) << "a line of the log";
  const base::FilePath log(GetLogFileName());
  CloseLogFile();
  InitLogging(LoggingSettings());
  ::CloseHandle(held);

  ASSERT_TRUE(opened);
  std::string text;
  EXPECT_TRUE(base::ReadFileToString(victim, &text));
  EXPECT_EQ("precious", text);
  EXPECT_NE(link, log);
  EXPECT_EQ(dir.GetPath(), log.DirName());
  ASSERT_TRUE(base::ReadFileToString(log, &text));
  EXPECT_NE(std::string::npos, text.find("a line of the log"));
  base::test::RemoveLink(link);
}

TEST(LoggingFileTest, UnopenableFileFallsBack) {
  LoggingSettings settings;
  settings.logging_dest = LOG_TO_FILE | LOG_TO_STDERR;
  settings.log_file = L"Q:\\no\\such\\folder\\x.log";
  EXPECT_FALSE(InitLogging(settings));
  LOG(INFO) << "still reaches stderr";
  InitLogging(LoggingSettings());
}

}  // namespace
}  // namespace logging
