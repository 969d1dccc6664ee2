#include "components/zip/zip_writer.h"

#include <windows.h>
#include <zlib.h>

#include <optional>
#include <string>

#include "base/files/file.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "gtest/gtest.h"

namespace zip {
namespace {

uint32_t ReadUint32(const std::string& data, size_t offset) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i)
    value = (value << 8) | static_cast<uint8_t>(data[offset + i]);
  return value;
}

uint16_t ReadUint16(const std::string& data, size_t offset) {
  return static_cast<uint16_t>(static_cast<uint8_t>(data[offset]) |
                               static_cast<uint8_t>(data[offset + 1]) << 8);
}

// The entry of a single-entry zip, found through its end record and central
// directory as any reader would, inflated and checked against the stored
// CRC and size. Nothing when the archive does not hold together.
std::optional<std::string> ReadOnlyEntry(const std::string& zip,
                                         std::string* name) {
  constexpr size_t kEndRecordSize = 22;
  if (zip.size() < kEndRecordSize)
    return std::nullopt;
  const size_t end = zip.size() - kEndRecordSize;
  if (ReadUint32(zip, end) != 0x06054b50 || ReadUint16(zip, end + 10) != 1)
    return std::nullopt;
  const size_t central = ReadUint32(zip, end + 16);
  if (central + 46 > end || ReadUint32(zip, central) != 0x02014b50)
    return std::nullopt;
  const uint32_t crc = ReadUint32(zip, central + 16);
  const uint32_t compressed = ReadUint32(zip, central + 20);
  const uint32_t size = ReadUint32(zip, central + 24);
  const size_t local = ReadUint32(zip, central + 42);
  if (ReadUint32(zip, local) != 0x04034b50 ||
      ReadUint32(zip, local + 14) != crc)
    return std::nullopt;
  *name = zip.substr(local + 30, ReadUint16(zip, local + 26));
  const size_t data = local + 30 + name->size() + ReadUint16(zip, local + 28);
  if (data + compressed > central)
    return std::nullopt;

  std::string out(size, '\0');
  z_stream stream = {};
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
    return std::nullopt;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(&zip[data]));
  stream.avail_in = compressed;
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = size;
  const int result = inflate(&stream, Z_FINISH);
  inflateEnd(&stream);
  if (result != Z_STREAM_END || stream.avail_out != 0 ||
      crc32(0, reinterpret_cast<const Bytef*>(out.data()), size) != crc) {
    return std::nullopt;
  }
  return out;
}

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

  // The text of a log of |size| bytes: lines that compress, with counters
  // that keep every line different.
  static std::string LogText(size_t size) {
    std::string text;
    for (int line = 0; text.size() < size; ++line)
      text += "Thread " + std::to_string(line * 7919 % 65521) + " RSP=0000" +
              std::to_string(line) + "\r\n";
    text.resize(size);
    return text;
  }

  base::ScopedTempDir temp_dir_;
};

TEST_F(ZipWriterTest, RoundTripsSourcesOfEverySize) {
  // One byte; just under, at and over the 1 MiB read size; a 3 MiB log.
  for (size_t size : {size_t{1}, size_t{(1 << 20) - 1}, size_t{1 << 20},
                      size_t{(1 << 20) + 1}, size_t{3 << 20}}) {
    SCOPED_TRACE(size);
    const std::string text = LogText(size);
    Write(Path(L"crashlog.txt"), text);
    ASSERT_TRUE(WriteSingleEntryZip(Path(L"log.zip"), "crashlog.txt",
                                    Path(L"crashlog.txt"), 9));
    std::string zip;
    ASSERT_TRUE(base::ReadFileToString(Path(L"log.zip"), &zip));
    std::string name;
    EXPECT_EQ(text, ReadOnlyEntry(zip, &name));
    EXPECT_EQ("crashlog.txt", name);
  }
}

TEST_F(ZipWriterTest, IncompressibleDataAndLevelZeroStillRoundTrip) {
  std::string noise(200000, '\0');
  uint32_t state = 12345;
  for (char& c : noise) {
    state = state * 1103515245 + 12345;
    c = static_cast<char>(state >> 24);
  }
  Write(Path(L"noise.bin"), noise);
  for (int level : {0, 9}) {
    ASSERT_TRUE(
        WriteSingleEntryZip(Path(L"n.zip"), "n", Path(L"noise.bin"), level));
    std::string zip, name;
    ASSERT_TRUE(base::ReadFileToString(Path(L"n.zip"), &zip));
    EXPECT_EQ(noise, ReadOnlyEntry(zip, &name)) << level;
  }
}

TEST_F(ZipWriterTest, PathsOutsideTheAnsiCodePage) {
  const base::FilePath dir = Path(L"Kr\u00e4sch \u65e5\u672c \u0416");
  ASSERT_TRUE(base::CreateDirectory(dir));
  Write(dir.Append(L"\u0436\u0443\u0440\u043d\u0430\u043b.txt"), "log line\n");
  ASSERT_TRUE(WriteSingleEntryZip(
      dir.Append(L"\u0436.zip"), "crashlog.txt",
      dir.Append(L"\u0436\u0443\u0440\u043d\u0430\u043b.txt"), 9));
  std::string zip, name;
  ASSERT_TRUE(base::ReadFileToString(dir.Append(L"\u0436.zip"), &zip));
  EXPECT_EQ("log line\n", ReadOnlyEntry(zip, &name));
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
