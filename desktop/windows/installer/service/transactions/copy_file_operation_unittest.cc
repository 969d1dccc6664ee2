#include "desktop/windows/installer/service/transactions/copy_file_operation.h"

#include <windows.h>

#include <memory>
#include <string>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
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

}  // namespace
}  // namespace installer
