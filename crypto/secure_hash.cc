#include "crypto/secure_hash.h"

#include "base/logging.h"
#include "crypto/cng_sha256.h"
#include "crypto/sha256_blocks.h"
#include "crypto/sha256_hash.h"

namespace crypto {

// static
std::unique_ptr<SecureHash> SecureHash::Create(Algorithm type) {
  DCHECK_EQ(type, SHA256);
  if (CanHashSha256Blocks())
    return std::make_unique<Sha256Hash>();
  return CreateCngSha256();
}

}  // namespace crypto
