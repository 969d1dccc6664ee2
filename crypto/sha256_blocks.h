// The SHA-256 compression function on the processor's SHA extensions. A
// download of hundreds of megabytes is hashed as it arrives; CNG's own
// SHA-256 (a plain C loop under Wine) ran at a fifth of the loopback
// download's speed, these instructions at several times that speed. And
// the same in plain C++, for Windows before Vista, which has no CNG.

#ifndef CRYPTO_SHA256_BLOCKS_H_
#define CRYPTO_SHA256_BLOCKS_H_

#include <stddef.h>
#include <stdint.h>

namespace crypto {

constexpr size_t kSha256BlockSize = 64;

// Whether this processor has the instructions Sha256Blocks needs.
bool CanHashSha256Blocks();

// Runs the compression function over |count| blocks of 64 bytes at |data|,
// updating |state| (the eight working words H0..H7). Only when
// CanHashSha256Blocks() holds.
void HashSha256Blocks(uint32_t state[8], const uint8_t* data, size_t count);

// The same on any processor, without its SHA extensions.
void HashSha256BlocksPortable(uint32_t state[8],
                              const uint8_t* data,
                              size_t count);

// HashSha256Blocks or HashSha256BlocksPortable.
using Sha256BlockFunction = void (*)(uint32_t state[8],
                                     const uint8_t* data,
                                     size_t count);

}  // namespace crypto

#endif  // CRYPTO_SHA256_BLOCKS_H_
