// Incremental cryptographic hashing.
//
//   std::unique_ptr<crypto::SecureHash> hash =
//       crypto::SecureHash::Create(crypto::SecureHash::SHA256);
//   hash->Update(data, size);
//   uint8_t digest[crypto::kSHA256Length];
//   hash->Finish(digest, sizeof(digest));

#ifndef CRYPTO_SECURE_HASH_H_
#define CRYPTO_SECURE_HASH_H_

#include <stddef.h>

#include <memory>

namespace crypto {

class SecureHash {
 public:
  enum Algorithm {
    SHA256,
  };

  SecureHash(const SecureHash&) = delete;
  SecureHash& operator=(const SecureHash&) = delete;
  virtual ~SecureHash() = default;

  // Null (and logged) when the system cannot provide |type|.
  static std::unique_ptr<SecureHash> Create(Algorithm type);

  virtual void Update(const void* input, size_t len) = 0;
  // Writes the first min(|len|, GetHashLength()) bytes of the digest. The
  // hash takes no more input afterwards.
  virtual void Finish(void* output, size_t len) = 0;
  // An independent hash of the input so far; null when it cannot be made.
  virtual std::unique_ptr<SecureHash> Clone() const = 0;
  // In bytes.
  virtual size_t GetHashLength() const = 0;

 protected:
  SecureHash() = default;
};

}  // namespace crypto

#endif  // CRYPTO_SECURE_HASH_H_
