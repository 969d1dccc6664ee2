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

// The first other name's suffix.
std::string PidSuffix() {
  std::string suffix(1, '_');
  suffix += NumberToString(::GetCurrentProcessId());
  return suffix;
}

class NewFileTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(temp_dir_.CreateUniqueTempDir()); }

  FilePath Path(const wchar_t* name) const {
    return temp_dir_.GetPath().Append(name);
  }

  // A file elsewhere that a planted link leads to.
  FilePath MakeVictim() {
    const FilePath victim = Path(L"victim.txt");
    EXPECT_TRUE(WriteFile(victim, std::string_view("precious")));
    return victim;
  }

  static std::string Read(const FilePath& path) {
    std::string contents;
    ReadFileToString(path, &contents);
    return contents;
  }

  static bool CanOpen(const FilePath& path, DWORD access) {
    win::ScopedHandle file(
        ::CreateFileW(path.value().c_str(), access,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, 0, nullptr));
    return file.IsValid();
  }

  ScopedTempDir temp_dir_;
};

// A link at the name is never written through: the name counts as taken,
// and another name is made when the caller allows one.
TEST_F(NewFileTest, LinkAtTheNameIsNotFollowed) {
  const FilePath victim = MakeVictim();
  const FilePath name = Path(L"download.exe");
  ASSERT_TRUE(test::MakeFileLink(name, victim));

  NewFile refused = NewFile::Create(name);
  EXPECT_FALSE(refused.IsValid());
  EXPECT_EQ(File::FILE_ERROR_EXISTS, refused.error());

  NewFile file = NewFile::Create(name, 3);
  ASSERT_TRUE(file.IsValid());
  EXPECT_EQ(name.InsertBeforeExtensionASCII(PidSuffix()), file.path());
  ASSERT_TRUE(file.Write("mine", 4));
  EXPECT_TRUE(file.Delete());
  EXPECT_FALSE(PathExists(file.path()));
  EXPECT_EQ("precious", Read(victim));
  test::RemoveLink(name);
}

// A link to a file that does not exist yet would create it elsewhere.
TEST_F(NewFileTest, DanglingLinkCreatesNothingElsewhere) {
  const FilePath target = Path(L"made_elsewhere.txt");
  const FilePath name = Path(L"log.txt");
  ASSERT_TRUE(test::MakeFileLink(name, target));
  EXPECT_FALSE(NewFile::Create(name).IsValid());
  EXPECT_FALSE(PathExists(target));
  test::RemoveLink(name);
}

// While it is written nobody else may write, rename or delete it; sealed,
// nobody may write it, this process included, and it still goes through
// what was made.
TEST_F(NewFileTest, HeldAgainstOthersUntilDeleted) {
  NewFile file = NewFile::Create(Path(L"held.bin"));
  ASSERT_TRUE(file.IsValid());
  const FilePath path = file.path();
  ASSERT_TRUE(file.Write("0123456789", 10));
  EXPECT_TRUE(CanOpen(path, GENERIC_READ));
  EXPECT_FALSE(CanOpen(path, GENERIC_WRITE));
  EXPECT_FALSE(CanOpen(path, DELETE));
  EXPECT_FALSE(Move(path, Path(L"moved.bin")));

  ASSERT_TRUE(file.Seal());
  EXPECT_TRUE(file.sealed());
  EXPECT_FALSE(CanOpen(path, GENERIC_WRITE));
  EXPECT_FALSE(CanOpen(path, DELETE));
  EXPECT_FALSE(::DeleteFileW(path.value().c_str()));
  char data[16] = {};
  EXPECT_EQ(10, file.Read(0, data, sizeof(data)));
  EXPECT_EQ("0123456789", std::string(data, 10));
  EXPECT_EQ(4, file.Read(6, data, sizeof(data)));

  EXPECT_TRUE(file.Delete());
  EXPECT_FALSE(PathExists(path));
  EXPECT_FALSE(file.IsValid());
}

// What is dropped unfinished, a failed download or a copy cut short by a
// full disk, goes with it; what is kept stays.
TEST_F(NewFileTest, DroppedFileIsRemovedKeptFileStays) {
  FilePath dropped;
  {
    NewFile file = NewFile::Create(Path(L"partial.exe"));
    ASSERT_TRUE(file.IsValid());
    dropped = file.path();
    ASSERT_TRUE(file.Write("part", 4));
  }
  EXPECT_FALSE(PathExists(dropped));

  NewFile kept = NewFile::Create(Path(L"kept.txt"));
  ASSERT_TRUE(kept.IsValid());
  ASSERT_TRUE(kept.Write("keep", 4));
  ASSERT_TRUE(kept.Truncate());
  ASSERT_TRUE(kept.Write("kept", 4));
  kept.Keep();
  EXPECT_EQ("kept", Read(Path(L"kept.txt")));
  EXPECT_TRUE(CanOpen(Path(L"kept.txt"), GENERIC_WRITE));
}

// A move goes with the file held, and never over another file; the file
// is compared with what was meant to be written by its own handle.
TEST_F(NewFileTest, MovedHeldAndCompared) {
  NewFile file = NewFile::Create(Path(L"additional_file.tmp"));
  ASSERT_TRUE(file.IsValid());
  ASSERT_TRUE(file.Write("content", 7));
  const FilePath taken = Path(L"taken.txt");
  ASSERT_TRUE(WriteFile(taken, std::string_view("other")));
  EXPECT_FALSE(file.MoveTo(taken));
  EXPECT_EQ("other", Read(taken));

  const FilePath target = Path(L"partner.dat");
  ASSERT_TRUE(file.MoveTo(target));
  EXPECT_EQ(target, file.path());
  EXPECT_FALSE(PathExists(Path(L"additional_file.tmp")));
  EXPECT_FALSE(CanOpen(target, GENERIC_WRITE));
  ASSERT_TRUE(file.Seal());
  EXPECT_TRUE(file.ContentEquals("content", 7));
  EXPECT_FALSE(file.ContentEquals("content", 6));
  EXPECT_FALSE(file.ContentEquals("content!", 8));
  EXPECT_FALSE(file.ContentEquals("CONTENT", 7));
  EXPECT_TRUE(file.Delete());
  EXPECT_FALSE(PathExists(target));
}

// Beyond the names allowed there is no file, and a missing folder fails
// at once.
TEST_F(NewFileTest, NoFreeNameNoFile) {
  const FilePath name = Path(L"taken.txt");
  ASSERT_TRUE(WriteFile(name, std::string_view("first")));
  ASSERT_TRUE(WriteFile(name.InsertBeforeExtensionASCII(PidSuffix()),
                        std::string_view("second")));
  NewFile file = NewFile::Create(name, 1);
  EXPECT_FALSE(file.IsValid());
  EXPECT_EQ(File::FILE_ERROR_EXISTS, file.error());
  EXPECT_EQ("first", Read(name));

  NewFile nowhere = NewFile::Create(Path(L"missing\\file.txt"), 5);
  EXPECT_FALSE(nowhere.IsValid());
  EXPECT_EQ(File::FILE_ERROR_NOT_FOUND, nowhere.error());
}

}  // namespace
}  // namespace base
