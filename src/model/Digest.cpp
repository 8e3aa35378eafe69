#include "model/Digest.h"

#include <QCryptographicHash>

#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <cpuid.h>
#include <immintrin.h>
#define QUORVIN_SHA_EXTENSIONS 1
#endif

namespace quorvin {

namespace {

QString hexOf(const quint8 *digest)
{
    static const char16_t hex[] = u"0123456789abcdef";
    QString out(64, Qt::Uninitialized);
    char16_t *target = reinterpret_cast<char16_t *>(out.data());
    for (int i = 0; i < 32; ++i) {
        *target++ = hex[digest[i] >> 4];
        *target++ = hex[digest[i] & 0xf];
    }
    return out;
}

#ifdef QUORVIN_SHA_EXTENSIONS

// The content hash runs over every reminder on every refresh; the processor's SHA instructions
// make it several times faster than the portable code, which stays the fallback.

alignas(16) const quint32 roundConstants[64] = {
    0x428a2f98,
    0x71374491,
    0xb5c0fbcf,
    0xe9b5dba5,
    0x3956c25b,
    0x59f111f1,
    0x923f82a4,
    0xab1c5ed5,
    0xd807aa98,
    0x12835b01,
    0x243185be,
    0x550c7dc3,
    0x72be5d74,
    0x80deb1fe,
    0x9bdc06a7,
    0xc19bf174,
    0xe49b69c1,
    0xefbe4786,
    0x0fc19dc6,
    0x240ca1cc,
    0x2de92c6f,
    0x4a7484aa,
    0x5cb0a9dc,
    0x76f988da,
    0x983e5152,
    0xa831c66d,
    0xb00327c8,
    0xbf597fc7,
    0xc6e00bf3,
    0xd5a79147,
    0x06ca6351,
    0x14292967,
    0x27b70a85,
    0x2e1b2138,
    0x4d2c6dfc,
    0x53380d13,
    0x650a7354,
    0x766a0abb,
    0x81c2c92e,
    0x92722c85,
    0xa2bfe8a1,
    0xa81a664b,
    0xc24b8b70,
    0xc76c51a3,
    0xd192e819,
    0xd6990624,
    0xf40e3585,
    0x106aa070,
    0x19a4c116,
    0x1e376c08,
    0x2748774c,
    0x34b0bcb5,
    0x391c0cb3,
    0x4ed8aa4a,
    0x5b9cca4f,
    0x682e6ff3,
    0x748f82ee,
    0x78a5636f,
    0x84c87814,
    0x8cc70208,
    0x90befffa,
    0xa4506ceb,
    0xbef9a3f7,
    0xc67178f2,
};

bool processorHasShaExtensions()
{
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) {
        return false;
    }
    const bool ssse3 = c & (1u << 9);
    const bool sse41 = c & (1u << 19);
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) {
        return false;
    }
    const bool sha = b & (1u << 29);
    return ssse3 && sse41 && sha;
}

__attribute__((target("sha,sse4.1,ssse3"))) void compressBlocks(quint32 state[8], const quint8 *data, size_t blocks)
{
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i tmp = _mm_loadu_si128(reinterpret_cast<const __m128i *>(&state[0]));
    __m128i state1 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(&state[4]));
    tmp = _mm_shuffle_epi32(tmp, 0xB1); // CDAB
    state1 = _mm_shuffle_epi32(state1, 0x1B); // EFGH
    __m128i state0 = _mm_alignr_epi8(tmp, state1, 8); // ABEF
    state1 = _mm_blend_epi16(state1, tmp, 0xF0); // CDGH

    while (blocks--) {
        const __m128i savedAbef = state0;
        const __m128i savedCdgh = state1;
        __m128i w[4];
        for (size_t g = 0; g < 16; ++g) {
            if (g < 4) {
                w[g] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(data + 16 * g)), byteSwap);
            }
            __m128i message
                = _mm_add_epi32(w[g % 4], _mm_load_si128(reinterpret_cast<const __m128i *>(&roundConstants[4 * g])));
            state1 = _mm_sha256rnds2_epu32(state1, state0, message);
            if (g >= 3 && g < 15) {
                const __m128i carried = _mm_alignr_epi8(w[g % 4], w[(g + 3) % 4], 4);
                w[(g + 1) % 4] = _mm_sha256msg2_epu32(_mm_add_epi32(w[(g + 1) % 4], carried), w[g % 4]);
            }
            message = _mm_shuffle_epi32(message, 0x0E);
            state0 = _mm_sha256rnds2_epu32(state0, state1, message);
            if (g >= 1 && g < 13) {
                w[(g + 3) % 4] = _mm_sha256msg1_epu32(w[(g + 3) % 4], w[g % 4]);
            }
        }
        state0 = _mm_add_epi32(state0, savedAbef);
        state1 = _mm_add_epi32(state1, savedCdgh);
        data += 64;
    }

    tmp = _mm_shuffle_epi32(state0, 0x1B); // FEBA
    state1 = _mm_shuffle_epi32(state1, 0xB1); // DCHG
    state0 = _mm_blend_epi16(tmp, state1, 0xF0); // DCBA
    state1 = _mm_alignr_epi8(state1, tmp, 8); // ABEF
    _mm_storeu_si128(reinterpret_cast<__m128i *>(&state[0]), state0);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(&state[4]), state1);
}

void sha256WithExtensions(QByteArrayView bytes, quint8 digest[32])
{
    quint32 state[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    const auto *data = reinterpret_cast<const quint8 *>(bytes.data());
    const size_t length = size_t(bytes.size());
    const size_t whole = length / 64;
    compressBlocks(state, data, whole);

    // The tail, the 0x80 marker and the bit length fill one or two last blocks.
    quint8 tail[128] = {};
    const size_t rest = length - whole * 64;
    if (rest) {
        std::memcpy(tail, data + whole * 64, rest);
    }
    tail[rest] = 0x80;
    const size_t tailBlocks = rest < 56 ? 1 : 2;
    const quint64 bits = quint64(length) * 8;
    for (int i = 0; i < 8; ++i) {
        tail[tailBlocks * 64 - 1 - i] = quint8(bits >> (8 * i));
    }
    compressBlocks(state, tail, tailBlocks);

    for (size_t i = 0; i < 8; ++i) {
        digest[4 * i] = quint8(state[i] >> 24);
        digest[4 * i + 1] = quint8(state[i] >> 16);
        digest[4 * i + 2] = quint8(state[i] >> 8);
        digest[4 * i + 3] = quint8(state[i]);
    }
}

#endif

} // namespace

bool sha256ProcessorInstructionsAvailable()
{
#ifdef QUORVIN_SHA_EXTENSIONS
    static const bool available = processorHasShaExtensions();
    return available;
#else
    return false;
#endif
}

QString sha256Hex(QByteArrayView bytes, Sha256Engine engine)
{
#ifdef QUORVIN_SHA_EXTENSIONS
    if (engine != Sha256Engine::Portable && sha256ProcessorInstructionsAvailable()) {
        quint8 digest[32];
        sha256WithExtensions(bytes, digest);
        return hexOf(digest);
    }
#else
    Q_UNUSED(engine);
#endif
    const QByteArray digest = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
    return hexOf(reinterpret_cast<const quint8 *>(digest.constData()));
}

QString sha256Hex(QByteArrayView bytes)
{
    return sha256Hex(bytes, Sha256Engine::Automatic);
}

QString sha256Hex(const QString &text)
{
    return sha256Hex(QByteArrayView(text.toUtf8()));
}

} // namespace quorvin
