#include "base/files/new_file.h"

#include <windows.h>

#include <string>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/strings/string_number_conversions.h"
#include "base/test/planted_link.h"
#include "gtest/gtest.h"

namespace base {
namespace {

class NewFileTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(temp_dir_.CreateUniqueTempDir()); }

  FilePath Path(const wchar_t* name) const {
    return temp_dir_.GetPath().Append(name);
  }

  static std::string Read(const FilePath& path) {
    std::string contents;
    ReadFileToString(path, &contents);
    return contents;
  }

  static bool CanOpen(const FilePath& path, DWORD access) {
    win::ScopedHandle file(::CreateFileW(path.value().c_str(), access, 7,
                                         nullptr, OPEN_EXISTING, 0, nullptr));
    return file.IsValid();
  }

  ScopedTempDir temp_dir_;
};

// A link at the name, also one to a file yet to be made, is never written
// through: the name counts as taken, and another one is made when allowed.
TEST_F(NewFileTest, LinkAtTheNameIsNotFollowed) {
  const FilePath victim = Path(L"victim.txt");
  ASSERT_TRUE(WriteFile(victim, std::string_view("precious")));
  const FilePath name = Path(L"download.exe");
  ASSERT_TRUE(test::MakeFileLink(name, victim));
  const FilePath dangling = Path(L"log.txt");
  ASSERT_TRUE(test::MakeFileLink(dangling, Path(L"made_elsewhere.txt")));

  EXPECT_EQ(File::FILE_ERROR_EXISTS, NewFile::Create(name).error());
  EXPECT_FALSE(NewFile::Create(dangling).IsValid());
  EXPECT_FALSE(PathExists(Path(L"made_elsewhere.txt")));
  NewFile file = NewFile::Create(name, 3);
  ASSERT_TRUE(file.IsValid());
  std::string suffix(1, '_');
  suffix += NumberToString(::GetCurrentProcessId());
  EXPECT_EQ(name.InsertBeforeExtensionASCII(suffix), file.path());
  ASSERT_TRUE(file.Write("mine", 4));
  EXPECT_TRUE(file.Delete());
  EXPECT_FALSE(PathExists(file.path()));
  EXPECT_EQ("precious", Read(victim));
  test::RemoveLink(name);
  test::RemoveLink(dangling);
}

// While it is written nobody else may write, rename or delete it; sealed,
// nobody may write it, this process included; it goes through what was
// made, and so does a file dropped unfinished.
TEST_F(NewFileTest, HeldAgainstOthersUntilDeleted) {
  NewFile file = NewFile::Create(Path(L"held.bin"));
  ASSERT_TRUE(file.IsValid());
  const FilePath path = file.path();
  ASSERT_TRUE(file.Write("0123456789", 10));
  EXPECT_TRUE(CanOpen(path, GENERIC_READ));
  EXPECT_FALSE(CanOpen(path, GENERIC_WRITE));
  EXPECT_FALSE(CanOpen(path, DELETE));
  ASSERT_TRUE(file.Seal());
  EXPECT_FALSE(CanOpen(path, GENERIC_WRITE));
  EXPECT_FALSE(::DeleteFileW(path.value().c_str()));
  EXPECT_TRUE(file.ContentEquals("0123456789", 10));
  EXPECT_FALSE(file.ContentEquals("0123456789", 9));
  EXPECT_FALSE(file.ContentEquals("0123456780", 10));
  EXPECT_TRUE(file.Delete());
  EXPECT_FALSE(PathExists(path));

  FilePath dropped;
  {
    NewFile partial = NewFile::Create(Path(L"partial.exe"));
    dropped = partial.path();
    ASSERT_TRUE(partial.Write("part", 4));
  }
  EXPECT_FALSE(PathExists(dropped));
  NewFile kept = NewFile::Create(Path(L"kept.txt"));
  ASSERT_TRUE(kept.Write("keep", 4) && kept.Truncate() && kept.Write("k", 1));
  kept.Keep();
  EXPECT_EQ("k", Read(Path(L"kept.txt")));
}

// A file that another program made is held as a sealed one is, and goes
// through what was held; a link at its name is refused, and what it leads
// to is never held nor deleted.
TEST_F(NewFileTest, ExistingFileHeldOnlyAtItsPlace) {
  const FilePath made = Path(L"setup.exe");
  ASSERT_TRUE(WriteFile(made, std::string_view("component")));
  NewFile held = NewFile::HoldExisting(made);
  ASSERT_TRUE(held.IsValid());
  EXPECT_TRUE(held.sealed());
  EXPECT_TRUE(CanOpen(made, GENERIC_READ));
  EXPECT_FALSE(CanOpen(made, GENERIC_WRITE));
  EXPECT_FALSE(::DeleteFileW(made.value().c_str()));
  EXPECT_TRUE(held.ContentEquals("component", 9));

  const FilePath victim = Path(L"victim.txt");
  ASSERT_TRUE(WriteFile(victim, std::string_view("precious")));
  const FilePath link = Path(L"setup.dll");
  ASSERT_TRUE(test::MakeFileLink(link, victim));
  NewFile refused = NewFile::HoldExisting(link);
  EXPECT_FALSE(refused.IsValid());
  EXPECT_EQ(File::FILE_ERROR_SECURITY, refused.error());
  EXPECT_FALSE(NewFile::HoldExisting(Path(L"missing.exe")).IsValid());
  EXPECT_TRUE(CanOpen(victim, GENERIC_WRITE));
  EXPECT_TRUE(held.Delete());
  EXPECT_FALSE(PathExists(made));
  EXPECT_EQ("precious", Read(victim));
  test::RemoveLink(link);
}

// Reading what was written so far leaves the next write where writing
// stopped.
TEST_F(NewFileTest, ReadingLeavesWritingWhereItStopped) {
  NewFile file = NewFile::Create(Path(L"download.exe"));
  ASSERT_TRUE(file.Write("abcdef", 6));
  char read[4] = {};
  EXPECT_EQ(3, file.Read(1, read, 3));
  EXPECT_EQ("bcd", std::string(read, 3));
  EXPECT_EQ(0, file.Read(6, read, 3));
  ASSERT_TRUE(file.Write("gh", 2));
  EXPECT_TRUE(file.ContentEquals("abcdefgh", 8));
  ASSERT_TRUE(file.Seal());
  EXPECT_EQ(2, file.Read(6, read, 3));
  EXPECT_TRUE(file.ContentEquals("abcdefgh", 8));
}

// A folder that is not there is said as such, not taken for a held name.
TEST_F(NewFileTest, MissingFolderIsNotFound) {
  EXPECT_EQ(File::FILE_ERROR_NOT_FOUND,
            NewFile::Create(Path(L"missing\\file.txt"), 5).error());
}

}  // namespace
}  // namespace base
