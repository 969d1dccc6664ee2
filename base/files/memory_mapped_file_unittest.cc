#include "base/files/memory_mapped_file.h"

#include <string>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/path_service.h"
#include "gtest/gtest.h"

namespace base {
namespace {

class MemoryMappedFileTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    path_ = temp_dir_.GetPath().Append(L"data");
    // Bytes that say where they are, so a wrong offset shows.
    for (int i = 0; i < 200000; ++i)
      data_.push_back(static_cast<char>(i * 7 + i / 256));
    ASSERT_EQ(static_cast<int>(data_.size()),
              WriteFile(path_, data_.data(), static_cast<int>(data_.size())));
  }

  std::string Bytes(const MemoryMappedFile& map) const {
    return std::string(reinterpret_cast<const char*>(map.data()), map.length());
  }

  ScopedTempDir temp_dir_;
  FilePath path_;
  std::string data_;
};

TEST_F(MemoryMappedFileTest, MapsAWholeFile) {
  MemoryMappedFile map;
  ASSERT_TRUE(map.Initialize(path_));
  EXPECT_TRUE(map.IsValid());
  EXPECT_EQ(data_, Bytes(map));
  // Others may still read and replace the file's bytes meanwhile.
  std::string contents;
  EXPECT_TRUE(ReadFileToString(path_, &contents));
}

TEST_F(MemoryMappedFileTest, MapsAnUnalignedRegion) {
  MemoryMappedFile map;
  const MemoryMappedFile::Region region = {70001, 1000};
  ASSERT_TRUE(
      map.Initialize(File(path_, File::FLAG_OPEN | File::FLAG_READ), region));
  EXPECT_EQ(data_.substr(70001, 1000), Bytes(map));

  MemoryMappedFile tail;
  ASSERT_TRUE(tail.Initialize(File(path_, File::FLAG_OPEN | File::FLAG_READ),
                              {199990, 10}));
  EXPECT_EQ(data_.substr(199990), Bytes(tail));
}

TEST_F(MemoryMappedFileTest, RefusesWhatCannotBeMapped) {
  MemoryMappedFile past_end;
  EXPECT_FALSE(past_end.Initialize(
      File(path_, File::FLAG_OPEN | File::FLAG_READ), {199990, 11}));
  EXPECT_FALSE(past_end.IsValid());
  MemoryMappedFile negative;
  EXPECT_FALSE(negative.Initialize(
      File(path_, File::FLAG_OPEN | File::FLAG_READ), {-1, 10}));

  FilePath empty = temp_dir_.GetPath().Append(L"empty");
  ASSERT_EQ(0, WriteFile(empty, "", 0));
  MemoryMappedFile empty_map;
  EXPECT_FALSE(empty_map.Initialize(empty));

  MemoryMappedFile missing;
  EXPECT_FALSE(missing.Initialize(temp_dir_.GetPath().Append(L"missing")));
  MemoryMappedFile invalid;
  EXPECT_FALSE(invalid.Initialize(File()));
}

TEST_F(MemoryMappedFileTest, MapsTheRunningExecutable) {
  FilePath exe;
  ASSERT_TRUE(PathService::Get(FILE_EXE, &exe));
  MemoryMappedFile map;
  ASSERT_TRUE(map.Initialize(exe));
  ASSERT_GT(map.length(), 2u);
  EXPECT_EQ('M', map.data()[0]);
  EXPECT_EQ('Z', map.data()[1]);
}

}  // namespace
}  // namespace base
