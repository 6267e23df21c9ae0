#include "sha256.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#elif defined(__aarch64__)
#include <arm_neon.h>
#include <sys/auxv.h>
#endif

namespace {

alignas(16) const std::uint32_t roundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

inline std::uint32_t rotate(std::uint32_t x, int n)
{
    return (x >> n) | (x << (32 - n));
}

void portableBlocks(std::uint32_t state[8], const unsigned char *data, std::size_t count)
{
    for (; count > 0; --count, data += 64) {
        std::uint32_t w[64];
        for (int t = 0; t < 16; ++t) {
            const unsigned char *word = data + 4 * t;
            w[t] = std::uint32_t(word[0]) << 24 | std::uint32_t(word[1]) << 16
                | std::uint32_t(word[2]) << 8 | word[3];
        }
        for (int t = 16; t < 64; ++t) {
            const std::uint32_t s0 =
                rotate(w[t - 15], 7) ^ rotate(w[t - 15], 18) ^ (w[t - 15] >> 3);
            const std::uint32_t s1 =
                rotate(w[t - 2], 17) ^ rotate(w[t - 2], 19) ^ (w[t - 2] >> 10);
            w[t] = w[t - 16] + s0 + w[t - 7] + s1;
        }
        std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
        for (int t = 0; t < 64; ++t) {
            const std::uint32_t t1 = h + (rotate(e, 6) ^ rotate(e, 11) ^ rotate(e, 25))
                + ((e & f) ^ (~e & g)) + roundConstants[t] + w[t];
            const std::uint32_t t2 = (rotate(a, 2) ^ rotate(a, 13) ^ rotate(a, 22))
                + ((a & b) ^ (a & c) ^ (b & c));
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
}

#if defined(__x86_64__)

// Compiled for the SHA extensions whatever the build's target, and called
// only where the processor says it has them.
#define WITH_SHA_EXTENSIONS __attribute__((target("sha,ssse3,sse4.1")))

bool detectInstructions()
{
    unsigned a, b, c, d;
    if (__get_cpuid_max(0, nullptr) < 7 || !__get_cpuid(1, &a, &b, &c, &d))
        return false;
    const bool ssse3 = c & (1u << 9);
    const bool sse41 = c & (1u << 19);
    __cpuid_count(7, 0, a, b, c, d);
    return ssse3 && sse41 && (b & (1u << 29));
}

// The instructions keep the state as ABEF and CDGH, two rounds at a time.
WITH_SHA_EXTENSIONS inline void fourRounds(__m128i &abef, __m128i &cdgh, __m128i words, int group)
{
    const __m128i wk = _mm_add_epi32(
        words, _mm_load_si128(reinterpret_cast<const __m128i *>(roundConstants + 4 * group)));
    cdgh = _mm_sha256rnds2_epu32(cdgh, abef, wk);
    abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(wk, 0x0e));
}

// The next four message words replace the oldest four.
WITH_SHA_EXTENSIONS inline void schedule(__m128i &w0, __m128i w1, __m128i w2, __m128i w3)
{
    w0 = _mm_sha256msg2_epu32(
        _mm_add_epi32(_mm_sha256msg1_epu32(w0, w1), _mm_alignr_epi8(w3, w2, 4)), w3);
}

WITH_SHA_EXTENSIONS void instructionBlocks(std::uint32_t state[8], const unsigned char *data,
                                           std::size_t count)
{
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    const __m128i cdab = _mm_shuffle_epi32(
        _mm_loadu_si128(reinterpret_cast<const __m128i *>(state)), 0xb1);
    const __m128i efgh = _mm_shuffle_epi32(
        _mm_loadu_si128(reinterpret_cast<const __m128i *>(state + 4)), 0x1b);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xf0);

    for (; count > 0; --count, data += 64) {
        const __m128i abefBefore = abef;
        const __m128i cdghBefore = cdgh;
        const __m128i *words = reinterpret_cast<const __m128i *>(data);
        __m128i w0 = _mm_shuffle_epi8(_mm_loadu_si128(words), byteSwap);
        __m128i w1 = _mm_shuffle_epi8(_mm_loadu_si128(words + 1), byteSwap);
        __m128i w2 = _mm_shuffle_epi8(_mm_loadu_si128(words + 2), byteSwap);
        __m128i w3 = _mm_shuffle_epi8(_mm_loadu_si128(words + 3), byteSwap);
        fourRounds(abef, cdgh, w0, 0);
        fourRounds(abef, cdgh, w1, 1);
        fourRounds(abef, cdgh, w2, 2);
        fourRounds(abef, cdgh, w3, 3);
        for (int group = 4; group < 16; group += 4) {
            schedule(w0, w1, w2, w3);
            fourRounds(abef, cdgh, w0, group);
            schedule(w1, w2, w3, w0);
            fourRounds(abef, cdgh, w1, group + 1);
            schedule(w2, w3, w0, w1);
            fourRounds(abef, cdgh, w2, group + 2);
            schedule(w3, w0, w1, w2);
            fourRounds(abef, cdgh, w3, group + 3);
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }

    const __m128i feba = _mm_shuffle_epi32(abef, 0x1b);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xb1);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(state), _mm_blend_epi16(feba, dchg, 0xf0));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

#elif defined(__aarch64__)

bool detectInstructions()
{
    return getauxval(AT_HWCAP) & HWCAP_SHA2;
}

// Written out, as compilers of the GCC 5 era have neither the intrinsics
// nor a way to enable them for one function; the assembler is told these
// instructions exist, and they run only where the kernel says they do.
inline uint32x4_t hashAbcd(uint32x4_t abcd, uint32x4_t efgh, uint32x4_t wk)
{
    __asm__(".arch_extension crypto\n\tsha256h %q0, %q1, %2.4s" : "+w"(abcd) : "w"(efgh), "w"(wk));
    return abcd;
}

inline uint32x4_t hashEfgh(uint32x4_t efgh, uint32x4_t abcd, uint32x4_t wk)
{
    __asm__(".arch_extension crypto\n\tsha256h2 %q0, %q1, %2.4s" : "+w"(efgh) : "w"(abcd), "w"(wk));
    return efgh;
}

inline void fourRounds(uint32x4_t &abcd, uint32x4_t &efgh, uint32x4_t words, int group)
{
    const uint32x4_t wk = vaddq_u32(words, vld1q_u32(roundConstants + 4 * group));
    const uint32x4_t abcdBefore = abcd;
    abcd = hashAbcd(abcd, efgh, wk);
    efgh = hashEfgh(efgh, abcdBefore, wk);
}

// The next four message words replace the oldest four.
inline void schedule(uint32x4_t &w0, uint32x4_t w1, uint32x4_t w2, uint32x4_t w3)
{
    __asm__(".arch_extension crypto\n\tsha256su0 %0.4s, %1.4s" : "+w"(w0) : "w"(w1));
    __asm__(".arch_extension crypto\n\tsha256su1 %0.4s, %1.4s, %2.4s"
            : "+w"(w0)
            : "w"(w2), "w"(w3));
}

inline uint32x4_t bigEndianWords(const unsigned char *data)
{
    return vreinterpretq_u32_u8(vrev32q_u8(vld1q_u8(data)));
}

void instructionBlocks(std::uint32_t state[8], const unsigned char *data, std::size_t count)
{
    uint32x4_t abcd = vld1q_u32(state);
    uint32x4_t efgh = vld1q_u32(state + 4);
    for (; count > 0; --count, data += 64) {
        const uint32x4_t abcdBefore = abcd;
        const uint32x4_t efghBefore = efgh;
        uint32x4_t w0 = bigEndianWords(data);
        uint32x4_t w1 = bigEndianWords(data + 16);
        uint32x4_t w2 = bigEndianWords(data + 32);
        uint32x4_t w3 = bigEndianWords(data + 48);
        fourRounds(abcd, efgh, w0, 0);
        fourRounds(abcd, efgh, w1, 1);
        fourRounds(abcd, efgh, w2, 2);
        fourRounds(abcd, efgh, w3, 3);
        for (int group = 4; group < 16; group += 4) {
            schedule(w0, w1, w2, w3);
            fourRounds(abcd, efgh, w0, group);
            schedule(w1, w2, w3, w0);
            fourRounds(abcd, efgh, w1, group + 1);
            schedule(w2, w3, w0, w1);
            fourRounds(abcd, efgh, w2, group + 2);
            schedule(w3, w0, w1, w2);
            fourRounds(abcd, efgh, w3, group + 3);
        }
        abcd = vaddq_u32(abcd, abcdBefore);
        efgh = vaddq_u32(efgh, efghBefore);
    }
    vst1q_u32(state, abcd);
    vst1q_u32(state + 4, efgh);
}

#else

bool detectInstructions()
{
    return false;
}

const auto instructionBlocks = portableBlocks;

#endif

} // namespace

Sha256::Sha256(bool withInstructions)
    : m_blocks(withInstructions && instructionsAvailable() ? instructionBlocks : portableBlocks),
      m_state{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
              0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19}
{
}

bool Sha256::instructionsAvailable()
{
    static const bool available = detectInstructions();
    return available;
}

void Sha256::add(const unsigned char *data, std::size_t size)
{
    m_length += size;
    if (m_pendingSize > 0) {
        const std::size_t taken = std::min(size, sizeof m_pending - m_pendingSize);
        std::memcpy(m_pending + m_pendingSize, data, taken);
        m_pendingSize += taken;
        data += taken;
        size -= taken;
        if (m_pendingSize < sizeof m_pending)
            return;
        m_blocks(m_state, m_pending, 1);
        m_pendingSize = 0;
    }
    m_blocks(m_state, data, size / 64);
    m_pendingSize = size % 64;
    if (m_pendingSize > 0)
        std::memcpy(m_pending, data + size - m_pendingSize, m_pendingSize);
}

void Sha256::finish(unsigned char digest[32])
{
    const std::uint64_t bits = m_length * 8;
    unsigned char tail[128] = {0x80};
    const std::size_t padding = (m_pendingSize < 56 ? 56 : 120) - m_pendingSize;
    for (int i = 0; i < 8; ++i)
        tail[padding + i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
    add(tail, padding + 8);
    for (int i = 0; i < 32; ++i)
        digest[i] = static_cast<unsigned char>(m_state[i / 4] >> (24 - 8 * (i % 4)));
}
