#include "crypto/sha2.h"

#include <memory>

#include "base/logging.h"
#include "crypto/secure_hash.h"

namespace crypto {

void SHA256HashString(std::string_view str, void* output, size_t len) {
  std::unique_ptr<SecureHash> hash = SecureHash::Create(SecureHash::SHA256);
  // Every supported Windows has SHA-256; without it nothing can be checked.
  CHECK(hash) << "SHA-256 is not available";
  hash->Update(str.data(), str.size());
  hash->Finish(output, len);
}

std::string SHA256HashString(std::string_view str) {
  std::string digest(kSHA256Length, '\0');
  SHA256HashString(str, digest.data(), digest.size());
  return digest;
}

}  // namespace crypto
