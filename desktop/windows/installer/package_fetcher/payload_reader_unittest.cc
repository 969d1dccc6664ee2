#include "desktop/windows/installer/package_fetcher/payload_reader.h"

#include <cstdint>
#include <string>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/test/scoped_log_capture.h"
#include "desktop/windows/installer/test/installer_process.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

constexpr char k7z[] = "7z\xBC\xAF\x27\x1C rest of the archive";
constexpr uint32_t kPe = 0x40;

void PutUint32(std::string* bytes, size_t at, uint32_t value) {
  if (bytes->size() < at + 4)
    bytes->resize(at + 4);
  for (int i = 0; i < 4; ++i)
    (*bytes)[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// The headers of an image up to its data directories: a 64-bit one, or
// a 32-bit (x86) one, whose directories lie 16 bytes earlier.
std::string MakeImage(bool pe32 = false) {
  std::string image(0x200, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  PutUint32(&image, 0x3C, kPe);
  image.replace(kPe, 4, std::string("PE\0\0", 4));
  if (pe32) {
    image[kPe + 4] = 0x4C;  // Machine 0x14C, x86.
    image[kPe + 5] = 0x01;
  }
  image[kPe + 24] = 0x0B;  // Magic 0x10B (PE32) or 0x20B (PE32+).
  image[kPe + 25] = pe32 ? 0x01 : 0x02;
  PutUint32(&image, kPe + 24 + (pe32 ? 92 : 108), 16);  // Directory count.
  return image;
}

// Declares a certificate table of |size| bytes at |offset|.
void Sign(std::string* image,
          uint32_t offset,
          uint32_t size,
          bool pe32 = false) {
  const uint32_t entry = kPe + (pe32 ? 0x98 : 0xA8);
  PutUint32(image, entry, offset);
  PutUint32(image, entry + 4, size);
}

std::string Payload(const std::string& data) {
  std::string payload = "KVX" + data;
  PutUint32(&payload, payload.size(), static_cast<uint32_t>(data.size()));
  return payload;
}

class PayloadReaderTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(temp_.CreateUniqueTempDir()); }

  // Each image gets a file of its own: a living reader keeps its mapped.
  base::FilePath Write(const std::string& bytes) {
    base::FilePath path = temp_.GetPath().Append(
        L"installer" + std::to_wstring(++files_) + L".exe");
    EXPECT_EQ(static_cast<int>(bytes.size()),
              base::WriteFile(path, bytes.data(), bytes.size()));
    return path;
  }

  base::ScopedTempDir temp_;
  int files_ = 0;
};

TEST_F(PayloadReaderTest, UnsignedImageWithArchiveIsAFullPackage) {
  const std::string archive(k7z, sizeof(k7z) - 1);
  PayloadReader reader(Write(MakeImage() + Payload(archive)));
  EXPECT_EQ(PAYLOAD_TYPE_FULL_PACKAGE, reader.payload_type());
  EXPECT_EQ(archive, reader.GetPayloadData());
}

// Both image layouts: a 32-bit image keeps its certificate table 16 bytes
// earlier than a 64-bit one.
TEST_F(PayloadReaderTest, SignedImagesCarryPayloadsBeforeOrAfterTheTable) {
  for (bool pe32 : {false, true}) {
    SCOPED_TRACE(pe32 ? "PE32" : "PE32+");
    const std::string archive(k7z, sizeof(k7z) - 1);
    std::string image = MakeImage(pe32) + Payload(archive);
    const std::string table(64, 'C');
    Sign(&image, image.size(), table.size(), pe32);
    PayloadReader inside(Write(image + table));
    EXPECT_EQ(PAYLOAD_TYPE_FULL_PACKAGE, inside.payload_type());
    EXPECT_EQ(archive, inside.GetPayloadData());

    // Tracking data may come after the signature: it is not trusted anyway.
    PayloadReader tracking(Write(image + table + Payload("utm=abc")));
    EXPECT_EQ(PAYLOAD_TYPE_TRACKING_DATA, tracking.payload_type());
    EXPECT_EQ("utm=abc", tracking.GetPayloadData());

    // A package must not: anyone could append one to a signed installer.
    base::ScopedLogCapture log;
    PayloadReader appended(Write(image + table + Payload(archive)));
    EXPECT_EQ(PAYLOAD_TYPE_NONE, appended.payload_type());
    EXPECT_TRUE(log.ContainsError(
        "Found full package that is not covered by the signature"));
    EXPECT_TRUE(appended.GetPayloadData().empty());
  }
}

TEST_F(PayloadReaderTest, WritesExactlyThePayload) {
  const std::string archive(k7z, sizeof(k7z) - 1);
  const base::FilePath out = temp_.GetPath().Append(L"payload");
  std::string written;
  PayloadReader package(Write(MakeImage() + Payload(archive)));
  ASSERT_TRUE(package.WritePayloadToFile(out));
  ASSERT_TRUE(base::ReadFileToString(out, &written));
  EXPECT_EQ(archive, written);

  PayloadReader tracking(Write(MakeImage() + Payload("utm=abc")));
  ASSERT_TRUE(tracking.WritePayloadToFile(out));
  ASSERT_TRUE(base::ReadFileToString(out, &written));
  EXPECT_EQ("utm=abc", written);
  // Tracking data set from outside replaces the payload's.
  tracking.SetExternalTrackingData("abc");
  ASSERT_TRUE(tracking.WritePayloadToFile(out));
  ASSERT_TRUE(base::ReadFileToString(out, &written));
  EXPECT_EQ("abc", written);
  EXPECT_FALSE(
      tracking.WritePayloadToFile(temp_.GetPath().Append(L"missing\\out")));

  // Nothing to write: no file.
  const base::FilePath none_out = temp_.GetPath().Append(L"none");
  EXPECT_FALSE(PayloadReader(Write(MakeImage())).WritePayloadToFile(none_out));
  EXPECT_FALSE(
      PayloadReader(Write("not an image")).WritePayloadToFile(none_out));
  EXPECT_FALSE(base::PathExists(none_out));
}

TEST_F(PayloadReaderTest, HostileLengthsAndHeadersReadNothing) {
  std::string huge_length = MakeImage() + "KVX";
  PutUint32(&huge_length, huge_length.size(), 0xFFFFFFFF);
  base::ScopedLogCapture log;
  EXPECT_EQ(PAYLOAD_TYPE_NONE,
            PayloadReader(Write(huge_length)).payload_type());
  EXPECT_TRUE(log.Contains(logging::LOG_WARNING, "No valid payload found"));

  std::string wrong_magic = MakeImage() + Payload("data");
  wrong_magic[0x200] = 'X';
  EXPECT_EQ(PAYLOAD_TYPE_NONE,
            PayloadReader(Write(wrong_magic)).payload_type());

  std::string past_end = MakeImage();
  Sign(&past_end, 0x10000, 8);
  EXPECT_EQ(PAYLOAD_TYPE_CORRUPTED,
            PayloadReader(Write(past_end + Payload("x"))).payload_type());
  EXPECT_TRUE(log.ContainsError(
      "Security directory is located past the image file length"));

  // A DOS header pointing outside the file.
  std::string bad_pe = "MZ" + std::string(0x40, '\0');
  PutUint32(&bad_pe, 0x3C, 0x7FFFFFF0);
  EXPECT_EQ(PAYLOAD_TYPE_CORRUPTED,
            PayloadReader(Write(bad_pe)).payload_type());
  EXPECT_EQ(
      PAYLOAD_TYPE_NONE,
      PayloadReader(temp_.GetPath().Append(L"missing.exe")).payload_type());
}

TEST_F(PayloadReaderTest, ExternalTrackingDataReplacesAMissingPayload) {
  // The built installer carries no payload.
  PayloadReader reader(test::GetBuildBinDir().Append(L"installer.exe"));
  EXPECT_EQ(PAYLOAD_TYPE_NONE, reader.payload_type());
  reader.SetExternalTrackingData("abc");
  EXPECT_EQ(PAYLOAD_TYPE_EXTERNAL_TRACKING_DATA, reader.payload_type());
  EXPECT_EQ("abc", reader.GetPayloadData());
}

}  // namespace
}  // namespace installer
