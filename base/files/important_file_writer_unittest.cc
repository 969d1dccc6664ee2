#include "base/files/important_file_writer.h"

#include <string>

#include "base/files/file.h"
#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "gtest/gtest.h"

namespace base {
namespace {

class ImportantFileWriterTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    path_ = temp_dir_.GetPath().Append(L"installation_status.xml");
  }

  int CountEntries() const {
    FileEnumerator entries(temp_dir_.GetPath(), false,
                           FileEnumerator::FILES | FileEnumerator::DIRECTORIES);
    int count = 0;
    while (!entries.Next().empty())
      ++count;
    return count;
  }

  std::string Contents() const {
    std::string contents;
    EXPECT_TRUE(ReadFileToString(path_, &contents));
    return contents;
  }

  ScopedTempDir temp_dir_;
  FilePath path_;
};

TEST_F(ImportantFileWriterTest, WritesAndReplacesLeavingNoTemporaryFile) {
  EXPECT_TRUE(ImportantFileWriter::WriteFileAtomically(path_, "first"));
  EXPECT_EQ("first", Contents());
  EXPECT_TRUE(ImportantFileWriter::WriteFileAtomically(path_, "2nd"));
  EXPECT_EQ("2nd", Contents());
  EXPECT_TRUE(ImportantFileWriter::WriteFileAtomically(path_, ""));
  EXPECT_EQ("", Contents());
  EXPECT_EQ(1, CountEntries());
}

TEST_F(ImportantFileWriterTest, FailureKeepsTheOldFileAndCleansUp) {
  ASSERT_TRUE(ImportantFileWriter::WriteFileAtomically(path_, "old"));
  {
    // A reader that does not allow deletion blocks the final move.
    File reader(path_, File::FLAG_OPEN | File::FLAG_READ);
    ASSERT_TRUE(reader.IsValid());
    EXPECT_FALSE(ImportantFileWriter::WriteFileAtomically(path_, "new"));
  }
  EXPECT_EQ("old", Contents());
  EXPECT_EQ(1, CountEntries());
}

TEST_F(ImportantFileWriterTest, FailsIntoAFolderOrAMissingFolder) {
  ASSERT_TRUE(CreateDirectory(path_));
  EXPECT_FALSE(ImportantFileWriter::WriteFileAtomically(path_, "data"));
  EXPECT_TRUE(DirectoryExists(path_));
  EXPECT_EQ(1, CountEntries());

  FilePath orphan = temp_dir_.GetPath().Append(L"missing\\prefs.json");
  EXPECT_FALSE(ImportantFileWriter::WriteFileAtomically(orphan, "data"));
  EXPECT_FALSE(PathExists(orphan.DirName()));
}

}  // namespace
}  // namespace base
