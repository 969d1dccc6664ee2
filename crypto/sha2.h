// One-shot SHA-256.

#ifndef CRYPTO_SHA2_H_
#define CRYPTO_SHA2_H_

#include <stddef.h>

#include <string>
#include <string_view>

namespace crypto {

constexpr size_t kSHA256Length = 32;

// Writes the first min(|len|, kSHA256Length) bytes of the SHA-256 digest of
// |str| to |output|.
void SHA256HashString(std::string_view str, void* output, size_t len);

// The 32 bytes of the SHA-256 digest of |str|.
std::string SHA256HashString(std::string_view str);

}  // namespace crypto

#endif  // CRYPTO_SHA2_H_
