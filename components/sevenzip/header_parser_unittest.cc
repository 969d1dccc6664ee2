#include "components/sevenzip/header_parser.h"

#include <string>
#include <vector>

#include "components/sevenzip/sz_crc.h"
#include "components/sevenzip/test/extract_all.h"
#include "components/sevenzip/test/memory_look_stream.h"
#include "components/sevenzip/test/test_archive_writer.h"
#include "gtest/gtest.h"

namespace sevenzip {
namespace {

using test::CountingAlloc;
using test::HeaderWriter;
using test::MakeArchive;
using test::MakeCopyArchive;
using test::MakeCopyHeader;

const std::string kCopyCoder("\x01\x00", 2);

SRes Open(const std::string& archive) {
  CountingAlloc alloc;
  test::MemoryLookStream stream(archive);
  CSzArEx db;
  SzArEx_Init(&db);
  const SRes res = SzArEx_Open(&db, stream.stream(), alloc.get(), alloc.get());
  SzArEx_Free(&db, alloc.get());
  EXPECT_EQ(0, alloc.outstanding());
  return res;
}

SRes OpenHeader(const std::string& packed, const HeaderWriter& header) {
  return Open(MakeArchive(packed, header.data()));
}

// Main streams of one folder made of |coders| (with their bind pairs and
// packed stream indexes), over |pack_sizes|, with one entry's data of the
// main coder's size.
void WriteStreams(HeaderWriter* w,
                  const std::vector<UInt64>& pack_sizes,
                  UInt64 num_coders,
                  const std::string& coders,
                  const std::vector<UInt64>& unpack_sizes) {
  w->Number(kIdMainStreamsInfo);
  w->Number(kIdPackInfo).Number(0).Number(pack_sizes.size()).Number(kIdSize);
  for (UInt64 size : pack_sizes)
    w->Number(size);
  w->Number(kIdEnd);
  w->Number(kIdUnpackInfo).Number(kIdFolder).Number(1).Byte(0);
  w->Number(num_coders).Bytes(coders);
  w->Number(kIdCodersUnpackSize);
  for (UInt64 size : unpack_sizes)
    w->Number(size);
  w->Number(kIdEnd).Number(kIdEnd);
}

// Files named "0", "1", ..., all with data.
void WriteFiles(HeaderWriter* w, UInt64 count) {
  HeaderWriter names;
  names.Byte(0);
  for (UInt64 i = 0; i < count; ++i)
    names.Byte(static_cast<Byte>('0' + i)).Byte(0).Byte(0).Byte(0);
  w->Number(kIdFilesInfo).Number(count).Property(kIdName, names.data());
  w->Number(kIdEnd);
}

// A header of one folder over one packed stream of |packed| bytes, and
// |files| entries with data.
HeaderWriter OneFolder(UInt64 packed,
                       const std::vector<UInt64>& unpack_sizes,
                       UInt64 files = 1,
                       UInt64 num_coders = 1,
                       const std::string& coders = kCopyCoder) {
  HeaderWriter w;
  w.Number(kIdHeader);
  WriteStreams(&w, {packed}, num_coders, coders, unpack_sizes);
  WriteFiles(&w, files);
  w.Number(kIdEnd);
  return w;
}

TEST(SzArExOpenTest, RefusesForeignAndIncompleteFiles) {
  const std::string archive =
      MakeCopyArchive({{u"a.txt", "hello"}, {u"dir", "", true}});
  EXPECT_EQ(SZ_OK, Open(archive));
  EXPECT_EQ(SZ_ERROR_NO_ARCHIVE, Open("A text file, not an archive.\n"));

  // The header is at the end: any cut loses it.
  for (size_t size = 0; size < archive.size(); ++size) {
    EXPECT_EQ(size < 32 ? SZ_ERROR_NO_ARCHIVE : SZ_ERROR_INPUT_EOF,
              Open(archive.substr(0, size)))
        << size;
  }

  std::string damaged = archive;
  damaged[20] ^= 1;  // The header's size.
  EXPECT_EQ(SZ_ERROR_CRC, Open(damaged));
  damaged = archive;
  damaged[damaged.size() - 3] ^= 1;
  EXPECT_EQ(SZ_ERROR_CRC, Open(damaged));
  damaged = archive;
  damaged[6] = 1;  // A major version that does not exist.
  EXPECT_EQ(SZ_ERROR_UNSUPPORTED, Open(damaged));
}

TEST(SzArExOpenTest, BoundsCountsAndSizesByTheFile) {
  EXPECT_EQ(SZ_OK, OpenHeader("hello", OneFolder(5, {5})));
  // A packed stream that reaches into the header.
  EXPECT_EQ(SZ_ERROR_ARCHIVE, OpenHeader("hello", OneFolder(6, {5})));
  // An output size no package comes near.
  EXPECT_EQ(SZ_ERROR_UNSUPPORTED,
            OpenHeader("hello", OneFolder(5, {UInt64{1} << 41})));

  // A million entries in a header of a few bytes.
  HeaderWriter files;
  files.Number(kIdHeader).Number(kIdFilesInfo).Number(1000000);
  files.Number(kIdEnd).Number(kIdEnd);
  EXPECT_EQ(SZ_ERROR_ARCHIVE, OpenHeader("", files));

  // Packed streams counted beyond the header's bytes.
  HeaderWriter packs;
  packs.Number(kIdHeader).Number(kIdMainStreamsInfo).Number(kIdPackInfo);
  packs.Number(0).Number(UInt64{1} << 40).Number(kIdSize).Number(kIdEnd);
  EXPECT_EQ(SZ_ERROR_ARCHIVE, OpenHeader("", packs));

  // Two entries' data in a folder of one stream.
  EXPECT_EQ(SZ_ERROR_ARCHIVE, OpenHeader("hello", OneFolder(5, {5}, 2)));

  // Substreams larger than their folder.
  HeaderWriter sub;
  sub.Number(kIdHeader).Number(kIdMainStreamsInfo);
  sub.Number(kIdPackInfo).Number(0).Number(1).Number(kIdSize).Number(5);
  sub.Number(kIdEnd).Number(kIdUnpackInfo).Number(kIdFolder).Number(1);
  sub.Byte(0).Number(1).Bytes(kCopyCoder).Number(kIdCodersUnpackSize);
  sub.Number(5).Number(kIdEnd).Number(kIdSubStreamsInfo);
  sub.Number(kIdNumUnpackStream).Number(2).Number(kIdSize).Number(6);
  sub.Number(kIdEnd).Number(kIdEnd);
  WriteFiles(&sub, 2);
  sub.Number(kIdEnd);
  EXPECT_EQ(SZ_ERROR_ARCHIVE, OpenHeader("hello", sub));

  // Names for fewer entries than there are.
  HeaderWriter names;
  names.Number(kIdHeader);
  WriteStreams(&names, {5}, 1, kCopyCoder, {5});
  names.Number(kIdFilesInfo).Number(1);
  names.Property(kIdName, std::string("\0a\0\0\0b\0\0\0", 9));
  names.Number(kIdEnd).Number(kIdEnd);
  EXPECT_EQ(SZ_ERROR_ARCHIVE, OpenHeader("hello", names));
}

TEST(SzArExOpenTest, RefusesWhatItCannotDecode) {
  const std::string three_copies = kCopyCoder + kCopyCoder + kCopyCoder;
  struct {
    const char* what;
    UInt64 num_coders;
    std::string coders;
    SRes expected;
  } cases[] = {
      {"AES-256", 1, std::string("\x24\x06\xF1\x07\x01\x01\x00", 7),
       SZ_ERROR_UNSUPPORTED},
      {"PPMd", 1, std::string("\x23\x03\x04\x01\x01\x00", 6),
       SZ_ERROR_UNSUPPORTED},
      {"LZMA without its properties", 1, std::string("\x03\x03\x01\x01", 4),
       SZ_ERROR_UNSUPPORTED},
      {"five coders", 5, three_copies + kCopyCoder + kCopyCoder,
       SZ_ERROR_UNSUPPORTED},
      {"two coders feeding each other, apart from the third", 3,
       three_copies + std::string("\x00\x01\x01\x00", 4), SZ_ERROR_ARCHIVE},
      {"one output read twice", 3,
       three_copies + std::string("\x00\x01\x01\x01", 4), SZ_ERROR_ARCHIVE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<UInt64> unpack_sizes(c.num_coders, 5);
    EXPECT_EQ(c.expected,
              OpenHeader("hello", OneFolder(5, unpack_sizes, 1, c.num_coders,
                                            c.coders)));
  }

  HeaderWriter additional;
  additional.Number(kIdHeader).Number(kIdAdditionalStreamsInfo);
  EXPECT_EQ(SZ_ERROR_UNSUPPORTED, OpenHeader("", additional));

  HeaderWriter external;
  external.Number(kIdHeader).Number(kIdFilesInfo).Number(1);
  external.Property(kIdName, std::string("\x01\x00", 2));
  external.Number(kIdEnd).Number(kIdEnd);
  EXPECT_EQ(SZ_ERROR_UNSUPPORTED, OpenHeader("", external));

  // A deletion marker of an update archive.
  HeaderWriter anti;
  anti.Number(kIdHeader).Number(kIdFilesInfo).Number(1);
  anti.Property(kIdEmptyStream, "\x80").Property(kIdAnti, "\x80");
  anti.Property(kIdName, std::string("\0a\0\0\0", 5));
  anti.Number(kIdEnd).Number(kIdEnd);
  EXPECT_EQ(SZ_ERROR_UNSUPPORTED, OpenHeader("", anti));
}

TEST(SzArExOpenTest, SkipsUnknownPropertiesBySize) {
  HeaderWriter w;
  w.Number(kIdHeader);
  WriteStreams(&w, {5}, 1, kCopyCoder, {5});
  w.Number(kIdFilesInfo).Number(1);
  w.Property(0x19, std::string(3, '\0'));
  w.Property(0x7F, std::string("\x11\x00\x05", 3));
  w.Property(kIdName, std::string("\0a\0\0\0", 5));
  w.Number(kIdEnd).Number(kIdEnd);
  std::vector<test::ExtractedEntry> entries;
  ASSERT_EQ(SZ_OK, test::ExtractAll(MakeArchive("hello", w.data()), &entries));
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ(u"a", entries[0].name);
  EXPECT_EQ("hello", entries[0].data);
}

// The header stored in a folder of its own, as 7zz writes it by default.
TEST(SzArExOpenTest, ReadsEncodedHeaders) {
  const std::string plain = MakeCopyHeader({{u"a.txt", "hello"}});
  auto encoded = [&](UInt32 crc) {
    HeaderWriter w;
    w.Number(kIdEncodedHeader).Number(kIdPackInfo).Number(5).Number(1);
    w.Number(kIdSize).Number(plain.size()).Number(kIdEnd);
    w.Number(kIdUnpackInfo).Number(kIdFolder).Number(1).Byte(0);
    w.Number(1).Bytes(kCopyCoder).Number(kIdCodersUnpackSize);
    w.Number(plain.size()).Number(kIdCrc).Byte(1).UInt32(crc);
    w.Number(kIdEnd).Number(kIdEnd);
    return MakeArchive("hello" + plain, w.data());
  };
  const UInt32 crc = Crc32(0, plain.data(), plain.size());
  std::vector<test::ExtractedEntry> entries;
  ASSERT_EQ(SZ_OK, test::ExtractAll(encoded(crc), &entries));
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ("hello", entries[0].data);
  EXPECT_EQ(SZ_ERROR_CRC, Open(encoded(crc ^ 1)));

  // A header that decodes to itself, again and again.
  auto looping = [](UInt64 size) {
    HeaderWriter w;
    w.Number(kIdEncodedHeader).Number(kIdPackInfo).Number(0).Number(1);
    w.Number(kIdSize).Number(size).Number(kIdEnd);
    w.Number(kIdUnpackInfo).Number(kIdFolder).Number(1).Byte(0);
    w.Number(1).Bytes(kCopyCoder).Number(kIdCodersUnpackSize).Number(size);
    w.Number(kIdEnd).Number(kIdEnd);
    return w.data();
  };
  const std::string loop = looping(looping(0).size());
  ASSERT_EQ(looping(0).size(), loop.size());
  EXPECT_EQ(SZ_ERROR_UNSUPPORTED, Open(MakeArchive(loop, loop)));
}

}  // namespace
}  // namespace sevenzip
