#include "desktop/windows/installer/package_fetcher/authenticode_digest.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_util.h"
#include "desktop/windows/installer/test/installer_process.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

base::FilePath TestFile(const char* name) {
  return test::GetBuildBinDir()
      .Append(L"signature_test_files")
      .AppendASCII(name);
}

std::string ReadTestFile(const char* name) {
  std::string text;
  EXPECT_TRUE(base::ReadFileToString(TestFile(name), &text)) << name;
  return text;
}

std::string Hex(const std::string& bytes) {
  return base::HexEncode(bytes.data(), bytes.size());
}

std::string Digest(const std::string& image, ALG_ID algorithm) {
  return Hex(ComputeAuthenticodeDigest(
      reinterpret_cast<const uint8_t*>(image.data()), image.size(), algorithm));
}

uint32_t Get(const std::string& image, size_t offset) {
  uint32_t value = 0;
  memcpy(&value, image.data() + offset, sizeof(value));
  return value;
}

void Put(std::string* image, size_t offset, uint32_t value) {
  memcpy(&(*image)[offset], &value, sizeof(value));
}

// The test files are PE32+ images.
size_t SecurityEntry(const std::string& image) {
  return Get(image, 0x3C) + 24 + 112 + 4 * 8;
}
size_t Checksum(const std::string& image) {
  return Get(image, 0x3C) + 24 + 64;
}

// The digest is the one the signing tool signed, also for a file whose
// payload follows its sections.
TEST(AuthenticodeDigestTest, MatchesWhatTheSignatureSigns) {
  for (const char* name : {"expected", "package_expected"}) {
    SCOPED_TRACE(name);
    const std::string expected = std::string(base::TrimWhitespaceASCII(
        ReadTestFile((std::string(name) + ".digest").c_str()), base::TRIM_ALL));
    ASSERT_EQ(64u, expected.size());
    AuthenticodeDigests digests(TestFile((std::string(name) + ".exe").c_str()));
    EXPECT_EQ(expected, Hex(digests.Get(CALG_SHA_256)));
    // Computed once, the same on every call.
    EXPECT_EQ(&digests.Get(CALG_SHA_256), &digests.Get(CALG_SHA_256));
    EXPECT_EQ(40u, Hex(digests.Get(CALG_SHA1)).size());
    EXPECT_EQ(128u, Hex(digests.Get(CALG_SHA_512)).size());
    // Broken algorithms are no proof of a file.
    EXPECT_TRUE(digests.Get(CALG_MD5).empty());
  }
  AuthenticodeDigests missing(TestFile("no_such_file.exe"));
  EXPECT_TRUE(missing.Get(CALG_SHA_256).empty());
}

// What signing changes is left out; every other byte counts.
TEST(AuthenticodeDigestTest, CoversAllButChecksumEntryAndTable) {
  const std::string signed_image = ReadTestFile("expected.exe");
  const std::string digest = Digest(signed_image, CALG_SHA_256);
  ASSERT_EQ(64u, digest.size());
  const size_t entry = SecurityEntry(signed_image);
  const uint32_t table = Get(signed_image, entry);
  ASSERT_GT(table, entry);
  ASSERT_EQ(signed_image.size(), table + Get(signed_image, entry + 4));

  // The signature taken away again.
  std::string unsigned_image = signed_image.substr(0, table);
  Put(&unsigned_image, entry, 0);
  Put(&unsigned_image, entry + 4, 0);
  EXPECT_EQ(digest, Digest(unsigned_image, CALG_SHA_256));
  std::string checksum = signed_image;
  Put(&checksum, Checksum(checksum), 0x12345678);
  EXPECT_EQ(digest, Digest(checksum, CALG_SHA_256));

  // A byte of the headers, of the code, or appended after the table.
  std::string header = signed_image;
  header[0x40] ^= 1;
  EXPECT_NE(digest, Digest(header, CALG_SHA_256));
  std::string code = signed_image;
  code[4096] ^= 1;
  EXPECT_NE(digest, Digest(code, CALG_SHA_256));
  EXPECT_NE(digest, Digest(signed_image + "x", CALG_SHA_256));
}

// A table that does not lie between the headers and the end of the file,
// or headers cut short, give no digest, and nothing past the bytes is read.
TEST(AuthenticodeDigestTest, HostileHeadersGiveNoDigest) {
  const std::string image = ReadTestFile("expected.exe");
  const size_t entry = SecurityEntry(image);

  std::string past_end = image;
  Put(&past_end, entry + 4, Get(image, entry + 4) + 1);
  EXPECT_TRUE(Digest(past_end, CALG_SHA_256).empty());
  std::string wrapping = image;
  Put(&wrapping, entry, 0xFFFFFFF0);
  Put(&wrapping, entry + 4, 0x20);
  EXPECT_TRUE(Digest(wrapping, CALG_SHA_256).empty());
  std::string in_headers = image;
  Put(&in_headers, entry, 0x10);
  EXPECT_TRUE(Digest(in_headers, CALG_SHA_256).empty());

  // Cut inside the security entry; cut right after it, unsigned, the
  // headers are whole.
  EXPECT_TRUE(Digest(image.substr(0, entry + 6), CALG_SHA_256).empty());
  std::string bare = image.substr(0, entry + 8);
  Put(&bare, entry, 0);
  Put(&bare, entry + 4, 0);
  EXPECT_EQ(64u, Digest(bare, CALG_SHA_256).size());
  EXPECT_TRUE(Digest("MZ and some text", CALG_SHA_256).empty());

  // Four data directories: no security entry to leave out.
  std::string few = image;
  Put(&few, Get(image, 0x3C) + 24 + 108, 4);
  EXPECT_TRUE(Digest(few, CALG_SHA_256).empty());

  // An optional header of neither PE32 nor PE32+ (a ROM image's).
  std::string rom = image;
  const uint16_t rom_magic = IMAGE_ROM_OPTIONAL_HDR_MAGIC;
  memcpy(&rom[Get(image, 0x3C) + 24], &rom_magic, sizeof(rom_magic));
  EXPECT_TRUE(Digest(rom, CALG_SHA_256).empty());
}

}  // namespace
}  // namespace installer
