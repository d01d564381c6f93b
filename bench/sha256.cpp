#include "bench/sha256.h"

#include <algorithm>
#include <cstring>

#if !defined(KALORIX_SHA_PLAIN) && (defined(__x86_64__) || defined(_M_X64) || defined(__SSE2__))
#include <emmintrin.h>
#define KALORIX_SHA_SSE2 1
#endif

namespace kalorix::bench {

namespace {

alignas(16) constexpr uint32_t kK[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

inline uint32_t Rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

inline uint32_t LoadBe32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

}  // namespace

void Sha256::reset() {
    static constexpr uint32_t kInit[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                          0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::memcpy(h_, kInit, sizeof h_);
    pendingSize_ = 0;
    totalBytes_ = 0;
}

// One round with the working variables named by position; the caller rotates
// the names instead of moving values. kw = K[i] + W[i].
#define KALORIX_SHA_ROUND(a, b, c, d, e, f, g, h, kw)                                  \
    do {                                                                               \
        h += (kw) + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + (g ^ (e & (f ^ g)));    \
        d += h;                                                                        \
        h += (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) | (c & (a | b)));     \
    } while (0)

#define KALORIX_SHA_ROUNDS4_A(kw, i)                              \
    KALORIX_SHA_ROUND(a, b, c, d, e, f, g, h, kw[(i) + 0]);       \
    KALORIX_SHA_ROUND(h, a, b, c, d, e, f, g, kw[(i) + 1]);       \
    KALORIX_SHA_ROUND(g, h, a, b, c, d, e, f, kw[(i) + 2]);       \
    KALORIX_SHA_ROUND(f, g, h, a, b, c, d, e, kw[(i) + 3])
#define KALORIX_SHA_ROUNDS4_B(kw, i)                              \
    KALORIX_SHA_ROUND(e, f, g, h, a, b, c, d, kw[(i) + 0]);       \
    KALORIX_SHA_ROUND(d, e, f, g, h, a, b, c, kw[(i) + 1]);       \
    KALORIX_SHA_ROUND(c, d, e, f, g, h, a, b, kw[(i) + 2]);       \
    KALORIX_SHA_ROUND(b, c, d, e, f, g, h, a, kw[(i) + 3])

#ifdef KALORIX_SHA_SSE2

namespace {

inline __m128i Rotr4(__m128i x, int n) { return _mm_or_si128(_mm_srli_epi32(x, n), _mm_slli_epi32(x, 32 - n)); }

// Byte order of each 32-bit lane reversed (big-endian message words), SSE2 only.
inline __m128i Bswap4(__m128i v) {
    v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, _MM_SHUFFLE(2, 3, 0, 1)), _MM_SHUFFLE(2, 3, 0, 1));
}

// Message schedule, four words at a time: W[t..t+3] from x0 = W[t-16..t-13],
// x1 = W[t-12..], x2 = W[t-8..], x3 = W[t-4..t-1]. The upper two words need the
// lower two of the same result, hence the second s1 step.
inline __m128i Schedule4(__m128i x0, __m128i x1, __m128i x2, __m128i x3) {
    const __m128i w15 = _mm_or_si128(_mm_srli_si128(x0, 4), _mm_slli_si128(x1, 12));
    const __m128i w7 = _mm_or_si128(_mm_srli_si128(x2, 4), _mm_slli_si128(x3, 12));
    const __m128i s0 = _mm_xor_si128(_mm_xor_si128(Rotr4(w15, 7), Rotr4(w15, 18)), _mm_srli_epi32(w15, 3));
    __m128i t = _mm_add_epi32(_mm_add_epi32(x0, w7), s0);
    const __m128i hi = _mm_shuffle_epi32(x3, _MM_SHUFFLE(3, 2, 3, 2));
    const __m128i s1a = _mm_xor_si128(_mm_xor_si128(Rotr4(hi, 17), Rotr4(hi, 19)), _mm_srli_epi32(hi, 10));
    t = _mm_add_epi32(t, _mm_move_epi64(s1a));
    const __m128i lo = _mm_shuffle_epi32(t, _MM_SHUFFLE(1, 0, 1, 0));
    const __m128i s1b = _mm_xor_si128(_mm_xor_si128(Rotr4(lo, 17), Rotr4(lo, 19)), _mm_srli_epi32(lo, 10));
    return _mm_add_epi32(t, _mm_slli_si128(s1b, 8));
}

}  // namespace

// The vector schedule runs beside the scalar rounds (different execution
// units), which roughly doubles the speed of a plain implementation.
void Sha256::blocks(const uint8_t* data, size_t count) {
    alignas(16) uint32_t kw[64];
    for (size_t blk = 0; blk < count; ++blk, data += 64) {
        const auto* p = reinterpret_cast<const __m128i*>(data);
        __m128i x0 = Bswap4(_mm_loadu_si128(p)), x1 = Bswap4(_mm_loadu_si128(p + 1));
        __m128i x2 = Bswap4(_mm_loadu_si128(p + 2)), x3 = Bswap4(_mm_loadu_si128(p + 3));
        auto store = [&kw](int i, __m128i x) {
            _mm_store_si128(reinterpret_cast<__m128i*>(kw + i),
                            _mm_add_epi32(x, _mm_load_si128(reinterpret_cast<const __m128i*>(kK + i))));
        };
        uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3], e = h_[4], f = h_[5], g = h_[6], h = h_[7];
        store(0, x0);
        store(4, x1);
        store(8, x2);
        store(12, x3);
        for (int i = 16; i < 64; i += 16) {
            x0 = Schedule4(x0, x1, x2, x3);
            store(i, x0);
            KALORIX_SHA_ROUNDS4_A(kw, i - 16);
            x1 = Schedule4(x1, x2, x3, x0);
            store(i + 4, x1);
            KALORIX_SHA_ROUNDS4_B(kw, i - 12);
            x2 = Schedule4(x2, x3, x0, x1);
            store(i + 8, x2);
            KALORIX_SHA_ROUNDS4_A(kw, i - 8);
            x3 = Schedule4(x3, x0, x1, x2);
            store(i + 12, x3);
            KALORIX_SHA_ROUNDS4_B(kw, i - 4);
        }
        KALORIX_SHA_ROUNDS4_A(kw, 48);
        KALORIX_SHA_ROUNDS4_B(kw, 52);
        KALORIX_SHA_ROUNDS4_A(kw, 56);
        KALORIX_SHA_ROUNDS4_B(kw, 60);
        h_[0] += a; h_[1] += b; h_[2] += c; h_[3] += d;
        h_[4] += e; h_[5] += f; h_[6] += g; h_[7] += h;
    }
}

#else  // plain version for other processors

void Sha256::blocks(const uint8_t* data, size_t count) {
    uint32_t w[64];
    uint32_t kw[64];
    for (size_t blk = 0; blk < count; ++blk, data += 64) {
        for (int i = 0; i < 16; ++i) w[i] = LoadBe32(data + 4 * i);
        for (int i = 16; i < 64; ++i) {
            const uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        for (int i = 0; i < 64; ++i) kw[i] = w[i] + kK[i];
        uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3], e = h_[4], f = h_[5], g = h_[6], h = h_[7];
        for (int i = 0; i < 64; i += 8) {
            KALORIX_SHA_ROUNDS4_A(kw, i);
            KALORIX_SHA_ROUNDS4_B(kw, i + 4);
        }
        h_[0] += a; h_[1] += b; h_[2] += c; h_[3] += d;
        h_[4] += e; h_[5] += f; h_[6] += g; h_[7] += h;
    }
}

#endif

#undef KALORIX_SHA_ROUNDS4_A
#undef KALORIX_SHA_ROUNDS4_B
#undef KALORIX_SHA_ROUND

void Sha256::update(const uint8_t* data, size_t size) {
    totalBytes_ += size;
    if (pendingSize_ > 0) {
        const size_t take = std::min<size_t>(64 - pendingSize_, size);
        std::memcpy(pending_ + pendingSize_, data, take);
        pendingSize_ += take;
        data += take;
        size -= take;
        if (pendingSize_ < 64) return;
        blocks(pending_, 1);
        pendingSize_ = 0;
    }
    const size_t whole = size / 64;
    if (whole) blocks(data, whole);
    data += whole * 64;
    size -= whole * 64;
    if (size) {
        std::memcpy(pending_, data, size);
        pendingSize_ = size;
    }
}

std::array<uint8_t, 32> Sha256::finish() {
    const uint64_t bits = totalBytes_ * 8;
    uint8_t tail[128] = {};
    std::memcpy(tail, pending_, pendingSize_);
    tail[pendingSize_] = 0x80;
    const size_t tailSize = pendingSize_ + 1 + 8 <= 64 ? 64 : 128;
    for (int i = 0; i < 8; ++i) tail[tailSize - 1 - i] = static_cast<uint8_t>(bits >> (8 * i));
    blocks(tail, tailSize / 64);
    std::array<uint8_t, 32> out;
    for (int i = 0; i < 8; ++i) {
        out[4 * i] = static_cast<uint8_t>(h_[i] >> 24);
        out[4 * i + 1] = static_cast<uint8_t>(h_[i] >> 16);
        out[4 * i + 2] = static_cast<uint8_t>(h_[i] >> 8);
        out[4 * i + 3] = static_cast<uint8_t>(h_[i]);
    }
    return out;
}

std::array<uint8_t, 32> Sha256::Hash(const uint8_t* data, size_t size) {
    Sha256 s;
    s.update(data, size);
    return s.finish();
}

}  // namespace kalorix::bench
