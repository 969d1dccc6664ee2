#include "base/files/scoped_temp_dir.h"

#include "base/files/file_util.h"
#include "gtest/gtest.h"

namespace base {
namespace {

TEST(ScopedTempDirTest, DeletesItsTreeAtTheEnd) {
  FilePath path;
  {
    ScopedTempDir dir;
    ASSERT_TRUE(dir.CreateUniqueTempDir());
    path = dir.GetPath();
    FilePath file = path.Append(L"a\\read-only");
    ASSERT_TRUE(CreateDirectory(file.DirName()));
    ASSERT_EQ(1, WriteFile(file, "x", 1));
    ASSERT_TRUE(
        ::SetFileAttributesW(file.value().c_str(), FILE_ATTRIBUTE_READONLY));
  }
  EXPECT_FALSE(PathExists(path));
}

}  // namespace
}  // namespace base
