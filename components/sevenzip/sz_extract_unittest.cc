#include "components/sevenzip/sz_extract.h"

#include <string>
#include <vector>

#include "components/sevenzip/header_parser.h"
#include "components/sevenzip/sz_crc.h"
#include "components/sevenzip/sz_folder.h"
#include "components/sevenzip/test/extract_all.h"
#include "components/sevenzip/test/memory_look_stream.h"
#include "components/sevenzip/test/test_archive_writer.h"
#include "gtest/gtest.h"

namespace sevenzip {
namespace {

using test::CountingAlloc;
using test::ExtractAll;
using test::ExtractedEntry;
using test::HeaderWriter;

// An archive of one entry, "data", whose block is |coder| over |packed|,
// which must decode to |expected|.
std::string OneBlockArchive(const std::string& coder,
                            const std::string& packed,
                            const std::string& expected) {
  HeaderWriter w;
  w.Number(kIdHeader).Number(kIdMainStreamsInfo);
  w.Number(kIdPackInfo).Number(0).Number(1).Number(kIdSize);
  w.Number(packed.size()).Number(kIdEnd);
  w.Number(kIdUnpackInfo).Number(kIdFolder).Number(1).Byte(0);
  w.Number(1).Bytes(coder).Number(kIdCodersUnpackSize);
  w.Number(expected.size()).Number(kIdEnd);
  w.Number(kIdSubStreamsInfo).Number(kIdCrc).Byte(1);
  w.UInt32(Crc32(0, expected.data(), expected.size()));
  w.Number(kIdEnd).Number(kIdEnd);
  w.Number(kIdFilesInfo).Number(1);
  w.Property(kIdName, std::string("\0d\0a\0t\0a\0\0\0", 11));
  w.Number(kIdEnd).Number(kIdEnd);
  return test::MakeArchive(packed, w.data());
}

// LZMA2 with a 1 MiB dictionary.
std::string Lzma2Coder(Byte dict_prop = 0x10) {
  return std::string("\x21\x21\x01", 3) + static_cast<char>(dict_prop);
}

SRes ExtractOne(const std::string& archive, std::string* data) {
  std::vector<ExtractedEntry> entries;
  const SRes res = ExtractAll(archive, &entries);
  // An entry that failed is not handed over.
  EXPECT_EQ(res == SZ_OK ? 1u : 0u, entries.size());
  if (res == SZ_OK)
    *data = entries[0].data;
  return res;
}

TEST(SzArExExtractTest, DamagedDataFailsItsCrc) {
  const std::string content(5000, 'k');
  std::string archive =
      test::MakeCopyArchive({{u"first", "first entry"}, {u"second", content}});
  std::vector<ExtractedEntry> entries;
  ASSERT_EQ(SZ_OK, ExtractAll(archive, &entries));
  archive[32 + 11 + 2500] ^= 0x20;
  entries.clear();
  EXPECT_EQ(SZ_ERROR_CRC, ExtractAll(archive, &entries));
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ(u"first", entries[0].name);
}

// Chunks of stored data are enough to check the chunk rules.
TEST(SzArExExtractTest, Lzma2ChunkRules) {
  const std::string hello("\x01\x00\x04hello", 8);
  const std::string world("\x02\x00\x05 world", 9);
  const std::string end("\x00", 1);
  struct {
    std::string stream;
    std::string expected;
    SRes result;
  } cases[] = {
      {hello + world + end, "hello world", SZ_OK},
      // Stored data may reset the dictionary again.
      {hello + std::string("\x01\x00\x05 world", 9) + end, "hello world",
       SZ_OK},
      // The first chunk must reset the dictionary.
      {world + end, " world", SZ_ERROR_DATA},
      // LZMA data that is none.
      {std::string("\xE0\x00\x04\x00\x05\x5D", 6) + "hello", "hello",
       SZ_ERROR_DATA},
      // Control bytes that do not exist.
      {hello + std::string("\x03\x00\x05 world", 9), "hello world",
       SZ_ERROR_DATA},
      // After a reset by stored data, LZMA must bring its properties.
      {hello + std::string("\xA0\x00\x05\x00\x01\x00\x00", 7), "hello world",
       SZ_ERROR_DATA},
      // The end comes before the output size, or the input does.
      {hello + end, "hello world", SZ_ERROR_DATA},
      {hello + std::string("\x02\x00\x05 wo", 6), "hello world", SZ_ERROR_DATA},
  };
  for (const auto& c : cases) {
    std::string data;
    EXPECT_EQ(
        c.result,
        ExtractOne(OneBlockArchive(Lzma2Coder(), c.stream, c.expected), &data))
        << c.expected;
    if (c.result == SZ_OK) {
      EXPECT_EQ(c.expected, data);
    }
  }
}

// A small entry made with a huge dictionary needs little memory.
TEST(SzArExExtractTest, WindowsFitTheData) {
  const std::string archive = OneBlockArchive(
      Lzma2Coder(40), std::string("\x01\x00\x04hello\x00", 9), "hello");
  CountingAlloc alloc(-1, 1 << 20);
  std::vector<ExtractedEntry> entries;
  EXPECT_EQ(SZ_OK, ExtractAll(archive, &entries, alloc.get()));
  EXPECT_EQ(0, alloc.outstanding());
}

// Real LZMA2 data of the set-up's readme, cut short or damaged, fails and
// never hands out the entry.
TEST(SzArExExtractTest, DamagedLzma2DataFails) {
  const std::string archive =
      test::ReadTestFile("sevenzip_test_files/blocks.7z");
  test::MemoryLookStream stream(archive);
  CountingAlloc alloc;
  CSzArEx db;
  SzArEx_Init(&db);
  ASSERT_EQ(SZ_OK, SzArEx_Open(&db, stream.stream(), alloc.get(), alloc.get()));
  const std::string expected =
      test::ReadTestFile("sevenzip_test_files/tree/app/resources/readme.txt");
  std::string packed;
  std::string coder;
  for (UInt32 i = 0; i < db.NumFiles; ++i) {
    if (db.Files[i].Size != expected.size())
      continue;
    const UInt32 folder = db.FileFolder[i];
    const CSzCoderInfo& info = db.Folders[folder].Coders[0];
    ASSERT_EQ(kMethodLzma2, info.MethodId);
    coder = Lzma2Coder(info.Props[0]);
    const UInt32 pack = db.FolderStartPackStream[folder];
    packed = archive.substr(
        db.PackStreamOffsets[pack],
        db.PackStreamOffsets[pack + 1] - db.PackStreamOffsets[pack]);
  }
  SzArEx_Free(&db, alloc.get());
  ASSERT_FALSE(packed.empty());

  std::string data;
  ASSERT_EQ(SZ_OK, ExtractOne(OneBlockArchive(coder, packed, expected), &data));
  EXPECT_EQ(expected, data);
  for (size_t size : {packed.size() / 2, packed.size() - 2}) {
    EXPECT_EQ(
        SZ_ERROR_DATA,
        ExtractOne(OneBlockArchive(coder, packed.substr(0, size), expected),
                   &data))
        << size;
  }
  for (size_t at : {size_t{20}, packed.size() / 2, packed.size() - 2}) {
    std::string damaged = packed;
    damaged[at] ^= 0x10;
    const SRes res =
        ExtractOne(OneBlockArchive(coder, damaged, expected), &data);
    EXPECT_TRUE(res == SZ_ERROR_DATA || res == SZ_ERROR_CRC) << at;
  }
}

}  // namespace
}  // namespace sevenzip
