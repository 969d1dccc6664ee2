#include "desktop/windows/installer/package_fetcher/checksum_checker.h"

#include <string>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/strings/string_util.h"
#include "base/test/scoped_log_capture.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

std::string Sha256Hex(const std::string& text) {
  return ComputeSha256Hex(text.data(), text.size());
}

// FIPS 180-4 examples and the one-million-"a" message, in lower case.
TEST(ComputeSha256HexTest, ReproducesThePublishedVectors) {
  EXPECT_EQ("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
            Sha256Hex(""));
  EXPECT_EQ("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
            Sha256Hex("abc"));
  EXPECT_EQ("cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0",
            Sha256Hex(std::string(1000000, 'a')));
}

TEST(ChecksumCheckerTest, MatchesOnlyTheExactLowerCaseDigest) {
  base::ScopedTempDir temp_dir;
  ASSERT_TRUE(temp_dir.CreateUniqueTempDir());
  const base::FilePath path = temp_dir.GetPath().AppendASCII("package.exe");
  const std::string data(70000, 'x');
  ASSERT_EQ(70000, base::WriteFile(path, data.data(), 70000));
  const std::string digest = Sha256Hex(data);

  EXPECT_TRUE(ChecksumChecker::Check(path, digest));
  EXPECT_FALSE(ChecksumChecker::Check(path, base::ToUpperASCII(digest)));
  EXPECT_FALSE(ChecksumChecker::Check(path, ""));
  EXPECT_FALSE(ChecksumChecker::Check(path, Sha256Hex(data + "x")));

  // Files that cannot be mapped: missing, and empty (no server sends an
  // empty package).
  const base::FilePath empty = temp_dir.GetPath().AppendASCII("empty");
  ASSERT_EQ(0, base::WriteFile(empty, "", 0));
  base::ScopedLogCapture log;
  EXPECT_FALSE(ChecksumChecker::Check(path.AddExtension(L"missing"), digest));
  EXPECT_FALSE(ChecksumChecker::Check(empty, Sha256Hex("")));
  EXPECT_TRUE(log.Contains(logging::LOG_ERROR, "Unable to read "));
  EXPECT_TRUE(log.Contains(logging::LOG_ERROR, "package.exe.missing"));
  EXPECT_TRUE(log.Contains(logging::LOG_ERROR, "empty"));
}

}  // namespace
}  // namespace installer
