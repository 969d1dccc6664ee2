#include "desktop/windows/crash_reporter/named_counter_file.h"

#include <windows.h>

#include <string>
#include <vector>

#include "base/files/file.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "gtest/gtest.h"

namespace crash_reporter {
namespace {

class NamedCounterFileTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    path_ = temp_dir_.GetPath().Append(L"crash_counters.json");
  }

  void WriteCounterFile(const std::string& text) {
    ASSERT_EQ(
        static_cast<int>(text.size()),
        base::WriteFile(path_, text.data(), static_cast<int>(text.size())));
  }

  std::string ReadCounterFile() {
    std::string text;
    EXPECT_TRUE(base::ReadFileToString(path_, &text));
    return text;
  }

  // One object's additions, written when it goes away.
  void AddOnce(const std::string& name, int32_t delta) {
    NamedCounterFile counters(path_);
    counters.Add(name, delta, false);
  }

  base::ScopedTempDir temp_dir_;
  base::FilePath path_;
};

TEST_F(NamedCounterFileTest, AdditionsSumAndMergeWithTheFile) {
  {
    NamedCounterFile counters(path_);
    counters.Add("installer", 1, false);
    counters.Add("installer", 2, false);
    counters.Add("crash_reporter", 1, false);
  }
  EXPECT_EQ(R"({"crash_reporter":1,"installer":3})", ReadCounterFile());
  AddOnce("installer", 1);
  EXPECT_EQ(R"({"crash_reporter":1,"installer":4})", ReadCounterFile());
}

TEST_F(NamedCounterFileTest, WhatTheFileHoldsDecidesTheMerge) {
  struct {
    const char* before;
    const char* after;
  } cases[] = {
      // Members that are no counts go; counts add up.
      {R"({"a":"x","b":3})", R"({"b":4})"},
      // A writer died before writing anything.
      {"", R"({"b":1})"},
      // A writer died between growing the file and cutting it back.
      {"{\"b\":3}          ", R"({"b":4})"},
      // Somebody else's data is left alone.
      {"[1,2]", "[1,2]"},
      {"{\"b\":", "{\"b\":"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.before);
    WriteCounterFile(test.before);
    AddOnce("b", 1);
    EXPECT_EQ(test.after, ReadCounterFile());
  }
}

TEST_F(NamedCounterFileTest, DottedNamesStayOneCount) {
  AddOnce("installer.backend", 1);
  AddOnce("installer.backend", 1);
  EXPECT_EQ(R"({"installer.backend":2})", ReadCounterFile());
}

TEST_F(NamedCounterFileTest, ProcessesSharingTheFileLoseNoCount) {
  WriteCounterFile(R"({"installer":5})");
  wchar_t self[MAX_PATH];
  DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring host(self, length);
  host =
      host.substr(0, host.rfind(L'\\') + 1) + L"crash_reporter_test_host.exe";
  std::wstring command = L"\"" + host +
                         L"\" --test-action=count --test-name=installer "
                         L"--test-count=50 \"--test-file=" +
                         path_.value() + L"\"";
  std::vector<base::Process> children;
  {
    // Held for a while, as a process in the middle of its merge would.
    base::File holder(path_, base::File::FLAG_OPEN | base::File::FLAG_READ |
                                 base::File::FLAG_EXCLUSIVE_READ |
                                 base::File::FLAG_EXCLUSIVE_WRITE);
    ASSERT_TRUE(holder.IsValid());
    for (int i = 0; i < 3; ++i) {
      children.push_back(base::LaunchProcess(command, base::LaunchOptions()));
      ASSERT_TRUE(children.back().IsValid());
    }
    ::Sleep(300);
  }
  for (const base::Process& child : children) {
    int exit_code = -1;
    EXPECT_TRUE(child.WaitForExitWithTimeout(base::TimeDelta::FromSeconds(30),
                                             &exit_code));
    EXPECT_EQ(0, exit_code);
  }
  EXPECT_EQ(R"({"installer":155})", ReadCounterFile());
}

}  // namespace
}  // namespace crash_reporter
