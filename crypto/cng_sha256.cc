#include "crypto/cng_sha256.h"

#include <windows.h>

#include <bcrypt.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <limits>
#include <string>

#include "base/logging.h"

namespace crypto {

namespace {

constexpr size_t kSha256Length = 32;

std::string StatusText(NTSTATUS status) {
  char text[16];
  snprintf(text, sizeof(text), "0x%08lx", static_cast<unsigned long>(status));
  return text;
}

// The SHA-256 provider, opened once and shared by every hash of the process
// (CNG allows that from any thread). Null when it cannot be opened.
BCRYPT_ALG_HANDLE Sha256Provider() {
  static const BCRYPT_ALG_HANDLE provider = [] {
    BCRYPT_ALG_HANDLE handle = nullptr;
    NTSTATUS status = ::BCryptOpenAlgorithmProvider(
        &handle, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
    if (!BCRYPT_SUCCESS(status)) {
      LOG(ERROR) << "Cannot open the SHA-256 provider: " << StatusText(status);
      return static_cast<BCRYPT_ALG_HANDLE>(nullptr);
    }
    return handle;
  }();
  return provider;
}

class BCryptSha256 : public SecureHash {
 public:
  // Takes ownership of |hash|, which CNG allocated itself.
  explicit BCryptSha256(BCRYPT_HASH_HANDLE hash) : hash_(hash) {}
  ~BCryptSha256() override { ::BCryptDestroyHash(hash_); }

  void Update(const void* input, size_t len) override {
    DCHECK(!finished_);
    auto* bytes = static_cast<UCHAR*>(const_cast<void*>(input));
    while (len > 0) {
      ULONG chunk = static_cast<ULONG>(
          std::min<size_t>(len, std::numeric_limits<ULONG>::max()));
      NTSTATUS status = ::BCryptHashData(hash_, bytes, chunk, 0);
      CHECK(BCRYPT_SUCCESS(status)) << "BCryptHashData: " << StatusText(status);
      bytes += chunk;
      len -= chunk;
    }
  }

  void Finish(void* output, size_t len) override {
    DCHECK(!finished_);
    finished_ = true;
    UCHAR digest[kSha256Length];
    NTSTATUS status = ::BCryptFinishHash(hash_, digest, sizeof(digest), 0);
    CHECK(BCRYPT_SUCCESS(status)) << "BCryptFinishHash: " << StatusText(status);
    memcpy(output, digest, std::min(len, sizeof(digest)));
  }

  std::unique_ptr<SecureHash> Clone() const override {
    DCHECK(!finished_);
    BCRYPT_HASH_HANDLE copy = nullptr;
    NTSTATUS status = ::BCryptDuplicateHash(hash_, &copy, nullptr, 0, 0);
    if (!BCRYPT_SUCCESS(status)) {
      LOG(ERROR) << "Cannot copy a SHA-256 hash: " << StatusText(status);
      return nullptr;
    }
    return std::make_unique<BCryptSha256>(copy);
  }

  size_t GetHashLength() const override { return kSha256Length; }

 private:
  const BCRYPT_HASH_HANDLE hash_;
  bool finished_ = false;
};

}  // namespace

std::unique_ptr<SecureHash> CreateCngSha256() {
  BCRYPT_ALG_HANDLE provider = Sha256Provider();
  if (!provider)
    return nullptr;
  // Since Windows 7 CNG allocates the hash object itself.
  BCRYPT_HASH_HANDLE hash = nullptr;
  NTSTATUS status =
      ::BCryptCreateHash(provider, &hash, nullptr, 0, nullptr, 0, 0);
  if (!BCRYPT_SUCCESS(status)) {
    LOG(ERROR) << "Cannot create a SHA-256 hash: " << StatusText(status);
    return nullptr;
  }
  return std::make_unique<BCryptSha256>(hash);
}

}  // namespace crypto
