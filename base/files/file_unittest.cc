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

TEST_F(FileTest, OpenErrorsAndReadsAndWrites) {
  File missing(path_, File::FLAG_OPEN | File::FLAG_READ);
  EXPECT_FALSE(missing.IsValid());
  EXPECT_EQ(File::FILE_ERROR_NOT_FOUND, missing.error_details());
  File no_folder(temp_dir_.GetPath().Append(L"missing\\file"),
                 File::FLAG_CREATE_ALWAYS | File::FLAG_WRITE);
  EXPECT_EQ(File::FILE_ERROR_NOT_FOUND, no_folder.error_details());

  File file(path_,
            File::FLAG_CREATE_ALWAYS | File::FLAG_READ | File::FLAG_WRITE);
  ASSERT_TRUE(file.IsValid());
  EXPECT_EQ(6, file.Write(0, "012345", 6));
  EXPECT_EQ(2, file.Write(10, "ab", 2));
  EXPECT_EQ(12, file.GetLength());
  // The gap reads as zeros.
  char buffer[16] = {};
  EXPECT_EQ(12, file.Read(0, buffer, sizeof(buffer)));
  EXPECT_EQ(std::string("012345\0\0\0\0ab", 12), std::string(buffer, 12));
  EXPECT_EQ(0, file.Read(12, buffer, 4));
  EXPECT_EQ(-1, file.Read(0, buffer, -1));

  // Cutting leaves the start and puts the position at the new end.
  EXPECT_TRUE(file.SetLength(3));
  EXPECT_EQ(3, file.GetLength());
  EXPECT_EQ(1, file.WriteAtCurrentPos("x", 1));
  EXPECT_EQ(4, file.Read(0, buffer, sizeof(buffer)));
  EXPECT_EQ("012x", std::string(buffer, 4));
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
