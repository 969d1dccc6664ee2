#include "desktop/windows/installer/package_fetcher/held_files.h"

#include <windows.h>

#include <string>

#include "base/files/file_util.h"
#include "base/files/new_file.h"
#include "base/files/scoped_temp_dir.h"
#include "base/test/planted_link.h"
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
  base::NewFile download =
      base::NewFile::Create(temp_.GetPath().Append(L"download"));
  ASSERT_TRUE(download.Write("planted", 7));
  EXPECT_FALSE(held_.CopyInto(&download, folder_.Append(L"copy"), written));
  EXPECT_FALSE(base::PathExists(folder_.Append(L"copy")));

  ASSERT_TRUE(base::DeleteFile(file, false));
  WriteTextFile(file, "written");
  EXPECT_TRUE(held_.HoldWritten(file, written));
  EXPECT_FALSE(base::WriteFile(file, "planted", 7) == 7);
  EXPECT_EQ("written", ReadTextFile(file));
}

// Another program plants a link in a held folder where a program that this
// run started wrote too: what that program wrote is held, the link is not,
// and deleting the folder never deletes what the link leads to.
TEST_F(HeldFilesTest, LinkInAHeldFolderIsNeverFollowed) {
  const FilePath victim = temp_.GetPath().Append(L"victim.txt");
  WriteTextFile(victim, "precious");
  const FilePath written = folder_.Append(L"setup.exe");
  WriteTextFile(written, "component");
  const FilePath link = folder_.Append(L"setup.dll");
  ASSERT_TRUE(base::test::MakeFileLink(link, victim));

  EXPECT_FALSE(held_.HoldTree(folder_));
  EXPECT_FALSE(held_.IsHeld(link));
  EXPECT_FALSE(held_.DeleteAll());
  EXPECT_EQ("precious", ReadTextFile(victim));
  EXPECT_FALSE(base::PathExists(written));
  base::test::RemoveLink(link);
}

}  // namespace
}  // namespace installer
