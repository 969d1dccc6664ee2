// The file and folder operations on real files: their changes, rollbacks,
// commits and failure paths.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/strings/string_number_conversions.h"
#include "base/time/time.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/service/transactions/copy_file_operation.h"
#include "desktop/windows/installer/service/transactions/create_folder_operation.h"
#include "desktop/windows/installer/service/transactions/delete_file_operation.h"
#include "desktop/windows/installer/service/transactions/move_file_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/test/fake_security_access.h"
#include "desktop/windows/installer/test/machine_snapshot.h"
#include "desktop/windows/installer/test/scoped_log_capture.h"
#include "desktop/windows/installer/test/windows_like_security_access.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

std::wstring AsText(time_t seconds) {
  return base::NumberToString16(static_cast<long long>(seconds));
}

class FileOperationsTest : public testing::Test {
 protected:
  FileOperationsTest() : security_override_(&security_) {}

  void SetUp() override {
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    dir_ = temp_dir_.GetPath();
    scope_.folders.push_back(dir_);
  }

  base::FilePath Path(const wchar_t* relative) const {
    return dir_.Append(relative);
  }

  void Write(const base::FilePath& path, const std::string& content) {
    ASSERT_TRUE(base::CreateDirectory(path.DirName()));
    ASSERT_EQ(static_cast<int>(content.size()),
              base::WriteFile(path, content.data(),
                              static_cast<int>(content.size())));
  }

  std::string Read(const base::FilePath& path) {
    std::string content;
    if (!base::ReadFileToString(path, &content))
      return "<missing>";
    return content;
  }

  void SetReadOnly(const base::FilePath& path) {
    ASSERT_TRUE(
        ::SetFileAttributesW(path.value().c_str(), FILE_ATTRIBUTE_READONLY));
  }

  bool IsReadOnly(const base::FilePath& path) {
    DWORD attributes = ::GetFileAttributesW(path.value().c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_READONLY);
  }

  // Every aside file ("*.old") below the test folder.
  std::vector<base::FilePath> AsideFiles() {
    std::vector<base::FilePath> files;
    base::FileEnumerator entries(
        dir_, /*recursive=*/true,
        base::FileEnumerator::FILES | base::FileEnumerator::DIRECTORIES,
        L"*.old");
    for (base::FilePath path = entries.Next(); !path.empty();
         path = entries.Next()) {
      files.push_back(path);
    }
    return files;
  }

  // Opens |path| for reading as another program might; |share| decides
  // what others may do meanwhile.
  base::win::ScopedHandle Hold(const base::FilePath& path, DWORD share) {
    base::win::ScopedHandle handle(
        ::CreateFileW(path.value().c_str(), GENERIC_READ, share, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(handle.IsValid());
    return handle;
  }

  test::MachineSnapshot Snapshot() { return test::TakeSnapshot(scope_); }

  test::WindowsLikeSecurityAccess security_;
  SecurityAccess::ScopedOverrideForTesting security_override_;
  test::ScopedLogCapture log_;
  base::ScopedTempDir temp_dir_;
  base::FilePath dir_;
  test::SnapshotScope scope_;
};

// ------------------------------------------------------------------------
// Copy.

TEST_F(FileOperationsTest, CopyOverAFileMovesItAsideUntilCommit) {
  const base::FilePath source = Path(L"package\\kelvo.dll");
  const base::FilePath target = Path(L"app\\kelvo.dll");
  Write(source, "new");
  Write(target, "old");
  const test::MachineSnapshot before = Snapshot();

  Transaction transaction;
  ASSERT_TRUE(
      transaction.Execute(std::make_unique<CopyFileOperation>(source, target)));
  EXPECT_EQ("new", Read(target));
  std::vector<base::FilePath> aside = AsideFiles();
  ASSERT_EQ(1u, aside.size());
  EXPECT_EQ("old", Read(aside[0]));
  EXPECT_TRUE(log_.Contains("Copying " + source.AsUTF8Unsafe() + " to " +
                            target.AsUTF8Unsafe()));
  EXPECT_TRUE(log_.Contains("File copied successfully"));

  // The copy goes first, then the old file comes back under its own name.
  transaction.Rollback();
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));

  ASSERT_TRUE(
      transaction.Execute(std::make_unique<CopyFileOperation>(source, target)));
  transaction.Commit();
  EXPECT_EQ("new", Read(target));
  EXPECT_TRUE(AsideFiles().empty());
}

TEST_F(FileOperationsTest, FailedCopyLeavesNeitherFileNorFolder) {
  const test::MachineSnapshot before = Snapshot();
  Transaction transaction;
  EXPECT_FALSE(transaction.Execute(std::make_unique<CopyFileOperation>(
      Path(L"package\\missing.txt"), Path(L"app\\new\\missing.txt"))));
  EXPECT_TRUE(log_.ContainsError("File copy failed "));
  EXPECT_TRUE(transaction.empty());
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
}

TEST_F(FileOperationsTest, ReadOnlySourceIsCopiedAndStaysReadOnly) {
  const base::FilePath source = Path(L"package\\ro.txt");
  const base::FilePath target = Path(L"app\\ro.txt");
  Write(source, "ro");
  SetReadOnly(source);

  Transaction transaction;
  ASSERT_TRUE(
      transaction.Execute(std::make_unique<CopyFileOperation>(source, target)));
  EXPECT_EQ("ro", Read(target));
  // The copy can be replaced by the next update; the source is unchanged.
  EXPECT_FALSE(IsReadOnly(target));
  EXPECT_TRUE(IsReadOnly(source));
}

// ------------------------------------------------------------------------
// Move.

TEST_F(FileOperationsTest, MoveReplacesTargetAndRollbackRestoresBoth) {
  const base::FilePath source = Path(L"shortcuts\\Kelvo.lnk");
  const base::FilePath target = Path(L"desktop\\Kelvo.lnk");
  Write(source, "moved");
  Write(target, "replaced");
  SetReadOnly(source);
  const test::MachineSnapshot before = Snapshot();

  Transaction transaction;
  ASSERT_TRUE(
      transaction.Execute(std::make_unique<MoveFileOperation>(source, target)));
  EXPECT_TRUE(log_.Contains("Moving " + source.AsUTF8Unsafe() + "to" +
                            target.AsUTF8Unsafe()));
  EXPECT_FALSE(base::PathExists(source));
  EXPECT_EQ("moved", Read(target));
  // Cleared so that a move across volumes could delete the source.
  EXPECT_FALSE(IsReadOnly(target));

  transaction.Rollback();
  EXPECT_TRUE(IsReadOnly(source));
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));

  // A missing source fails after its folder was made: that goes too.
  EXPECT_FALSE(transaction.Execute(std::make_unique<MoveFileOperation>(
      Path(L"missing.txt"), Path(L"new\\dir\\missing.txt"))));
  EXPECT_TRUE(log_.ContainsError("File copy failed"));
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
}

// ------------------------------------------------------------------------
// Delete.

TEST_F(FileOperationsTest, DeleteMissingFileIsNothingToDo) {
  const test::MachineSnapshot before = Snapshot();
  Transaction transaction;
  ASSERT_TRUE(transaction.Execute(std::make_unique<DeleteFileOperation>(
      Path(L"missing.dll"), true, true, dir_)));
  EXPECT_TRUE(log_.Contains("File does not exist. Nothing to do"));
  transaction.Rollback();
  ASSERT_TRUE(transaction.Execute(std::make_unique<DeleteFileOperation>(
      Path(L"missing.dll"), true, true, dir_)));
  transaction.Commit();
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
}

TEST_F(FileOperationsTest, DeleteMovesAsideAndCommitDeletes) {
  const base::FilePath file = Path(L"app\\ro.txt");
  Write(file, "content");
  SetReadOnly(file);
  const test::MachineSnapshot before = Snapshot();
  const time_t seconds = base::Time::Now().ToTimeT();

  Transaction transaction;
  auto operation = std::make_unique<DeleteFileOperation>(file, false, false);
  DeleteFileOperation* deletion = operation.get();
  ASSERT_TRUE(transaction.Execute(std::move(operation)));
  EXPECT_FALSE(base::PathExists(file));
  // NAME.SECONDS.old beside the file.
  const base::FilePath aside = deletion->aside_path();
  EXPECT_TRUE(aside == file.AddExtension(L"." + AsText(seconds) + L".old") ||
              aside == file.AddExtension(L"." + AsText(seconds + 1) + L".old"))
      << aside;
  EXPECT_EQ("content", Read(deletion->aside_path()));
  EXPECT_TRUE(log_.Contains("File moved successfully to " +
                            deletion->aside_path().AsUTF8Unsafe()));

  transaction.Rollback();
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));

  ASSERT_TRUE(transaction.Execute(
      std::make_unique<DeleteFileOperation>(file, false, false)));
  transaction.Commit();
  EXPECT_TRUE(log_.Contains("Actual removal of "));
  EXPECT_FALSE(base::PathExists(file));
  EXPECT_TRUE(AsideFiles().empty());
  // Without removal of empty parents the folder stays.
  EXPECT_TRUE(base::DirectoryExists(file.DirName()));
}

TEST_F(FileOperationsTest, TwoDeletesOfOnePathWithinASecond) {
  const base::FilePath file = Path(L"installation_status.xml");
  const base::FilePath replacement = Path(L"package\\installation_status.xml");
  Write(file, "first");
  Write(replacement, "second");
  const test::MachineSnapshot before = Snapshot();

  Transaction transaction;
  auto first = std::make_unique<DeleteFileOperation>(file, false, false);
  auto second = std::make_unique<DeleteFileOperation>(file, false, false);
  DeleteFileOperation* first_deletion = first.get();
  DeleteFileOperation* second_deletion = second.get();
  ASSERT_TRUE(transaction.Execute(std::move(first)));
  ASSERT_TRUE(transaction.Execute(
      std::make_unique<CopyFileOperation>(replacement, file)));
  ASSERT_TRUE(transaction.Execute(std::move(second)));
  EXPECT_NE(first_deletion->aside_path(), second_deletion->aside_path());
  EXPECT_EQ("first", Read(first_deletion->aside_path()));
  EXPECT_EQ("second", Read(second_deletion->aside_path()));

  transaction.Rollback();
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
}

TEST_F(FileOperationsTest, TakenAsideNamesAreSkippedUpToALimit) {
  const base::FilePath file = Path(L"kelvo.exe");
  Write(file, "exe");
  // Whatever second the delete falls in, aside names |from| to |to| - 1 of
  // it are taken.
  auto take_names = [this](int from, int to) {
    const time_t now = base::Time::Now().ToTimeT();
    for (time_t seconds : {now, now + 1}) {
      for (int i = from; i < to; ++i) {
        std::wstring name = L"kelvo.exe." + AsText(seconds);
        if (i > 0)
          name += L"." + base::NumberToString16(i);
        Write(Path((name + L".old").c_str()), "taken");
      }
    }
  };
  take_names(0, 2);
  const test::MachineSnapshot before = Snapshot();
  Transaction transaction;
  auto operation = std::make_unique<DeleteFileOperation>(file, true, false);
  const DeleteFileOperation* deletion = operation.get();
  ASSERT_TRUE(transaction.Execute(std::move(operation)));
  EXPECT_EQ("exe", Read(deletion->aside_path()));
  transaction.Rollback();
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));

  take_names(2, 100);
  EXPECT_FALSE(transaction.Execute(
      std::make_unique<DeleteFileOperation>(file, true, false)));
  EXPECT_TRUE(log_.ContainsError("Temporary file with name"));
  EXPECT_EQ("exe", Read(file));
}

TEST_F(FileOperationsTest, LibraryOpenForReadingIsInUse) {
  // Upper case: the test is for ".exe" and ".dll" without regard to case.
  const base::FilePath library = Path(L"KELVO.DLL");
  Write(library, "dll");
  // Others may rename it but not write it: as a loaded library.
  base::win::ScopedHandle held =
      Hold(library, FILE_SHARE_READ | FILE_SHARE_DELETE);
  const test::MachineSnapshot before = Snapshot();

  Transaction transaction;
  EXPECT_FALSE(transaction.Execute(
      std::make_unique<DeleteFileOperation>(library, true, false)));
  EXPECT_TRUE(
      log_.ContainsError("Attempt to open the file for writing failed: "));
  EXPECT_TRUE(log_.ContainsError("File removal failed"));
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));

  // Without the in-use test only the move decides, and it succeeds.
  ASSERT_TRUE(transaction.Execute(
      std::make_unique<DeleteFileOperation>(library, false, false)));
  EXPECT_FALSE(base::PathExists(library));
  transaction.Rollback();

  // A text file is never tested.
  const base::FilePath text = Path(L"notes.txt");
  Write(text, "text");
  base::win::ScopedHandle held_text =
      Hold(text, FILE_SHARE_READ | FILE_SHARE_DELETE);
  EXPECT_TRUE(transaction.Execute(
      std::make_unique<DeleteFileOperation>(text, true, false)));
  transaction.Rollback();
  EXPECT_EQ("text", Read(text));
}

TEST_F(FileOperationsTest, FileHeldWithoutDeleteSharingCannotGo) {
  const base::FilePath file = Path(L"kelvo.exe");
  Write(file, "old");
  Write(Path(L"package\\kelvo.exe"), "new");
  base::win::ScopedHandle held = Hold(file, FILE_SHARE_READ);
  const test::MachineSnapshot before = Snapshot();
  Transaction transaction;
  for (bool check_in_use : {false, true}) {
    EXPECT_FALSE(transaction.Execute(
        std::make_unique<DeleteFileOperation>(file, check_in_use, false)));
  }
  // Nor can a copy replace it.
  EXPECT_FALSE(transaction.Execute(
      std::make_unique<CopyFileOperation>(Path(L"package\\kelvo.exe"), file)));
  EXPECT_EQ(3, log_.Count("File removal failed"));
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
}

TEST_F(FileOperationsTest, RollbackKeepsAFileItCannotPutBack) {
  const base::FilePath file = Path(L"bookmarks.html");
  Write(file, "the user's data");
  std::unique_ptr<Transaction> transaction = std::make_unique<Transaction>();
  auto operation = std::make_unique<DeleteFileOperation>(file, false, false);
  const DeleteFileOperation* deletion = operation.get();
  ASSERT_TRUE(transaction->Execute(std::move(operation)));
  const base::FilePath aside = deletion->aside_path();

  // Something took the name meanwhile; a folder cannot be replaced.
  ASSERT_TRUE(base::CreateDirectory(file));
  transaction->Rollback();
  transaction.reset();
  EXPECT_EQ("the user's data", Read(aside));
  EXPECT_TRUE(log_.ContainsError("could not be put back; it is kept at " +
                                 aside.AsUTF8Unsafe()));
}

TEST_F(FileOperationsTest, EmptyParentsGoUpToTheStopFolder) {
  const base::FilePath install = Path(L"Kelvo");
  const base::FilePath file = install.Append(L"45.0\\locales\\de\\de.pak");
  Write(file, "de");
  Write(install.Append(L"45.0\\kelvo.dll"), "dll");

  Transaction transaction;
  ASSERT_TRUE(transaction.Execute(
      std::make_unique<DeleteFileOperation>(file, true, true, install)));
  // Nothing goes before the commit, nor after a rollback.
  EXPECT_TRUE(base::DirectoryExists(file.DirName()));
  transaction.Rollback();
  EXPECT_EQ("de", Read(file));

  ASSERT_TRUE(transaction.Execute(
      std::make_unique<DeleteFileOperation>(file, true, true, install)));
  transaction.Commit();
  // de and locales were left empty; 45.0 still holds a file.
  EXPECT_FALSE(base::PathExists(install.Append(L"45.0\\locales")));
  EXPECT_TRUE(base::DirectoryExists(install.Append(L"45.0")));

  // The last file: everything below the stop folder goes, the stop folder
  // and what is above it stay, even when empty.
  ASSERT_TRUE(transaction.Execute(std::make_unique<DeleteFileOperation>(
      install.Append(L"45.0\\kelvo.dll"), true, true, install)));
  transaction.Commit();
  EXPECT_FALSE(base::PathExists(install.Append(L"45.0")));
  EXPECT_TRUE(base::DirectoryExists(install));
  EXPECT_TRUE(base::IsDirectoryEmpty(install));
}

TEST_F(FileOperationsTest, EmptyParentsOutsideTheStopFolderStay) {
  const base::FilePath file = Path(L"elsewhere\\deep\\a.txt");
  Write(file, "a");
  Transaction transaction;
  // The stop folder is compared without regard to case.
  ASSERT_TRUE(transaction.Execute(std::make_unique<DeleteFileOperation>(
      Path(L"ELSEWHERE\\deep\\a.txt"), false, true, Path(L"Elsewhere"))));
  ASSERT_TRUE(transaction.Execute(std::make_unique<DeleteFileOperation>(
      Path(L"other\\b.txt"), false, true, Path(L"elsewhere"))));
  Write(Path(L"other\\c.txt"), "c");
  ASSERT_TRUE(transaction.Execute(std::make_unique<DeleteFileOperation>(
      Path(L"other\\c.txt"), false, true, Path(L"elsewhere"))));
  transaction.Commit();
  EXPECT_FALSE(base::PathExists(Path(L"elsewhere\\deep")));
  EXPECT_TRUE(base::DirectoryExists(Path(L"elsewhere")));
  // c.txt did not lie below the stop folder: its empty folder stays.
  EXPECT_TRUE(base::DirectoryExists(Path(L"other")));
}

TEST_F(FileOperationsTest, DeleteWithoutAccessGrantsItUntilRollback) {
  const base::FilePath file = Path(L"kelvo.exe");
  Write(file, "exe");
  FakeSecurityAccess fake;
  SecurityAccess::ScopedOverrideForTesting override(&fake);
  // Writing and deleting denied to everyone; the owner may change that.
  const std::wstring denied = L"O:BAG:SYD:(D;;0x130116;;;WD)(A;;FA;;;WD)";
  fake.SetObject(file.value(), denied);
  const std::wstring original = fake.GetSddl(file.value());

  Transaction transaction;
  ASSERT_TRUE(transaction.Execute(
      std::make_unique<DeleteFileOperation>(file, false, false)));
  EXPECT_FALSE(base::PathExists(file));
  EXPECT_NE(original, fake.GetSddl(file.value()));
  transaction.Rollback();
  EXPECT_EQ("exe", Read(file));
  EXPECT_EQ(original, fake.GetSddl(file.value()));

  // When the grant is refused as well, the file stays where it is.
  fake.SetObject(file.value(), L"O:SYG:SYD:(D;;0x130116;;;WD)(A;;FA;;;WD)");
  fake.set_privileges_held(false);
  fake.Lock(file.value(), /*read=*/false, /*write=*/true);
  EXPECT_FALSE(transaction.Execute(
      std::make_unique<DeleteFileOperation>(file, false, false)));
  EXPECT_TRUE(
      log_.ContainsError("Cannot obtain proper permissions on the file"));
  EXPECT_EQ("exe", Read(file));
}

// ------------------------------------------------------------------------
// Create folder.

TEST_F(FileOperationsTest, CreateFolderRollbackStopsAtWhatIsNotEmpty) {
  const base::FilePath folder = Path(L"a\\b\\c");
  Transaction transaction;
  ASSERT_TRUE(
      transaction.Execute(std::make_unique<CreateFolderOperation>(folder)));
  EXPECT_TRUE(log_.Contains("Valid ancestor"));
  EXPECT_TRUE(log_.Contains("Folder created successfully"));
  EXPECT_TRUE(base::DirectoryExists(folder));
  // Someone put a file into a created level: it is kept with its folders.
  Write(Path(L"a\\keep.txt"), "keep");
  transaction.Rollback();
  EXPECT_FALSE(base::PathExists(Path(L"a\\b")));
  EXPECT_EQ("keep", Read(Path(L"a\\keep.txt")));

  // An existing folder is nothing to do and stays after a rollback.
  ASSERT_TRUE(
      transaction.Execute(std::make_unique<CreateFolderOperation>(Path(L"a"))));
  EXPECT_TRUE(log_.Contains("Folder already exists"));
  transaction.Rollback();
  EXPECT_TRUE(base::DirectoryExists(Path(L"a")));
}

TEST_F(FileOperationsTest, FolderThatCannotBeCreated) {
  const test::MachineSnapshot before = Snapshot();
  Write(Path(L"file"), "a file in the way");
  Transaction transaction;
  EXPECT_FALSE(transaction.Execute(
      std::make_unique<CreateFolderOperation>(Path(L"file\\sub"))));
  EXPECT_TRUE(log_.ContainsError("Failed folder creation"));
  ASSERT_TRUE(base::DeleteFile(Path(L"file"), false));

  // A drive that does not exist has no existing ancestor.
  EXPECT_FALSE(transaction.Execute(std::make_unique<CreateFolderOperation>(
      base::FilePath(L"Q:\\no\\such\\drive"))));
  EXPECT_EQ(2, log_.Count("Failed folder creation"));
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
}

}  // namespace
}  // namespace installer
