#include "base/win/pe_image.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "gtest/gtest.h"

namespace base {
namespace win {
namespace {

constexpr uint32_t kPe = 0x80;
// The optional header follows the signature and the file header.
constexpr uint32_t kOptionalHeader = kPe + 24;

void Put32(std::vector<uint8_t>* bytes, size_t offset, uint32_t value) {
  std::memcpy(bytes->data() + offset, &value, sizeof(value));
}

// The headers of an image with |magic| that declares |directories| data
// directories, each entry holding its index as address and size, and ends
// right after the directory table.
std::vector<uint8_t> MakeHeaders(uint16_t magic, uint32_t directories) {
  const uint32_t count_field =
      kOptionalHeader + (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC ? 92 : 108);
  std::vector<uint8_t> bytes(count_field + 4 + directories * 8);
  bytes[0] = 'M';
  bytes[1] = 'Z';
  Put32(&bytes, 0x3C, kPe);
  std::memcpy(bytes.data() + kPe, "PE\0\0", 4);
  std::memcpy(bytes.data() + kOptionalHeader, &magic, sizeof(magic));
  Put32(&bytes, count_field, directories);
  for (uint32_t i = 0; i < directories; ++i) {
    Put32(&bytes, count_field + 4 + i * 8, 0x1000 + i);
    Put32(&bytes, count_field + 8 + i * 8, i);
  }
  return bytes;
}

// The checksum lies at the same place in both formats; the directory table
// follows the count field, which PE32+ puts 16 bytes later.
TEST(PeImageTest, HeaderFieldOffsetsOfBothFormats) {
  const struct {
    uint16_t magic;
    uint32_t table;
  } kCases[] = {
      {IMAGE_NT_OPTIONAL_HDR32_MAGIC, kOptionalHeader + 96},
      {IMAGE_NT_OPTIONAL_HDR64_MAGIC, kOptionalHeader + 112},
  };
  for (const auto& test : kCases) {
    SCOPED_TRACE(test.magic);
    const std::vector<uint8_t> bytes = MakeHeaders(test.magic, 16);
    const PeImage image(bytes.data(), bytes.size());
    ASSERT_TRUE(image.IsValid());
    uint16_t magic = 0;
    ASSERT_TRUE(image.GetOptionalHeaderMagic(&magic));
    EXPECT_EQ(test.magic, magic);
    uint64_t offset = 0;
    ASSERT_TRUE(image.GetChecksumOffset(&offset));
    EXPECT_EQ(kOptionalHeader + 64u, offset);
    for (uint32_t index : {0u, 4u, 15u}) {
      ASSERT_TRUE(image.GetDataDirectoryOffset(index, &offset)) << index;
      EXPECT_EQ(test.table + index * 8u, offset);
      uint32_t rva = 0;
      uint32_t size = 0;
      ASSERT_TRUE(image.GetDataDirectory(index, &rva, &size));
      EXPECT_EQ(0x1000 + index, rva);
      EXPECT_EQ(index, size);
    }
    EXPECT_FALSE(image.GetDataDirectoryOffset(16, &offset));
  }
}

// Past the declared directories, past the bytes, or without the PE
// signature, there is no field to name.
TEST(PeImageTest, NoOffsetsBeyondTheHeaders) {
  std::vector<uint8_t> bytes = MakeHeaders(IMAGE_NT_OPTIONAL_HDR64_MAGIC, 4);
  uint64_t offset = 0;
  {
    const PeImage image(bytes.data(), bytes.size());
    ASSERT_TRUE(image.GetDataDirectoryOffset(3, &offset));
    EXPECT_FALSE(
        image.GetDataDirectoryOffset(IMAGE_DIRECTORY_ENTRY_SECURITY, &offset));
    uint32_t rva = 0;
    uint32_t size = 0;
    EXPECT_FALSE(image.GetSecurityDirectory(&rva, &size));
  }
  // Cut inside the checksum, then right after it.
  const uint64_t checksum_end = kOptionalHeader + 64 + 4;
  EXPECT_FALSE(
      PeImage(bytes.data(), checksum_end - 1).GetChecksumOffset(&offset));
  EXPECT_TRUE(PeImage(bytes.data(), checksum_end).GetChecksumOffset(&offset));
  // Cut before the directory count.
  EXPECT_FALSE(PeImage(bytes.data(), kOptionalHeader + 108)
                   .GetDataDirectoryOffset(0, &offset));

  bytes[kPe] = 'X';
  const PeImage no_signature(bytes.data(), bytes.size());
  uint16_t magic = 0;
  EXPECT_FALSE(no_signature.GetOptionalHeaderMagic(&magic));
  EXPECT_FALSE(no_signature.GetChecksumOffset(&offset));
  EXPECT_FALSE(no_signature.GetDataDirectoryOffset(0, &offset));
}

}  // namespace
}  // namespace win
}  // namespace base
