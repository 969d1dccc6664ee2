#include "crypto/sha256_blocks.h"

#include <immintrin.h>

#include "base/cpu.h"

namespace crypto {

namespace {

alignas(16) constexpr uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1,
    0x923f82a4, 0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3,
    0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786,
    0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147,
    0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13,
    0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
    0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a,
    0x5b9cca4f, 0x682e6ff3, 0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208,
    0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr uint32_t RotateRight(uint32_t x, int n) {
  return (x >> n) | (x << (32 - n));
}

// FIPS 180-4, section 6.2.2, for one block.
void HashSha256BlockPortable(uint32_t state[8], const uint8_t* block) {
  uint32_t w[64];
  for (int t = 0; t < 16; ++t) {
    w[t] = static_cast<uint32_t>(block[4 * t]) << 24 |
           static_cast<uint32_t>(block[4 * t + 1]) << 16 |
           static_cast<uint32_t>(block[4 * t + 2]) << 8 | block[4 * t + 3];
  }
  for (int t = 16; t < 64; ++t) {
    const uint32_t s0 = RotateRight(w[t - 15], 7) ^
                        RotateRight(w[t - 15], 18) ^ (w[t - 15] >> 3);
    const uint32_t s1 = RotateRight(w[t - 2], 17) ^ RotateRight(w[t - 2], 19) ^
                        (w[t - 2] >> 10);
    w[t] = w[t - 16] + s0 + w[t - 7] + s1;
  }
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
  for (int t = 0; t < 64; ++t) {
    const uint32_t s1 =
        RotateRight(e, 6) ^ RotateRight(e, 11) ^ RotateRight(e, 25);
    const uint32_t choice = (e & f) ^ (~e & g);
    const uint32_t t1 = h + s1 + choice + kRoundConstants[t] + w[t];
    const uint32_t s0 =
        RotateRight(a, 2) ^ RotateRight(a, 13) ^ RotateRight(a, 22);
    const uint32_t majority = (a & b) ^ (a & c) ^ (b & c);
    const uint32_t t2 = s0 + majority;
    h = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
  state[5] += f;
  state[6] += g;
  state[7] += h;
}

}  // namespace

void HashSha256BlocksPortable(uint32_t state[8],
                              const uint8_t* data,
                              size_t count) {
  for (size_t i = 0; i < count; ++i)
    HashSha256BlockPortable(state, data + i * kSha256BlockSize);
}

bool CanHashSha256Blocks() {
  static const bool available = [] {
    const base::CPU cpu;
    return cpu.has_sha() && cpu.has_ssse3() && cpu.has_sse41();
  }();
  return available;
}

// The instructions keep the eight words in two registers, as A B E F and
// C D G H (the highest lane first); each sha256rnds2 does two rounds.
__attribute__((target("sha,sse4.1"))) void HashSha256Blocks(uint32_t state[8],
                                                            const uint8_t* data,
                                                            size_t count) {
  // Message words are big-endian.
  const __m128i byte_swap =
      _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
  const __m128i dcba = _mm_loadu_si128(reinterpret_cast<__m128i*>(state));
  const __m128i hgfe = _mm_loadu_si128(reinterpret_cast<__m128i*>(state + 4));
  const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
  const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
  __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
  __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);

  for (; count > 0; --count, data += kSha256BlockSize) {
    const __m128i abef_before = abef;
    const __m128i cdgh_before = cdgh;
    // The message schedule, four words at a time: w[i % 4] holds words
    // 4i to 4i + 3 once group i is reached.
    __m128i w[4];
#pragma GCC unroll 4
    for (int i = 0; i < 4; ++i) {
      w[i] = _mm_shuffle_epi8(
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)),
          byte_swap);
    }
#pragma GCC unroll 16
    for (int group = 0; group < 16; ++group) {
      if (group >= 4) {
        // W[t] = s1(W[t-2]) + W[t-7] + s0(W[t-15]) + W[t-16].
        __m128i next = _mm_sha256msg1_epu32(w[group % 4], w[(group + 1) % 4]);
        next = _mm_add_epi32(
            next, _mm_alignr_epi8(w[(group + 3) % 4], w[(group + 2) % 4], 4));
        w[group % 4] = _mm_sha256msg2_epu32(next, w[(group + 3) % 4]);
      }
      __m128i words = _mm_add_epi32(
          w[group % 4], _mm_load_si128(reinterpret_cast<const __m128i*>(
                            kRoundConstants + 4 * group)));
      cdgh = _mm_sha256rnds2_epu32(cdgh, abef, words);
      words = _mm_shuffle_epi32(words, 0x0E);
      abef = _mm_sha256rnds2_epu32(abef, cdgh, words);
    }
    abef = _mm_add_epi32(abef, abef_before);
    cdgh = _mm_add_epi32(cdgh, cdgh_before);
  }

  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state),
                   _mm_blend_epi16(feba, dchg, 0xF0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4),
                   _mm_alignr_epi8(dchg, feba, 8));
}

}  // namespace crypto
