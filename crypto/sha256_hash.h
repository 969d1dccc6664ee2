// SHA-256 over a compression function of sha256_blocks.h: SecureHash::Create
// picks it with HashSha256Blocks on processors that have its instructions,
// with HashSha256BlocksPortable on Windows before Vista, which has no CNG,
// and CNG otherwise.

#ifndef CRYPTO_SHA256_HASH_H_
#define CRYPTO_SHA256_HASH_H_

#include <stddef.h>
#include <stdint.h>

#include <memory>

#include "crypto/secure_hash.h"
#include "crypto/sha256_blocks.h"

namespace crypto {

class Sha256Hash : public SecureHash {
 public:
  // HashSha256Blocks only when CanHashSha256Blocks() holds.
  explicit Sha256Hash(Sha256BlockFunction hash_blocks);
  Sha256Hash(const Sha256Hash&) = delete;
  Sha256Hash& operator=(const Sha256Hash&) = delete;
  ~Sha256Hash() override;

  void Update(const void* input, size_t len) override;
  void Finish(void* output, size_t len) override;
  std::unique_ptr<SecureHash> Clone() const override;
  size_t GetHashLength() const override;

 private:
  const Sha256BlockFunction hash_blocks_;
  uint32_t state_[8];
  // The start of a block that is not complete yet.
  uint8_t pending_[kSha256BlockSize];
  size_t pending_size_ = 0;
  // Of the whole input, in bytes.
  uint64_t length_ = 0;
  bool finished_ = false;
};

}  // namespace crypto

#endif  // CRYPTO_SHA256_HASH_H_
