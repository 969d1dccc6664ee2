#include "base/files/scoped_temp_dir.h"

#include <utility>

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
    EXPECT_TRUE(DirectoryExists(path));
    FilePath temp;
    ASSERT_TRUE(GetTempDir(&temp));
    EXPECT_TRUE(temp.IsParent(path));
    ASSERT_TRUE(CreateDirectory(path.Append(L"a")));
    FilePath file = path.Append(L"a\\read-only");
    ASSERT_EQ(1, WriteFile(file, "x", 1));
    ASSERT_TRUE(
        ::SetFileAttributesW(file.value().c_str(), FILE_ATTRIBUTE_READONLY));
  }
  EXPECT_FALSE(PathExists(path));
}

TEST(ScopedTempDirTest, TakeKeepsAndDeleteRemoves) {
  ScopedTempDir dir;
  ASSERT_TRUE(dir.CreateUniqueTempDir());
  FilePath taken = dir.Take();
  EXPECT_FALSE(dir.IsValid());
  EXPECT_TRUE(DirectoryExists(taken));

  ASSERT_TRUE(dir.Set(taken));
  EXPECT_TRUE(dir.Delete());
  EXPECT_FALSE(dir.IsValid());
  EXPECT_FALSE(PathExists(taken));
  EXPECT_FALSE(dir.Delete());
}

TEST(ScopedTempDirTest, UnderPathCreatesTheBaseAndMovesOwnership) {
  ScopedTempDir outer;
  ASSERT_TRUE(outer.CreateUniqueTempDir());
  FilePath base = outer.GetPath().Append(L"x\\y");
  ScopedTempDir inner;
  ASSERT_TRUE(inner.CreateUniqueTempDirUnderPath(base));
  EXPECT_EQ(base, inner.GetPath().DirName());

  FilePath inner_path = inner.GetPath();
  ScopedTempDir moved(std::move(inner));
  EXPECT_FALSE(inner.IsValid());  // NOLINT: checking the moved-from state.
  EXPECT_EQ(inner_path, moved.GetPath());
  EXPECT_TRUE(moved.Delete());
  EXPECT_TRUE(DirectoryExists(base));
}

}  // namespace
}  // namespace base
