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

  // The bytes of |region|, or "failed".
  std::string Map(const MemoryMappedFile::Region& region) const {
    MemoryMappedFile map;
    if (!map.Initialize(File(path_, File::FLAG_OPEN | File::FLAG_READ),
                        region)) {
      return "failed";
    }
    return std::string(reinterpret_cast<const char*>(map.data()), map.length());
  }

  ScopedTempDir temp_dir_;
  FilePath path_;
  std::string data_;
};

TEST_F(MemoryMappedFileTest, MapsWholeFilesAndUnalignedRegions) {
  MemoryMappedFile map;
  ASSERT_TRUE(map.Initialize(path_));
  EXPECT_EQ(data_, std::string(reinterpret_cast<const char*>(map.data()),
                               map.length()));
  // Others may still read the file meanwhile.
  std::string contents;
  EXPECT_TRUE(ReadFileToString(path_, &contents));

  EXPECT_EQ(data_.substr(70001, 1000), Map({70001, 1000}));
  EXPECT_EQ(data_.substr(199990), Map({199990, 10}));
}

TEST_F(MemoryMappedFileTest, RefusesWhatCannotBeMapped) {
  EXPECT_EQ("failed", Map({199990, 11}));
  EXPECT_EQ("failed", Map({-1, 10}));
  FilePath empty = temp_dir_.GetPath().Append(L"empty");
  ASSERT_EQ(0, WriteFile(empty, "", 0));
  MemoryMappedFile map;
  EXPECT_FALSE(map.Initialize(empty));
  EXPECT_FALSE(map.Initialize(temp_dir_.GetPath().Append(L"missing")));
  EXPECT_FALSE(map.IsValid());
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
