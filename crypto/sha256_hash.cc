#include "crypto/sha256_hash.h"

#include <string.h>

#include <algorithm>

#include "base/logging.h"

namespace crypto {

namespace {

constexpr uint32_t kInitialState[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372,
                                       0xa54ff53a, 0x510e527f, 0x9b05688c,
                                       0x1f83d9ab, 0x5be0cd19};
constexpr size_t kDigestSize = 32;

}  // namespace

Sha256Hash::Sha256Hash(Sha256BlockFunction hash_blocks)
    : hash_blocks_(hash_blocks) {
  DCHECK(hash_blocks_ != &HashSha256Blocks || CanHashSha256Blocks());
  memcpy(state_, kInitialState, sizeof(state_));
}

Sha256Hash::~Sha256Hash() = default;

void Sha256Hash::Update(const void* input, size_t len) {
  DCHECK(!finished_);
  const uint8_t* bytes = static_cast<const uint8_t*>(input);
  length_ += len;
  if (pending_size_ > 0) {
    const size_t taken = std::min(len, kSha256BlockSize - pending_size_);
    memcpy(pending_ + pending_size_, bytes, taken);
    pending_size_ += taken;
    bytes += taken;
    len -= taken;
    if (pending_size_ < kSha256BlockSize)
      return;
    hash_blocks_(state_, pending_, 1);
    pending_size_ = 0;
  }
  const size_t blocks = len / kSha256BlockSize;
  if (blocks > 0)
    hash_blocks_(state_, bytes, blocks);
  pending_size_ = len - blocks * kSha256BlockSize;
  // |input| may be null when |len| is 0.
  if (pending_size_ > 0)
    memcpy(pending_, bytes + blocks * kSha256BlockSize, pending_size_);
}

void Sha256Hash::Finish(void* output, size_t len) {
  DCHECK(!finished_);
  // A 1 bit, zeros, and the length in bits (big-endian) closing a block.
  const uint64_t bits = length_ * 8;
  uint8_t tail[2 * kSha256BlockSize] = {0x80};
  const size_t tail_size =
      (pending_size_ < kSha256BlockSize - 8 ? 1 : 2) * kSha256BlockSize -
      pending_size_;
  for (int i = 0; i < 8; ++i)
    tail[tail_size - 1 - i] = static_cast<uint8_t>(bits >> (8 * i));
  Update(tail, tail_size);
  DCHECK_EQ(0u, pending_size_);
  finished_ = true;

  uint8_t digest[kDigestSize];
  for (size_t i = 0; i < kDigestSize; ++i)
    digest[i] = static_cast<uint8_t>(state_[i / 4] >> (24 - 8 * (i % 4)));
  memcpy(output, digest, std::min(len, sizeof(digest)));
}

std::unique_ptr<SecureHash> Sha256Hash::Clone() const {
  DCHECK(!finished_);
  auto copy = std::make_unique<Sha256Hash>(hash_blocks_);
  memcpy(copy->state_, state_, sizeof(state_));
  memcpy(copy->pending_, pending_, pending_size_);
  copy->pending_size_ = pending_size_;
  copy->length_ = length_;
  return copy;
}

size_t Sha256Hash::GetHashLength() const {
  return kDigestSize;
}

}  // namespace crypto
