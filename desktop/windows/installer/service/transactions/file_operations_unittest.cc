// The file operations on real files where the rollback sweep of
// transaction_rollback_unittest.cc does not reach: aside names, files in
// use, a name taken during the transaction, refused access.

#include <windows.h>

#include <memory>
#include <string>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/strings/string_number_conversions.h"
#include "base/time/time.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/service/transactions/copy_file_operation.h"
#include "desktop/windows/installer/service/transactions/delete_file_operation.h"
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

  // Opens |path| for reading as another program might; |share| decides
  // what others may do meanwhile.
  base::win::ScopedHandle Hold(const base::FilePath& path, DWORD share) {
    base::win::ScopedHandle handle(
        ::CreateFileW(path.value().c_str(), GENERIC_READ, share, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(handle.IsValid());
    return handle;
  }

  std::unique_ptr<Operation> Delete(const base::FilePath& path,
                                    bool check_in_use = false) {
    return std::make_unique<DeleteFileOperation>(path, check_in_use, false);
  }

  test::MachineSnapshot Snapshot() { return test::TakeSnapshot(scope_); }

  test::WindowsLikeSecurityAccess security_;
  SecurityAccess::ScopedOverrideForTesting security_override_;
  test::ScopedLogCapture log_;
  base::ScopedTempDir temp_dir_;
  base::FilePath dir_;
  test::SnapshotScope scope_;
  Transaction transaction_;
};

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
  ASSERT_TRUE(transaction_.Execute(Delete(file)));
  EXPECT_FALSE(base::PathExists(file));
  transaction_.Rollback();
  EXPECT_EQ("exe", Read(file));

  take_names(2, 100);
  EXPECT_FALSE(transaction_.Execute(Delete(file)));
  EXPECT_TRUE(log_.ContainsError("Temporary file with name"));
  EXPECT_EQ("exe", Read(file));
}

TEST_F(FileOperationsTest, FilesInUse) {
  // Upper case: the test is for ".exe" and ".dll" without regard to case.
  const base::FilePath library = Path(L"KELVO.DLL");
  const base::FilePath text = Path(L"notes.txt");
  Write(library, "dll");
  Write(text, "text");
  // Others may rename them but not write them: as a loaded library.
  base::win::ScopedHandle held =
      Hold(library, FILE_SHARE_READ | FILE_SHARE_DELETE);
  base::win::ScopedHandle held_text =
      Hold(text, FILE_SHARE_READ | FILE_SHARE_DELETE);
  const test::MachineSnapshot before = Snapshot();

  EXPECT_FALSE(transaction_.Execute(Delete(library, true)));
  EXPECT_TRUE(
      log_.ContainsError("Attempt to open the file for writing failed: "));
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));
  // Without the in-use test only the move decides; a text file is never
  // tested.
  EXPECT_TRUE(transaction_.Execute(Delete(library, false)));
  EXPECT_TRUE(transaction_.Execute(Delete(text, true)));
  transaction_.Rollback();
  EXPECT_TRUE(test::SnapshotsEqual(before, Snapshot()));

  // Held without delete sharing: neither a delete nor a copy over it.
  held.Close();
  held = Hold(library, FILE_SHARE_READ);
  Write(Path(L"package\\kelvo.dll"), "new");
  EXPECT_FALSE(transaction_.Execute(Delete(library)));
  EXPECT_FALSE(transaction_.Execute(std::make_unique<CopyFileOperation>(
      Path(L"package\\kelvo.dll"), library)));
  EXPECT_EQ("dll", Read(library));
}

TEST_F(FileOperationsTest, RollbackKeepsAFileItCannotPutBack) {
  const base::FilePath file = Path(L"bookmarks.html");
  Write(file, "the user's data");
  auto operation = Delete(file);
  auto* deletion = static_cast<DeleteFileOperation*>(operation.get());
  ASSERT_TRUE(transaction_.Execute(std::move(operation)));
  const base::FilePath kept = deletion->aside_path();

  // Something took the name meanwhile; a folder cannot be replaced.
  ASSERT_TRUE(base::CreateDirectory(file));
  transaction_.Rollback();
  EXPECT_EQ("the user's data", Read(kept));
  EXPECT_TRUE(log_.ContainsError("could not be put back; it is kept at " +
                                 kept.AsUTF8Unsafe()));
}

TEST_F(FileOperationsTest, RefusedAccessGrantKeepsTheFile) {
  const base::FilePath file = Path(L"kelvo.exe");
  Write(file, "exe");
  FakeSecurityAccess fake;
  SecurityAccess::ScopedOverrideForTesting override(&fake);
  // Writing and deleting denied to everyone, and nobody may change that.
  fake.SetObject(file.value(), L"O:SYG:SYD:(D;;0x130116;;;WD)(A;;FA;;;WD)");
  fake.set_privileges_held(false);
  fake.Lock(file.value(), /*read=*/false, /*write=*/true);
  EXPECT_FALSE(transaction_.Execute(Delete(file)));
  EXPECT_TRUE(
      log_.ContainsError("Cannot obtain proper permissions on the file"));
  EXPECT_EQ("exe", Read(file));
}

}  // namespace
}  // namespace installer
