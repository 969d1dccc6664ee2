#include "desktop/windows/installer/service/transactions/copy_file_operation.h"

#include <windows.h>

#include <memory>
#include <string>

#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "desktop/windows/installer/service/transactions/create_folder_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/test/scoped_operation_fault.h"
#include "desktop/windows/installer/test/test_util.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

bool IsReadOnly(const base::FilePath& path) {
  DWORD attributes = ::GetFileAttributesW(path.value().c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_READONLY);
}

// Copies of writable and of read-only sources are writable; a read-only
// source is read-only again afterwards; a rollback takes the copies away.
TEST(CopyFileOperationTest, CopiesAreWritableWhateverTheSource) {
  base::ScopedTempDir temp;
  ASSERT_TRUE(temp.CreateUniqueTempDir());
  const base::FilePath package = temp.GetPath().Append(L"package");
  const base::FilePath app = temp.GetPath().Append(L"app");
  ASSERT_TRUE(base::CreateDirectory(package));
  ASSERT_TRUE(base::CreateDirectory(app));
  for (bool read_only : {false, true}) {
    SCOPED_TRACE(read_only ? "read-only source" : "writable source");
    const std::wstring name = read_only ? L"locked.txt" : L"plain.txt";
    const base::FilePath source = package.Append(name);
    const base::FilePath copy = app.Append(L"docs").Append(name);
    ASSERT_EQ(4, base::WriteFile(source, "data", 4));
    if (read_only) {
      ASSERT_TRUE(::SetFileAttributesW(source.value().c_str(),
                                       FILE_ATTRIBUTE_READONLY));
    }
    {
      Transaction transaction;
      ASSERT_TRUE(transaction.Execute(
          std::make_unique<CopyFileOperation>(source, copy)));
      std::string content;
      EXPECT_TRUE(base::ReadFileToString(copy, &content));
      EXPECT_EQ("data", content);
      EXPECT_FALSE(IsReadOnly(copy));
      EXPECT_EQ(read_only, IsReadOnly(source));
      transaction.Rollback();
    }
    EXPECT_FALSE(base::PathExists(copy));
    EXPECT_FALSE(base::PathExists(copy.DirName()));
    ::SetFileAttributesW(source.value().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

class CopyIntoNewFolderTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.CreateUniqueTempDir());
    package_ = temp_.GetPath().Append(L"package");
    app_ = temp_.GetPath().Append(L"app");
    ASSERT_TRUE(base::CreateDirectory(package_));
    ASSERT_TRUE(base::CreateDirectory(app_));
    test::WriteTextFile(package_.Append(L"a.txt"), "a");
    test::WriteTextFile(package_.Append(L"b.txt"), "b");
  }

  bool Copy(Transaction* transaction,
            const std::wstring& name,
            const base::FilePath& destination) {
    return transaction->Execute(std::make_unique<CopyFileOperation>(
        package_.Append(name), destination));
  }

  bool HasAsideFiles() const {
    base::FileEnumerator files(app_, true, base::FileEnumerator::FILES,
                               L"*.old");
    return !files.Next().empty();
  }

  base::ScopedTempDir temp_;
  base::FilePath package_;
  base::FilePath app_;
};

// The transaction knows the folders it made for as long as it holds them:
// every level it created, not the ones that were there before, and none
// once they may be gone or may be anybody's again.
TEST_F(CopyIntoNewFolderTest, FoldersAreKnownWhileTheTransactionHoldsThem) {
  const base::FilePath deep = app_.Append(L"new\\deep");
  {
    Transaction transaction;
    ASSERT_TRUE(Copy(&transaction, L"a.txt", deep.Append(L"a.txt")));
    EXPECT_TRUE(transaction.IsCreatedFolder(deep));
    EXPECT_TRUE(transaction.IsCreatedFolder(app_.Append(L"new")));
    EXPECT_FALSE(transaction.IsCreatedFolder(app_));
    ASSERT_TRUE(
        transaction.Execute(std::make_unique<CreateFolderOperation>(app_)));
    EXPECT_FALSE(transaction.IsCreatedFolder(app_));
    transaction.Commit();
    EXPECT_FALSE(transaction.IsCreatedFolder(deep));
  }
  {
    Transaction transaction;
    const base::FilePath other = app_.Append(L"other");
    ASSERT_TRUE(Copy(&transaction, L"a.txt", other.Append(L"a.txt")));
    ASSERT_TRUE(transaction.IsCreatedFolder(other));
    {
      // The copy into a third folder is undone with the folder made for it.
      test::ScopedOperationFault fault(
          0, Transaction::InjectedFault::kAfterChange);
      EXPECT_FALSE(Copy(&transaction, L"b.txt", app_.Append(L"third\\b.txt")));
    }
    EXPECT_FALSE(base::PathExists(app_.Append(L"third")));
    EXPECT_FALSE(transaction.IsCreatedFolder(app_.Append(L"third")));
    ASSERT_TRUE(Copy(&transaction, L"b.txt", other.Append(L"b.txt")));
    transaction.Rollback();
    EXPECT_FALSE(base::PathExists(other));
    EXPECT_FALSE(transaction.IsCreatedFolder(other));
  }
}

// Another program writes into a folder that the transaction made: the copy
// to that name moves the file aside first, as for any existing file, and
// a rollback gives it back; a removed folder is made again.
TEST_F(CopyIntoNewFolderTest, WhatAnotherProgramPutThereMeanwhileIsKept) {
  const base::FilePath folder = app_.Append(L"new");
  for (bool commit : {false, true}) {
    SCOPED_TRACE(commit ? "commit" : "rollback");
    {
      Transaction transaction;
      ASSERT_TRUE(Copy(&transaction, L"a.txt", folder.Append(L"a.txt")));
      test::WriteTextFile(folder.Append(L"b.txt"), "theirs");
      ASSERT_TRUE(transaction.IsCreatedFolder(folder));
      EXPECT_TRUE(Copy(&transaction, L"b.txt", folder.Append(L"b.txt")));
      EXPECT_EQ("b", test::ReadTextFile(folder.Append(L"b.txt")));
      if (commit)
        transaction.Commit();
      else
        transaction.Rollback();
    }
    EXPECT_EQ(commit ? "b" : "theirs",
              test::ReadTextFile(folder.Append(L"b.txt")));
    EXPECT_EQ(commit, base::PathExists(folder.Append(L"a.txt")));
    EXPECT_FALSE(HasAsideFiles());
    ASSERT_TRUE(base::DeleteFile(folder, /*recursive=*/true));
  }

  Transaction transaction;
  ASSERT_TRUE(Copy(&transaction, L"a.txt", folder.Append(L"a.txt")));
  ASSERT_TRUE(base::DeleteFile(folder, /*recursive=*/true));
  EXPECT_TRUE(Copy(&transaction, L"b.txt", folder.Append(L"b.txt")));
  EXPECT_EQ("b", test::ReadTextFile(folder.Append(L"b.txt")));
  transaction.Rollback();
  EXPECT_FALSE(base::PathExists(folder));
}

}  // namespace
}  // namespace installer
