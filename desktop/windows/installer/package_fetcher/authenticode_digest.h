// The Authenticode digest of a PE file: the digest that a signature of the
// file signs. It covers the whole file except the header's checksum, the
// security directory entry and the certificate table itself, so that
// signing a file, or adding a signature to it, leaves it unchanged.
//
//   AuthenticodeDigests digests(path);
//   if (digests.Get(CALG_SHA_256) == signed_digest) ...

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_AUTHENTICODE_DIGEST_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_AUTHENTICODE_DIGEST_H_

#include <windows.h>

#include <wincrypt.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "base/files/file_path.h"

namespace installer {

// The digest of the PE image in |data| with |algorithm| (CALG_SHA1,
// CALG_SHA_256, CALG_SHA_384 or CALG_SHA_512), as raw bytes. Empty for
// bytes that are no PE image, a certificate table that does not lie
// between the headers' directory and the end of the bytes, or another
// algorithm. Nothing outside the bytes is read.
std::string ComputeAuthenticodeDigest(const uint8_t* data,
                                      size_t length,
                                      ALG_ID algorithm);

// The digest of |length| bytes at |data| with one of the algorithms above,
// as raw bytes; empty for another algorithm.
std::string ComputeDigest(const uint8_t* data, size_t length, ALG_ID algorithm);

// The digests of one file, each computed once: a signer search may compare
// several signatures with the file.
class AuthenticodeDigests {
 public:
  explicit AuthenticodeDigests(const base::FilePath& path);
  AuthenticodeDigests(const AuthenticodeDigests&) = delete;
  AuthenticodeDigests& operator=(const AuthenticodeDigests&) = delete;
  ~AuthenticodeDigests();

  // ComputeAuthenticodeDigest of the file's bytes; empty also when the
  // file cannot be read.
  const std::string& Get(ALG_ID algorithm);

 private:
  const base::FilePath path_;
  std::map<ALG_ID, std::string> digests_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_AUTHENTICODE_DIGEST_H_
