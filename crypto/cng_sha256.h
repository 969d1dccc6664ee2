// SHA-256 from the Windows CNG provider (bcrypt.dll), for processors
// without the SHA extensions.

#ifndef CRYPTO_CNG_SHA256_H_
#define CRYPTO_CNG_SHA256_H_

#include <memory>

#include "crypto/secure_hash.h"

namespace crypto {

// Null (and logged) when the provider cannot make a hash.
std::unique_ptr<SecureHash> CreateCngSha256();

}  // namespace crypto

#endif  // CRYPTO_CNG_SHA256_H_
