#include "desktop/windows/installer/package_fetcher/held_files.h"

#include <windows.h>

#include <string>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "desktop/windows/installer/package_fetcher/checksum_checker.h"
#include "desktop/windows/installer/test/test_util.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using base::FilePath;
using test::ReadTextFile;
using test::WriteTextFile;

class HeldFilesTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.CreateUniqueTempDir());
    folder_ = temp_.GetPath().Append(L"package");
    ASSERT_TRUE(held_.CreateFolder(folder_));
  }
  void TearDown() override { held_.ReleaseAll(); }

  base::ScopedTempDir temp_;
  FilePath folder_;
  HeldFiles held_;
};

// Another program writes the file between the writer's close and the
// hold, or takes the name first: neither is held, whatever it holds.
TEST_F(HeldFilesTest, OnlyWhatWasWrittenIsHeld) {
  const FilePath file = folder_.Append(L"installer.dll");
  WriteTextFile(file, "written");
  const std::string written = ComputeSha256Hex("written", 7);
  WriteTextFile(file, "planted");
  EXPECT_FALSE(held_.HoldWritten(file, written));
  EXPECT_FALSE(held_.IsHeld(file));

  EXPECT_FALSE(held_.WriteNewFile(file, "written"));
  EXPECT_EQ("planted", ReadTextFile(file));
  EXPECT_FALSE(held_.CreateFolder(folder_));
  EXPECT_FALSE(held_.CopyInto(file, folder_.Append(L"copy"), written));
  EXPECT_FALSE(base::PathExists(folder_.Append(L"copy")));

  ASSERT_TRUE(base::DeleteFile(file, false));
  WriteTextFile(file, "written");
  EXPECT_TRUE(held_.HoldWritten(file, written));
  EXPECT_FALSE(base::WriteFile(file, "planted", 7) == 7);
  EXPECT_EQ("written", ReadTextFile(file));
}

// A held file is rewritten only when it still holds what was vouched for;
// one that another program opened in the moment its hold was let go is
// left to it and is no longer held.
TEST_F(HeldFilesTest, RewriteKeepsTheHoldOrGivesItUp) {
  const FilePath list = folder_.Append(L"files_list");
  ASSERT_TRUE(held_.WriteNewFile(list, "a\r\n"));
  std::string content;
  ASSERT_TRUE(held_.ReadHeld(list, &content));
  EXPECT_EQ("a\r\n", content);
  ASSERT_TRUE(held_.Rewrite(list, content + "b\r\n"));
  EXPECT_EQ("a\r\nb\r\n", ReadTextFile(list));
  EXPECT_TRUE(held_.IsHeld(list));

  // A reader that shares everything, as another program can open any file
  // that is not held.
  base::win::ScopedHandle other(::CreateFileW(
      list.value().c_str(), GENERIC_READ,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(other.IsValid());
  EXPECT_FALSE(held_.Rewrite(list, "c\r\n"));
  EXPECT_FALSE(held_.IsHeld(list));
  EXPECT_EQ("a\r\nb\r\n", ReadTextFile(list));
}

}  // namespace
}  // namespace installer
