// SHA-256 checks of downloaded files against the hexadecimal digests the
// update server sends.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_CHECKSUM_CHECKER_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_CHECKSUM_CHECKER_H_

#include <cstddef>
#include <string>

#include "base/files/file_path.h"

namespace crypto {
class SecureHash;
}

namespace installer {

// The SHA-256 of |size| bytes at |data| as 64 lower-case hexadecimal
// characters; empty only when the system offers no SHA-256.
std::string ComputeSha256Hex(const void* data, size_t size);

// Finishes |hash| (a SHA-256) and gives its digest as ComputeSha256Hex
// does.
std::string FinishSha256Hex(crypto::SecureHash* hash);

class ChecksumChecker {
 public:
  ChecksumChecker() = delete;

  // Whether |expected| is exactly ComputeSha256Hex of the whole file at
  // |path|. The comparison is case-sensitive: the server sends lower case,
  // and anything else counts as a mismatch. A file that cannot be mapped
  // (missing, empty, locked) fails with an error line.
  static bool Check(const base::FilePath& path, const std::string& expected);
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_CHECKSUM_CHECKER_H_
