#include "base/files/file.h"

#include <string>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "gtest/gtest.h"

namespace base {
namespace {

class FileTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    path_ = temp_dir_.GetPath().Append(L"file");
  }

  ScopedTempDir temp_dir_;
  FilePath path_;
};

TEST_F(FileTest, OpenModesAndTheirErrors) {
  File missing(path_, File::FLAG_OPEN | File::FLAG_READ);
  EXPECT_FALSE(missing.IsValid());
  EXPECT_EQ(File::FILE_ERROR_NOT_FOUND, missing.error_details());

  File created(path_, File::FLAG_OPEN_ALWAYS | File::FLAG_WRITE);
  ASSERT_TRUE(created.IsValid());
  EXPECT_TRUE(created.created());
  EXPECT_EQ(3, created.WriteAtCurrentPos("abc", 3));
  created.Close();

  File exclusive(path_, File::FLAG_CREATE | File::FLAG_WRITE);
  EXPECT_FALSE(exclusive.IsValid());
  EXPECT_EQ(File::FILE_ERROR_EXISTS, exclusive.error_details());

  File truncated(path_, File::FLAG_OPEN_TRUNCATED | File::FLAG_WRITE);
  ASSERT_TRUE(truncated.IsValid());
  EXPECT_EQ(0, truncated.GetLength());
  truncated.Close();

  File no_folder(temp_dir_.GetPath().Append(L"missing\\file"),
                 File::FLAG_CREATE_ALWAYS | File::FLAG_WRITE);
  EXPECT_EQ(File::FILE_ERROR_NOT_FOUND, no_folder.error_details());
}

TEST_F(FileTest, PositionalAndSequentialReadsAndWrites) {
  File file(path_,
            File::FLAG_CREATE_ALWAYS | File::FLAG_READ | File::FLAG_WRITE);
  ASSERT_TRUE(file.IsValid());
  EXPECT_EQ(6, file.Write(0, "012345", 6));
  EXPECT_EQ(2, file.Write(10, "ab", 2));
  EXPECT_EQ(12, file.GetLength());

  char buffer[16] = {};
  EXPECT_EQ(3, file.Read(2, buffer, 3));
  EXPECT_EQ("234", std::string(buffer, 3));
  EXPECT_EQ(0, file.Read(12, buffer, 4));
  // The gap reads as zeros.
  EXPECT_EQ(12, file.Read(0, buffer, sizeof(buffer)));
  EXPECT_EQ(std::string("012345\0\0\0\0ab", 12), std::string(buffer, 12));

  EXPECT_EQ(4, file.Seek(File::FROM_BEGIN, 4));
  EXPECT_EQ(2, file.ReadAtCurrentPos(buffer, 2));
  EXPECT_EQ("45", std::string(buffer, 2));
  EXPECT_EQ(10, file.Seek(File::FROM_END, -2));
  EXPECT_EQ(2, file.ReadAtCurrentPos(buffer, sizeof(buffer)));
  EXPECT_EQ(0, file.ReadAtCurrentPos(buffer, sizeof(buffer)));
  EXPECT_EQ(-1, file.Read(0, buffer, -1));
}

TEST_F(FileTest, SharingFlags) {
  File holder(path_, File::FLAG_CREATE_ALWAYS | File::FLAG_WRITE |
                         File::FLAG_EXCLUSIVE_WRITE);
  ASSERT_TRUE(holder.IsValid());
  File second_writer(path_, File::FLAG_OPEN | File::FLAG_WRITE);
  EXPECT_EQ(File::FILE_ERROR_IN_USE, second_writer.error_details());
  File reader(path_, File::FLAG_OPEN | File::FLAG_READ);
  EXPECT_TRUE(reader.IsValid());
  // Without FLAG_SHARE_DELETE nobody can delete the file meanwhile.
  EXPECT_FALSE(DeleteFile(path_, false));
  reader.Close();
  holder.Close();

  File shared(path_,
              File::FLAG_OPEN | File::FLAG_READ | File::FLAG_SHARE_DELETE);
  ASSERT_TRUE(shared.IsValid());
  EXPECT_TRUE(DeleteFile(path_, false));
}

}  // namespace
}  // namespace base
