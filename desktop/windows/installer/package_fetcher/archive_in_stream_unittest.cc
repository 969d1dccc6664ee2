#include "desktop/windows/installer/package_fetcher/archive_in_stream.h"

#include "base/files/file.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(ArchiveInStreamTest, ReadsAndSeeksTheFile) {
  base::ScopedTempDir temp_dir;
  ASSERT_TRUE(temp_dir.CreateUniqueTempDir());
  const base::FilePath path = temp_dir.GetPath().AppendASCII("archive.7z");
  ASSERT_EQ(10, base::WriteFile(path, "0123456789", 10));
  base::File file(path, base::File::FLAG_OPEN | base::File::FLAG_READ);
  ASSERT_TRUE(file.IsValid());
  ArchiveInStream stream(file.GetPlatformFile());

  Int64 pos = -3;
  ASSERT_EQ(SZ_OK, stream.Seek(&stream, &pos, SZ_SEEK_END));
  EXPECT_EQ(7, pos);
  char buffer[9] = {};
  size_t size = 3;
  ASSERT_EQ(SZ_OK, stream.Read(&stream, buffer, &size));
  EXPECT_EQ(3u, size);
  EXPECT_EQ("789", std::string(buffer, 3));
  pos = -5;
  ASSERT_EQ(SZ_OK, stream.Seek(&stream, &pos, SZ_SEEK_CUR));
  EXPECT_EQ(5, pos);
  pos = 2;
  ASSERT_EQ(SZ_OK, stream.Seek(&stream, &pos, SZ_SEEK_SET));

  // All that was asked for, or a failure: the end came early.
  size = 9;
  EXPECT_EQ(SZ_ERROR_INPUT_EOF, stream.Read(&stream, buffer, &size));
  EXPECT_EQ(8u, size);
  EXPECT_EQ("23456789", std::string(buffer, 8));

  // The Windows origins only; no position before the start.
  pos = 0;
  EXPECT_EQ(SZ_ERROR_PARAM,
            stream.Seek(&stream, &pos, static_cast<ESzSeek>(3)));
  pos = -1;
  EXPECT_EQ(SZ_ERROR_FAIL, stream.Seek(&stream, &pos, SZ_SEEK_SET));
}

TEST(ArchiveInStreamTest, FailedReadsFail) {
  base::ScopedTempDir temp_dir;
  ASSERT_TRUE(temp_dir.CreateUniqueTempDir());
  base::File file(temp_dir.GetPath().AppendASCII("write_only"),
                  base::File::FLAG_CREATE | base::File::FLAG_WRITE);
  ASSERT_TRUE(file.IsValid());
  ArchiveInStream stream(file.GetPlatformFile());
  char buffer[4];
  size_t size = sizeof(buffer);
  EXPECT_EQ(SZ_ERROR_READ, stream.Read(&stream, buffer, &size));
  EXPECT_EQ(0u, size);
}

}  // namespace
}  // namespace installer
