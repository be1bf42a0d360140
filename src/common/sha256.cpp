#include "common/sha256.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define VX_SHA256_X86_SHA 1
#else
#define VX_SHA256_X86_SHA 0
#endif

namespace vx {

namespace {

constexpr std::array<uint32_t, 64> kRoundConstants = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4,
    0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe,
    0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f,
    0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7,
    0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc,
    0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
    0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116,
    0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7,
    0xc67178f2};

constexpr std::array<uint32_t, 8> kInitialState = {0x6a09e667, 0xbb67ae85, 0x3c6ef372,
                                                   0xa54ff53a, 0x510e527f, 0x9b05688c,
                                                   0x1f83d9ab, 0x5be0cd19};

constexpr uint32_t RotateRight(uint32_t value, int bits) {
  return (value >> bits) | (value << (32 - bits));
}

uint32_t LoadBigEndian(const uint8_t* bytes) {
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
         uint32_t{bytes[3]};
}

void CompressPortable(std::array<uint32_t, 8>& state, const uint8_t* block) {
  uint32_t w[64];
  for (int i = 0; i < 16; ++i) w[i] = LoadBigEndian(block + 4 * i);
  for (int i = 16; i < 64; ++i) {
    const uint32_t s0 = RotateRight(w[i - 15], 7) ^ RotateRight(w[i - 15], 18) ^ (w[i - 15] >> 3);
    const uint32_t s1 = RotateRight(w[i - 2], 17) ^ RotateRight(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
  for (int i = 0; i < 64; ++i) {
    const uint32_t s1 = RotateRight(e, 6) ^ RotateRight(e, 11) ^ RotateRight(e, 25);
    const uint32_t choice = (e & f) ^ (~e & g);
    const uint32_t t1 = h + s1 + choice + kRoundConstants[i] + w[i];
    const uint32_t s0 = RotateRight(a, 2) ^ RotateRight(a, 13) ^ RotateRight(a, 22);
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


#if VX_SHA256_X86_SHA
// The x86 SHA extensions: four rounds per pair of SHA256RNDS2, the message
// schedule by SHA256MSG1/MSG2. The state is kept as ABEF and CDGH, the
// order the instructions want.
__attribute__((target("sha,sse4.1,ssse3"))) void CompressWithShaInstructions(
    std::array<uint32_t, 8>& state, const uint8_t* blocks, size_t count) {
  const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
  __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
  __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
  const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
  const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
  __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
  __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);
  for (; count > 0; --count, blocks += 64) {
    const __m128i abefBefore = abef;
    const __m128i cdghBefore = cdgh;
    __m128i words[4];  // the schedule's last 16 words, four at a time
    for (int group = 0; group < 16; ++group) {
      __m128i& next = words[group % 4];
      if (group < 4) {
        next = _mm_shuffle_epi8(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * group)), byteSwap);
      } else {
        const __m128i& before1 = words[(group + 3) % 4];  // the group before
        const __m128i& before2 = words[(group + 2) % 4];
        const __m128i& before3 = words[(group + 1) % 4];
        __m128i sum = _mm_sha256msg1_epu32(next, before3);
        sum = _mm_add_epi32(sum, _mm_alignr_epi8(before1, before2, 4));
        next = _mm_sha256msg2_epu32(sum, before1);
      }
      __m128i roundInput = _mm_add_epi32(
          next, _mm_loadu_si128(reinterpret_cast<const __m128i*>(&kRoundConstants[4 * group])));
      cdgh = _mm_sha256rnds2_epu32(cdgh, abef, roundInput);
      roundInput = _mm_shuffle_epi32(roundInput, 0x0E);
      abef = _mm_sha256rnds2_epu32(abef, cdgh, roundInput);
    }
    abef = _mm_add_epi32(abef, abefBefore);
    cdgh = _mm_add_epi32(cdgh, cdghBefore);
  }
  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
  dcba = _mm_blend_epi16(feba, dchg, 0xF0);
  hgfe = _mm_alignr_epi8(dchg, feba, 8);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), dcba);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), hgfe);
}
#endif

}  // namespace

bool Sha256::HasShaInstructions() {
#if VX_SHA256_X86_SHA
  static const bool has = [] {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    const bool ssse3AndSse41 = (c & (1u << 9)) && (c & (1u << 19));
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    return ssse3AndSse41 && (b & (1u << 29)) != 0;  // SHA
  }();
  return has;
#else
  return false;
#endif
}

Sha256::Sha256(Engine engine)
    : engine_(engine),
      useShaInstructions_(engine == Engine::Fastest && HasShaInstructions()),
      state_(kInitialState) {}

void Sha256::Compress(const uint8_t* blocks, size_t count) {
#if VX_SHA256_X86_SHA
  if (useShaInstructions_) {
    CompressWithShaInstructions(state_, blocks, count);
    return;
  }
#endif
  for (; count > 0; --count, blocks += 64) CompressPortable(state_, blocks);
}

void Sha256::Update(const void* data, size_t size) {
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  totalBytes_ += size;
  if (pendingSize_ > 0) {
    const size_t taken = std::min(size, pending_.size() - pendingSize_);
    std::memcpy(pending_.data() + pendingSize_, bytes, taken);
    pendingSize_ += taken;
    bytes += taken;
    size -= taken;
    if (pendingSize_ < pending_.size()) return;
    Compress(pending_.data(), 1);
    pendingSize_ = 0;
  }
  // Whole blocks straight from the caller's bytes, without a copy.
  const size_t wholeBlocks = size / 64;
  Compress(bytes, wholeBlocks);
  bytes += 64 * wholeBlocks;
  size -= 64 * wholeBlocks;
  std::memcpy(pending_.data(), bytes, size);
  pendingSize_ = size;
}

Sha256Digest Sha256::Finish() {
  const uint64_t bitLength = totalBytes_ * 8;
  const uint8_t marker = 0x80;
  Update(&marker, 1);
  const uint8_t zero = 0;
  while (pendingSize_ != 56) Update(&zero, 1);
  uint8_t length[8];
  for (int i = 0; i < 8; ++i) length[i] = static_cast<uint8_t>(bitLength >> (56 - 8 * i));
  Update(length, sizeof(length));

  Sha256Digest digest{};
  for (size_t i = 0; i < state_.size(); ++i) {
    for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<uint8_t>(state_[i] >> (24 - 8 * j));
  }
  *this = Sha256(engine_);
  return digest;
}

Sha256Digest Sha256Of(std::string_view bytes) {
  Sha256 hash;
  hash.Update(bytes.data(), bytes.size());
  return hash.Finish();
}

std::string DigestToHex(const Sha256Digest& digest) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(digest.size() * 2);
  for (uint8_t byte : digest) {
    hex.push_back(kDigits[byte >> 4]);
    hex.push_back(kDigits[byte & 0x0F]);
  }
  return hex;
}

}  // namespace vx
