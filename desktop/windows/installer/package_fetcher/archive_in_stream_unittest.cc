#include "desktop/windows/installer/package_fetcher/archive_in_stream.h"

#include "base/files/file.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// |bytes| in a new file of |dir|, opened for reading.
base::File WriteAndOpen(const base::ScopedTempDir& dir,
                        const std::string& bytes) {
  const base::FilePath path = dir.GetPath().AppendASCII("archive.7z");
  EXPECT_EQ(
      static_cast<int>(bytes.size()),
      base::WriteFile(path, bytes.data(), static_cast<int>(bytes.size())));
  return base::File(path, base::File::FLAG_OPEN | base::File::FLAG_READ);
}

TEST(ArchiveInStreamTest, ReadsAndSeeksTheFile) {
  base::ScopedTempDir temp_dir;
  ASSERT_TRUE(temp_dir.CreateUniqueTempDir());
  base::File file = WriteAndOpen(temp_dir, "0123456789");
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

// A span of the file reads as a file of its own: positions count from its
// start, its end is the end, and no byte around it is handed out.
TEST(ArchiveInStreamTest, ReadsASpanOfTheFile) {
  base::ScopedTempDir temp_dir;
  ASSERT_TRUE(temp_dir.CreateUniqueTempDir());
  base::File file = WriteAndOpen(temp_dir, "ab0123456789yz");
  ASSERT_TRUE(file.IsValid());
  ArchiveInStream stream(file.GetPlatformFile(), 2, 10);

  char buffer[12] = {};
  size_t size = 4;
  ASSERT_EQ(SZ_OK, stream.Read(&stream, buffer, &size));
  EXPECT_EQ("0123", std::string(buffer, size));
  Int64 pos = -3;
  ASSERT_EQ(SZ_OK, stream.Seek(&stream, &pos, SZ_SEEK_END));
  EXPECT_EQ(7, pos);
  size = 5;
  EXPECT_EQ(SZ_ERROR_INPUT_EOF, stream.Read(&stream, buffer, &size));
  EXPECT_EQ("789", std::string(buffer, size));

  pos = -1;
  EXPECT_EQ(SZ_ERROR_FAIL, stream.Seek(&stream, &pos, SZ_SEEK_SET));
  pos = -11;
  EXPECT_EQ(SZ_ERROR_FAIL, stream.Seek(&stream, &pos, SZ_SEEK_END));
  pos = -10;
  ASSERT_EQ(SZ_OK, stream.Seek(&stream, &pos, SZ_SEEK_END));
  EXPECT_EQ(0, pos);
  size = 12;
  EXPECT_EQ(SZ_ERROR_INPUT_EOF, stream.Read(&stream, buffer, &size));
  EXPECT_EQ("0123456789", std::string(buffer, size));
  // Past the end nothing is read, though the file goes on.
  pos = 20;
  ASSERT_EQ(SZ_OK, stream.Seek(&stream, &pos, SZ_SEEK_SET));
  size = 1;
  EXPECT_EQ(SZ_ERROR_INPUT_EOF, stream.Read(&stream, buffer, &size));
  EXPECT_EQ(0u, size);
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
