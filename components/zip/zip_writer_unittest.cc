#include "components/zip/zip_writer.h"

#include <windows.h>

#include <string>

#include "base/files/file.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/test/planted_link.h"
#include "gtest/gtest.h"

namespace zip {
namespace {

class ZipWriterTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(temp_dir_.CreateUniqueTempDir()); }

  base::FilePath Path(const wchar_t* name) const {
    return temp_dir_.GetPath().Append(name);
  }

  static void Write(const base::FilePath& path, const std::string& data) {
    ASSERT_EQ(
        static_cast<int>(data.size()),
        base::WriteFile(path, data.data(), static_cast<int>(data.size())));
  }

  base::ScopedTempDir temp_dir_;
};

TEST_F(ZipWriterTest, PathsOutsideTheAnsiCodePage) {
  // The archive carries no date, so the same source gives the same bytes
  // wherever it lies; the independent readers check those bytes.
  Write(Path(L"log.txt"), "log line\n");
  ASSERT_TRUE(WriteSingleEntryZip(Path(L"log.zip"), "crashlog.txt",
                                  Path(L"log.txt"), 9));
  const base::FilePath dir = Path(L"Kr\u00e4sch \u65e5\u672c \u0416");
  const base::FilePath log = dir.Append(L"\u0436\u0443\u0440\u043d.txt");
  ASSERT_TRUE(base::CreateDirectory(dir));
  Write(log, "log line\n");
  ASSERT_TRUE(
      WriteSingleEntryZip(dir.Append(L"\u0436.zip"), "crashlog.txt", log, 9));

  std::string expected, zip;
  ASSERT_TRUE(base::ReadFileToString(Path(L"log.zip"), &expected));
  ASSERT_TRUE(base::ReadFileToString(dir.Append(L"\u0436.zip"), &zip));
  EXPECT_EQ(expected, zip);
}

// Crash logs are zipped in the temporary folder: a link planted at the
// zip's name led the zip over a file elsewhere. The name is refused.
TEST_F(ZipWriterTest, LinkAtTheZipNameIsNotWrittenThrough) {
  Write(Path(L"log.txt"), "log line\n");
  Write(Path(L"victim.txt"), "precious");
  ASSERT_TRUE(base::test::MakeFileLink(Path(L"log.zip"), Path(L"victim.txt")));
  EXPECT_FALSE(WriteSingleEntryZip(Path(L"log.zip"), "crashlog.txt",
                                   Path(L"log.txt"), 9));
  std::string text;
  ASSERT_TRUE(base::ReadFileToString(Path(L"victim.txt"), &text));
  EXPECT_EQ("precious", text);
  base::test::RemoveLink(Path(L"log.zip"));
}

TEST_F(ZipWriterTest, FailuresLeaveNoZip) {
  const base::FilePath zip = Path(L"out.zip");
  Write(Path(L"empty.txt"), "");
  // A zip from an earlier report must not survive as if it were this one.
  Write(zip, "stale");
  EXPECT_FALSE(WriteSingleEntryZip(zip, "crashlog.txt", Path(L"empty.txt"), 9));
  EXPECT_FALSE(base::PathExists(zip));

  Write(zip, "stale");
  EXPECT_FALSE(WriteSingleEntryZip(zip, "crashlog.txt", Path(L"missing"), 9));
  EXPECT_FALSE(base::PathExists(zip));

  Write(Path(L"log.txt"), "text");
  EXPECT_FALSE(WriteSingleEntryZip(Path(L"no\\such\\dir.zip"), "crashlog.txt",
                                   Path(L"log.txt"), 9));
  EXPECT_FALSE(base::PathExists(Path(L"no")));
}

TEST_F(ZipWriterTest, RefusesSourcesThatNeedZip64) {
  // A sparse file of the first refused size: refused before a byte is read.
  const base::FilePath huge = Path(L"huge.txt");
  {
    base::File file(huge, base::File::FLAG_CREATE | base::File::FLAG_WRITE);
    ASSERT_TRUE(file.IsValid());
    LARGE_INTEGER size;
    size.QuadPart = static_cast<LONGLONG>(kMaxEntrySize) + 1;
    ASSERT_TRUE(
        ::SetFilePointerEx(file.GetPlatformFile(), size, nullptr, FILE_BEGIN));
    ASSERT_TRUE(::SetEndOfFile(file.GetPlatformFile()));
  }
  EXPECT_FALSE(WriteSingleEntryZip(Path(L"huge.zip"), "crashlog.txt", huge, 9));
  EXPECT_FALSE(base::PathExists(Path(L"huge.zip")));
}

}  // namespace
}  // namespace zip
