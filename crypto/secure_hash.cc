#include "crypto/secure_hash.h"

#include "base/logging.h"
#include "base/win/windows_version.h"
#include "crypto/cng_sha256.h"
#include "crypto/sha256_blocks.h"
#include "crypto/sha256_hash.h"

namespace crypto {

// static
std::unique_ptr<SecureHash> SecureHash::Create(Algorithm type) {
  DCHECK_EQ(type, SHA256);
  if (CanHashSha256Blocks())
    return std::make_unique<Sha256Hash>(&HashSha256Blocks);
  // CNG (bcrypt.dll) came with Vista.
  if (base::win::GetVersion() < base::win::VERSION_VISTA)
    return std::make_unique<Sha256Hash>(&HashSha256BlocksPortable);
  return CreateCngSha256();
}

}  // namespace crypto
