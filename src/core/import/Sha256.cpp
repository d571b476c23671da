#include "Sha256.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define MARROWICK_SHA_NI 1
#endif

namespace marrowick {

namespace {

constexpr std::array<std::uint32_t, 8> kInitial = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                                   0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

#ifdef MARROWICK_SHA_NI
alignas(16) constexpr std::uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

// The 64 rounds of every block, four at a time: the state is kept as ABEF
// and CDGH, as the round instruction takes it.
__attribute__((target("sha,sse4.1,ssse3"))) void compressBlocks(std::uint32_t* state, const std::uint8_t* data,
                                                                qsizetype count)
{
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i dcba = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);
    __m128i cdgh = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);
    __m128i abef = _mm_alignr_epi8(dcba, cdgh, 8);
    cdgh = _mm_blend_epi16(cdgh, dcba, 0xF0);
    for (; count > 0; --count, data += 64) {
        const __m128i abefBefore = abef;
        const __m128i cdghBefore = cdgh;
        __m128i words[4]; // the schedule's last sixteen words, four to an entry
        for (int group = 0; group < 16; ++group) {
            __m128i& w = words[group % 4];
            if (group < 4) {
                w = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * group)), byteSwap);
            } else {
                const __m128i& last = words[(group + 3) % 4];
                const __m128i early = _mm_sha256msg1_epu32(w, words[(group + 1) % 4]);
                w = _mm_sha256msg2_epu32(_mm_add_epi32(early, _mm_alignr_epi8(last, words[(group + 2) % 4], 4)), last);
            }
            const __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(kRound + 4 * group));
            const __m128i message = _mm_add_epi32(w, k);
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, message);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(message, 0x0E));
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }
    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}
#endif

} // namespace

bool Sha256::accelerated()
{
#ifdef MARROWICK_SHA_NI
    // CPUID leaf 1: SSSE3 (ECX bit 9), SSE4.1 (bit 19); leaf 7: SHA (EBX bit 29).
    static const bool has = [] {
        unsigned a = 0, b = 0, c = 0, d = 0;
        if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & (1u << 9)) || !(c & (1u << 19))) return false;
        return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & (1u << 29));
    }();
    return has;
#else
    return false;
#endif
}

Sha256::Sha256() : m_accelerated(accelerated()), m_state(kInitial) {}

void Sha256::compress(const std::uint8_t* blocks, qsizetype count)
{
#ifdef MARROWICK_SHA_NI
    compressBlocks(m_state.data(), blocks, count);
#else
    Q_UNUSED(blocks);
    Q_UNUSED(count);
#endif
}

void Sha256::addData(QByteArrayView data)
{
    if (!m_accelerated) {
        m_portable.addData(data);
        return;
    }
    if (data.isEmpty()) return; // no bytes, perhaps no pointer to copy from
    m_length += std::uint64_t(data.size());
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.data());
    qsizetype size = data.size();
    if (m_pendingSize > 0) {
        const qsizetype taken = std::min<qsizetype>(size, 64 - m_pendingSize);
        std::memcpy(m_pending.data() + m_pendingSize, bytes, size_t(taken));
        m_pendingSize += taken;
        bytes += taken;
        size -= taken;
        if (m_pendingSize < 64) return;
        compress(m_pending.data(), 1);
        m_pendingSize = 0;
    }
    compress(bytes, size / 64);
    m_pendingSize = size % 64;
    std::memcpy(m_pending.data(), bytes + (size - m_pendingSize), size_t(m_pendingSize));
}

QByteArray Sha256::result()
{
    if (!m_accelerated) return m_portable.result();
    // The padding: a one bit, zeros, and the length in bits, to a whole block.
    const std::uint64_t bits = m_length * 8;
    std::array<std::uint8_t, 72> tail{};
    tail[0] = 0x80;
    const qsizetype zeros = (m_pendingSize < 56 ? 56 : 120) - m_pendingSize;
    for (int i = 0; i < 8; ++i) tail[size_t(zeros + i)] = std::uint8_t(bits >> (56 - 8 * i));
    addData(QByteArrayView(reinterpret_cast<const char*>(tail.data()), zeros + 8));
    QByteArray digest(32, Qt::Uninitialized);
    for (int i = 0; i < 32; ++i) digest[i] = char(m_state[size_t(i / 4)] >> (24 - 8 * (i % 4)));
    return digest;
}

} // namespace marrowick
