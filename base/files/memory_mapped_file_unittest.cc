#include "base/files/memory_mapped_file.h"

#include <string>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/path_service.h"
#include "gtest/gtest.h"

namespace base {
namespace {

TEST(MemoryMappedFileTest, MapsWholeFilesAndRefusesWhatCannotBeMapped) {
  ScopedTempDir temp_dir;
  ASSERT_TRUE(temp_dir.CreateUniqueTempDir());
  const FilePath path = temp_dir.GetPath().Append(L"data");
  // Bytes that say where they are, so a wrong offset shows.
  std::string data;
  for (int i = 0; i < 200000; ++i)
    data.push_back(static_cast<char>(i * 7 + i / 256));
  ASSERT_EQ(static_cast<int>(data.size()),
            WriteFile(path, data.data(), static_cast<int>(data.size())));
  MemoryMappedFile map;
  ASSERT_TRUE(map.Initialize(path));
  EXPECT_EQ(data, std::string(reinterpret_cast<const char*>(map.data()),
                              map.length()));
  // Others may still read the file meanwhile.
  std::string contents;
  EXPECT_TRUE(ReadFileToString(path, &contents));

  const FilePath empty = temp_dir.GetPath().Append(L"empty");
  ASSERT_EQ(0, WriteFile(empty, "", 0));
  MemoryMappedFile refused;
  EXPECT_FALSE(refused.Initialize(empty));
  EXPECT_FALSE(refused.Initialize(temp_dir.GetPath().Append(L"missing")));
  EXPECT_FALSE(refused.IsValid());
}

TEST(MemoryMappedFileTest, MapsTheRunningExecutable) {
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
