#include "base/files/file_util.h"

#include <windows.h>

#include <string>
#include <vector>

#include "base/files/scoped_temp_dir.h"
#include "base/test/planted_link.h"
#include "gtest/gtest.h"

namespace base {
namespace {

class FileUtilTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(temp_dir_.CreateUniqueTempDir()); }

  FilePath Path(const wchar_t* name) const {
    return temp_dir_.GetPath().Append(name);
  }

  static void Write(const FilePath& path, const std::string& data) {
    ASSERT_EQ(static_cast<int>(data.size()),
              WriteFile(path, data.data(), static_cast<int>(data.size())));
  }

  static std::string Read(const FilePath& path) {
    std::string contents;
    EXPECT_TRUE(ReadFileToString(path, &contents)) << path;
    return contents;
  }

  static void MakeReadOnly(const FilePath& path) {
    ASSERT_TRUE(
        ::SetFileAttributesW(path.value().c_str(), FILE_ATTRIBUTE_READONLY));
  }

  static bool IsReadOnly(const FilePath& path) {
    return ::GetFileAttributesW(path.value().c_str()) & FILE_ATTRIBUTE_READONLY;
  }

  // A path of |length| characters inside the temporary folder.
  FilePath LongPath(size_t length) const {
    FilePath base = temp_dir_.GetPath();
    return base.Append(std::wstring(length - base.value().size() - 1, L'x'));
  }

  ScopedTempDir temp_dir_;
};

TEST_F(FileUtilTest, CreateDirectoryMakesEveryMissingLevel) {
  FilePath deep = Path(L"a\\b\\c");
  EXPECT_TRUE(CreateDirectory(deep));
  EXPECT_TRUE(DirectoryExists(deep));
  // An existing folder counts as success.
  EXPECT_TRUE(CreateDirectory(deep));

  FilePath file = Path(L"file");
  Write(file, "x");
  EXPECT_FALSE(CreateDirectory(file.Append(L"sub\\deeper")));
  EXPECT_FALSE(PathExists(file.Append(L"sub")));
}

TEST_F(FileUtilTest, WriteAndReadWholeFiles) {
  FilePath file = Path(L"data.bin");
  const std::string data("bin\0ary\r\n\xff", 10);
  Write(file, data);
  EXPECT_EQ(data, Read(file));

  // Writing again truncates.
  Write(file, "ab");
  char buffer[8] = {};
  EXPECT_EQ(2, ReadFile(file, buffer, sizeof(buffer)));
  EXPECT_EQ(1, ReadFile(file, buffer, 1));
  EXPECT_EQ(-1, ReadFile(Path(L"missing"), buffer, sizeof(buffer)));
  EXPECT_EQ(-1, WriteFile(Path(L"missing\\file"), "x", 1));
}

TEST_F(FileUtilTest, ReadFileToStringStopsAtMaxSize) {
  FilePath file = Path(L"data.txt");
  Write(file, "0123456789");
  std::string contents = "old";
  EXPECT_TRUE(ReadFileToStringWithMaxSize(file, &contents, 10));
  EXPECT_EQ("0123456789", contents);
  EXPECT_FALSE(ReadFileToStringWithMaxSize(file, &contents, 9));
  EXPECT_EQ("012345678", contents);
  EXPECT_TRUE(ReadFileToStringWithMaxSize(file, nullptr, 10));

  contents = "old";
  EXPECT_FALSE(ReadFileToString(Path(L"missing"), &contents));
  EXPECT_EQ("", contents);
  // An existing file is still refused through "..".
  EXPECT_FALSE(ReadFileToString(temp_dir_.GetPath()
                                    .Append(L"..")
                                    .Append(temp_dir_.GetPath().BaseName())
                                    .Append(L"data.txt"),
                                &contents));
}

TEST_F(FileUtilTest, CopyFileOverwritesAndClearsReadOnly) {
  FilePath source = Path(L"source");
  FilePath target = Path(L"target");
  Write(source, "new");
  Write(target, "old contents");
  MakeReadOnly(source);
  EXPECT_TRUE(CopyFile(source, target));
  EXPECT_EQ("new", Read(target));
  EXPECT_FALSE(IsReadOnly(target));
  EXPECT_TRUE(IsReadOnly(source));

  EXPECT_FALSE(CopyFile(Path(L"missing"), target));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), ::GetLastError());
}

TEST_F(FileUtilTest, CopyFileToNewPathLeavesWhatIsThere) {
  FilePath source = Path(L"source");
  Write(source, "new");
  MakeReadOnly(source);
  FilePath target = Path(L"target");
  EXPECT_TRUE(CopyFileToNewPath(source, target));
  EXPECT_EQ("new", Read(target));
  EXPECT_FALSE(IsReadOnly(target));

  // Taken by a file in other letters, by a read-only file, by a folder.
  FilePath old_file = Path(L"old");
  Write(old_file, "old contents");
  EXPECT_FALSE(CopyFileToNewPath(source, Path(L"OLD")));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), ::GetLastError());
  MakeReadOnly(old_file);
  EXPECT_FALSE(CopyFileToNewPath(source, old_file));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), ::GetLastError());
  EXPECT_EQ("old contents", Read(old_file));
  ASSERT_TRUE(CreateDirectory(Path(L"folder")));
  EXPECT_FALSE(CopyFileToNewPath(source, Path(L"folder")));
  EXPECT_TRUE(DirectoryExists(Path(L"folder")));

  EXPECT_FALSE(CopyFileToNewPath(source, Path(L"missing\\target")));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), ::GetLastError());
  EXPECT_FALSE(PathExists(Path(L"missing")));
}

TEST_F(FileUtilTest, CopyWritableFileToNewPathKeepsToNewPaths) {
  FilePath source = Path(L"source");
  Write(source, "new");
  FilePath target = Path(L"target");
  EXPECT_TRUE(CopyWritableFileToNewPath(source, target));
  EXPECT_EQ("new", Read(target));
  EXPECT_FALSE(IsReadOnly(target));

  FilePath old_file = Path(L"old");
  Write(old_file, "old contents");
  EXPECT_FALSE(CopyWritableFileToNewPath(source, Path(L"OLD")));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), ::GetLastError());
  EXPECT_EQ("old contents", Read(old_file));
  EXPECT_FALSE(CopyWritableFileToNewPath(source, Path(L"missing\\target")));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), ::GetLastError());
  EXPECT_FALSE(CopyWritableFileToNewPath(
      source, temp_dir_.GetPath().Append(L"..").Append(L"escaped")));
  EXPECT_FALSE(PathExists(temp_dir_.GetPath().DirName().Append(L"escaped")));
}

TEST_F(FileUtilTest, CopyAndMoveRefuseParentReferencesAndLongPaths) {
  FilePath source = Path(L"source");
  Write(source, "x");
  FilePath sneaky = Path(L"sub\\..\\target");
  ASSERT_TRUE(CreateDirectory(Path(L"sub")));

  EXPECT_FALSE(CopyFile(source, sneaky));
  EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_PATHNAME), ::GetLastError());
  EXPECT_FALSE(Move(source, sneaky));
  EXPECT_FALSE(PathExists(Path(L"target")));

  FilePath too_long = LongPath(kMaxPathLength);
  EXPECT_FALSE(CopyFile(source, too_long));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), ::GetLastError());
  EXPECT_FALSE(Move(source, too_long));
  EXPECT_TRUE(CopyFile(source, LongPath(kMaxPathLength - 1)));
  EXPECT_TRUE(PathExists(source));
}

TEST_F(FileUtilTest, MoveReplacesFilesAndMovesFolders) {
  FilePath source = Path(L"source");
  FilePath target = Path(L"target");
  Write(source, "new");
  Write(target, "old");
  EXPECT_TRUE(Move(source, target));
  EXPECT_FALSE(PathExists(source));
  EXPECT_EQ("new", Read(target));

  FilePath folder = Path(L"folder");
  ASSERT_TRUE(CreateDirectory(folder.Append(L"inner")));
  EXPECT_TRUE(Move(folder, Path(L"aside")));
  EXPECT_TRUE(DirectoryExists(Path(L"aside\\inner")));
  EXPECT_FALSE(Move(Path(L"missing"), target));
}

TEST_F(FileUtilTest, DeleteFileRemovesFilesAndEmptyFolders) {
  EXPECT_TRUE(DeleteFile(FilePath(), false));
  EXPECT_TRUE(DeleteFile(Path(L"missing"), true));
  EXPECT_TRUE(DeleteFile(Path(L"missing\\deeper"), false));
  EXPECT_FALSE(DeleteFile(LongPath(kMaxPathLength), false));
  FilePath file = Path(L"read-only");
  Write(file, "x");
  MakeReadOnly(file);
  EXPECT_TRUE(DeleteFile(file, false));
  EXPECT_FALSE(PathExists(file));

  FilePath folder = Path(L"folder");
  ASSERT_TRUE(CreateDirectory(folder));
  Write(folder.Append(L"inside"), "x");
  EXPECT_FALSE(DeleteFile(folder, false));
  EXPECT_TRUE(PathExists(folder.Append(L"inside")));
  ASSERT_TRUE(DeleteFile(folder.Append(L"inside"), false));
  EXPECT_TRUE(DeleteFile(folder, false));
  EXPECT_FALSE(PathExists(folder));
}

TEST_F(FileUtilTest, RecursiveDeleteRemovesTreeWithReadOnlyEntries) {
  FilePath root = Path(L"root");
  ASSERT_TRUE(CreateDirectory(root.Append(L"a\\b")));
  ASSERT_TRUE(CreateDirectory(root.Append(L"empty")));
  Write(root.Append(L"top.txt"), "x");
  Write(root.Append(L"a\\b\\deep.txt"), "x");
  MakeReadOnly(root.Append(L"a\\b\\deep.txt"));
  MakeReadOnly(root.Append(L"a"));
  EXPECT_TRUE(DeleteFile(root, true));
  EXPECT_FALSE(PathExists(root));
}

// Under Wine, DeleteFileW of a Unix link to a file deletes the file it
// leads to: a link at the name is neither deleted through, written nor
// appended to; a file of its own at the name is replaced, appended to and
// deleted.
TEST_F(FileUtilTest, FilesAtTheirPlaceOnly) {
  FilePath victim = Path(L"victim.txt");
  Write(victim, "precious");
  FilePath link = Path(L"crash.txt");
  ASSERT_TRUE(test::MakeFileLink(link, victim));
  EXPECT_FALSE(DeleteFileAtItsPlace(link));
  EXPECT_EQ(nullptr, OpenNewFileStream(link, "w"));
  EXPECT_EQ(nullptr, OpenFileStreamToAppend(link));
  EXPECT_EQ("precious", Read(victim));
  test::RemoveLink(link);

  FILE* file = OpenNewFileStream(victim, "w");
  ASSERT_TRUE(file);
  EXPECT_GE(fputs("line\n", file), 0);
  EXPECT_EQ(0, fclose(file));
  file = OpenFileStreamToAppend(victim);
  ASSERT_TRUE(file);
  EXPECT_GE(fputs("more\n", file), 0);
  EXPECT_EQ(0, fclose(file));
  EXPECT_EQ("line\r\nmore\r\n", Read(victim));
  {
    // Held open by another, the name cannot be cleared.
    File held(victim, File::FLAG_OPEN | File::FLAG_READ);
    EXPECT_EQ(nullptr, OpenNewFileStream(victim, "wb"));
  }
  EXPECT_TRUE(DeleteFileAtItsPlace(victim));
  EXPECT_TRUE(DeleteFileAtItsPlace(victim));
  EXPECT_FALSE(PathExists(victim));
}

// A folder that other programs may write goes with what is in it, each
// file and folder at its place; a link to a file, which Wine's DeleteFileW
// would follow, stays with what it leads to and keeps the folder, a link to
// a folder never has what it leads to emptied, and another folder put at
// the name is not deleted.
TEST_F(FileUtilTest, FolderGoesAtItsPlaceOnly) {
  const FilePath root = Path(L"package");
  const FilePath deeper = root.Append(L"resources").Append(L"deeper");
  ASSERT_TRUE(CreateDirectory(deeper));
  Write(root.Append(L"a.txt"), "a");
  Write(deeper.Append(L"c.txt"), "c");
  const FilePath victim = Path(L"victim.txt");
  Write(victim, "precious");
  const FilePath outside = Path(L"outside");
  ASSERT_TRUE(CreateDirectory(outside));
  Write(outside.Append(L"keep.txt"), "keep");
  const FilePath file_link = deeper.Append(L"evil.pak");
  const FilePath folder_link = root.Append(L"evil");
  ASSERT_TRUE(test::MakeFileLink(file_link, victim));
  ASSERT_TRUE(test::MakeDirectoryLink(folder_link, outside));
  EXPECT_FALSE(OpenFolderAtItsPlace(folder_link).IsValid());
  FileIdentity root_id;
  FileIdentity outside_id;
  ASSERT_TRUE(GetFileIdentity(OpenFolderAtItsPlace(root).Get(), &root_id));
  ASSERT_TRUE(
      GetFileIdentity(OpenFolderAtItsPlace(outside).Get(), &outside_id));

  EXPECT_FALSE(DeleteFolderAtItsPlace(outside, root_id));
  EXPECT_EQ("keep", Read(outside.Append(L"keep.txt")));
  EXPECT_FALSE(DeleteFolderAtItsPlace(root, root_id));
  EXPECT_EQ("precious", Read(victim));
  EXPECT_EQ("keep", Read(outside.Append(L"keep.txt")));
  EXPECT_FALSE(PathExists(root.Append(L"a.txt")));
  EXPECT_FALSE(PathExists(deeper.Append(L"c.txt")));
  test::RemoveLink(file_link);
  test::RemoveLink(folder_link);
  EXPECT_TRUE(DeleteFolderAtItsPlace(root, root_id));
  EXPECT_FALSE(PathExists(root));
  EXPECT_TRUE(DeleteFolderAtItsPlace(outside, outside_id));
  EXPECT_FALSE(PathExists(outside));
}

// The tree goes around a link inside it; what the link points at stays,
// and a delete that could not take the link away does not report success.
TEST_F(FileUtilTest, RecursiveDeleteDoesNotFollowLinks) {
  FilePath outside = Path(L"outside");
  ASSERT_TRUE(CreateDirectory(outside.Append(L"inner")));
  Write(outside.Append(L"keep.txt"), "keep");
  Write(outside.Append(L"inner\\keep.txt"), "inner");
  FilePath root = Path(L"root");
  FilePath sub = root.Append(L"sub");
  ASSERT_TRUE(CreateDirectory(sub));
  Write(root.Append(L"a.txt"), "a");
  Write(sub.Append(L"b.txt"), "b");
  FilePath link = sub.Append(L"link");
  if (!test::MakeDirectoryLink(link, outside)) {
    ASSERT_FALSE(test::IsWine()) << "Wine made no link";
    GTEST_SKIP() << "making links needs a privilege this account lacks";
  }
  ASSERT_EQ("keep", Read(link.Append(L"keep.txt")));

  const bool deleted = DeleteFile(root, true);
  EXPECT_EQ("keep", Read(outside.Append(L"keep.txt")));
  EXPECT_EQ("inner", Read(outside.Append(L"inner\\keep.txt")));
  EXPECT_FALSE(PathExists(root.Append(L"a.txt")));
  EXPECT_FALSE(PathExists(sub.Append(L"b.txt")));
  EXPECT_EQ(deleted, !PathExists(link));
  EXPECT_EQ(deleted, !PathExists(root));
  test::RemoveLink(link);
}

}  // namespace
}  // namespace base
