#include "desktop/windows/installer/package_fetcher/hashing_file_writer.h"

#include <string>

#include "base/files/new_file.h"
#include "base/files/scoped_temp_dir.h"
#include "desktop/windows/installer/package_fetcher/checksum_checker.h"
#include "desktop/windows/installer/test/test_util.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// The digest is that of what the file holds, also when the body started
// over after a resumed request was answered in full.
TEST(HashingFileWriterTest, DigestIsThatOfTheFinishedFile) {
  base::ScopedTempDir dir;
  ASSERT_TRUE(dir.CreateUniqueTempDir());
  const base::FilePath path = dir.GetPath().Append(L"package.exe");
  std::string digest = "stale";
  base::NewFile file = base::NewFile::Create(path);
  {
    HashingFileWriter writer(&digest);
    EXPECT_TRUE(digest.empty());
    ASSERT_TRUE(writer.Open(&file));
    EXPECT_TRUE(writer.Write("par", 3));
    EXPECT_TRUE(writer.Restart());
    EXPECT_TRUE(writer.Write("pay", 3));
    EXPECT_TRUE(writer.Write("load", 4));
    EXPECT_TRUE(digest.empty());
    writer.Finish();
    writer.Finish();
  }
  EXPECT_EQ("payload", test::ReadTextFile(path));
  EXPECT_EQ(ComputeSha256Hex("payload", 7), digest);

  // A writer that could not open fails at once and gives no digest.
  HashingFileWriter unopened(&digest);
  base::NewFile none;
  EXPECT_FALSE(unopened.Open(&none));
  EXPECT_FALSE(unopened.Write("x", 1));
}

// A body of many more pieces than are hashed at a time, restarted midway:
// the writer waits for the hash instead of dropping or reordering pieces.
TEST(HashingFileWriterTest, ManyPiecesAreHashedInOrder) {
  base::ScopedTempDir dir;
  ASSERT_TRUE(dir.CreateUniqueTempDir());
  const base::FilePath path = dir.GetPath().Append(L"package.exe");
  std::string body;
  for (int i = 0; i < 20000; ++i)
    body += std::to_string(i) + ",";
  std::string digest;
  base::NewFile file = base::NewFile::Create(path);
  HashingFileWriter writer(&digest);
  ASSERT_TRUE(writer.Open(&file));
  ASSERT_TRUE(writer.Write(body.data(), 1000));
  ASSERT_TRUE(writer.Restart());
  for (size_t at = 0; at < body.size(); at += 7)
    ASSERT_TRUE(
        writer.Write(body.data() + at, std::min<size_t>(7, body.size() - at)));
  writer.Finish();
  EXPECT_EQ(body, test::ReadTextFile(path));
  EXPECT_EQ(ComputeSha256Hex(body.data(), body.size()), digest);
}

}  // namespace
}  // namespace installer
