#include "png/pngblend.h"

#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__SSE2__) && defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define VORLANTH_BLEND_AVX2 1
#endif

namespace {

using u8 = std::uint8_t;

// One pixel at a time: the plain routine, and the end of the vector ones.
void BlendColourPlain(u8* target, const u8* pixels, const u8* alpha, std::int32_t width) {
    for (std::int32_t x = 0; x < width; ++x, target += 4) {
        const unsigned a = alpha[x];
        if (a == 0) continue;
        const u8* s = pixels + 3 * x;
        if (a == 255) {
            target[0] = s[0];
            target[1] = s[1];
            target[2] = s[2];
        } else {
            target[0] = BlendChannel(s[0], target[0], a);
            target[1] = BlendChannel(s[1], target[1], a);
            target[2] = BlendChannel(s[2], target[2], a);
        }
    }
}

void BlendQuadsPlain(u8* target, const u8* quads, std::int32_t width) {
    for (std::int32_t x = 0; x < width; ++x, target += 4, quads += 4) {
        const unsigned a = quads[3];
        if (a == 0) continue;
        if (a == 255) {
            target[0] = quads[0];
            target[1] = quads[1];
            target[2] = quads[2];
        } else {
            target[0] = BlendChannel(quads[0], target[0], a);
            target[1] = BlendChannel(quads[1], target[1], a);
            target[2] = BlendChannel(quads[2], target[2], a);
        }
    }
}

// Four packed blue-green-red pixels (12 bytes from p) as pixels 0 and 1 in q0, 2 and 3 in q1, each
// blue, green, red, 0.
inline void ExpandFour(const u8* p, std::uint64_t& q0, std::uint64_t& q1) {
    std::uint64_t lo;
    std::uint32_t hi;
    std::memcpy(&lo, p, 8);
    std::memcpy(&hi, p + 8, 4);
    q0 = (lo & 0xFFFFFF) | (((lo >> 24) & 0xFFFFFF) << 32);
    q1 = (lo >> 48) | (std::uint64_t{hi & 0xFF} << 16) | (std::uint64_t{hi >> 8} << 32);
}

// A source row as 32-bit pixels, four at a time.
void ExpandQuadsPlain(u8* quads, const u8* pixels, const u8* alpha, std::int32_t width) {
    std::int32_t x = 0;
    for (; x + 4 <= width; x += 4, quads += 16) {
        std::uint64_t q[2];
        ExpandFour(pixels + 3 * x, q[0], q[1]);
        q[0] |= (std::uint64_t{alpha[x]} << 24) | (std::uint64_t{alpha[x + 1]} << 56);
        q[1] |= (std::uint64_t{alpha[x + 2]} << 24) | (std::uint64_t{alpha[x + 3]} << 56);
        std::memcpy(quads, q, 16);
    }
    for (; x < width; ++x, quads += 4) {
        const u8* p = pixels + 3 * x;
        quads[0] = p[0];
        quads[1] = p[1];
        quads[2] = p[2];
        quads[3] = alpha[x];
    }
}

// Target pixel x from source pixel columns[x].
void GatherQuadsPlain(u8* quads, const u8* source, const std::int32_t* columns, std::int32_t width) {
    for (std::int32_t x = 0; x < width; ++x)
        std::memcpy(quads + 4 * std::ptrdiff_t(x), source + 4 * std::ptrdiff_t(columns[x]), 4);
}

#if defined(__SSE2__)
// The blend of eight 16-bit lanes (two pixels); a lane of alpha 0 keeps the target's byte.
inline __m128i BlendLanesSse2(__m128i s16, __m128i d16, __m128i a16, __m128i full) {
    const __m128i sum =
        _mm_add_epi16(_mm_mullo_epi16(s16, a16), _mm_mullo_epi16(d16, _mm_sub_epi16(full, a16)));
    return _mm_srli_epi16(_mm_add_epi16(sum, full), 8);
}

// Four pixels at a time: groups that are all transparent are skipped and groups that are all
// opaque copied; the others blend in 16-bit lanes (the rule is exact at both ends, so no pixel
// needs a branch, and a lane of alpha 0 keeps the target's fourth byte). The plain loop finishes
// the row.
void BlendColourSse2(u8* target, const u8* pixels, const u8* alpha, std::int32_t width) {
    std::int32_t x = 0;
    const __m128i zero = _mm_setzero_si128();
    const __m128i full = _mm_set1_epi16(255);
    const __m128i colourLanes = _mm_set_epi16(0, -1, -1, -1, 0, -1, -1, -1);
    const __m128i fourthBytes = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for (; x + 4 <= width; x += 4, target += 16) {
        std::uint32_t a4;
        std::memcpy(&a4, alpha + x, 4);
        if (a4 == 0) continue;
        std::uint64_t q0, q1; // pixels 0 and 1, 2 and 3 as blue, green, red, 0
        ExpandFour(pixels + 3 * x, q0, q1);
        const __m128i source = _mm_set_epi64x(static_cast<long long>(q1), static_cast<long long>(q0));
        const __m128i dst = _mm_loadu_si128(reinterpret_cast<const __m128i*>(target));
        if (a4 == 0xFFFFFFFFu) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(target),
                             _mm_or_si128(source, _mm_and_si128(dst, fourthBytes)));
            continue;
        }
        // Each pixel's alpha in its three colour lanes, 0 in the fourth.
        __m128i a = _mm_cvtsi32_si128(static_cast<int>(a4));
        a = _mm_unpacklo_epi8(a, a);
        a = _mm_unpacklo_epi8(a, a);
        const __m128i low = BlendLanesSse2(_mm_unpacklo_epi8(source, zero), _mm_unpacklo_epi8(dst, zero),
                                           _mm_and_si128(_mm_unpacklo_epi8(a, zero), colourLanes), full);
        const __m128i high = BlendLanesSse2(_mm_unpackhi_epi8(source, zero), _mm_unpackhi_epi8(dst, zero),
                                            _mm_and_si128(_mm_unpackhi_epi8(a, zero), colourLanes), full);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target), _mm_packus_epi16(low, high));
    }
    BlendColourPlain(target, pixels + 3 * x, alpha + x, width - x);
}

// The same over 32-bit source pixels, whose alpha is their fourth byte.
void BlendQuadsSse2(u8* target, const u8* quads, std::int32_t width) {
    std::int32_t x = 0;
    const __m128i zero = _mm_setzero_si128();
    const __m128i full = _mm_set1_epi16(255);
    const __m128i colourLanes = _mm_set_epi16(0, -1, -1, -1, 0, -1, -1, -1);
    const __m128i fourthBytes = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for (; x + 4 <= width; x += 4, target += 16) {
        const __m128i source = _mm_loadu_si128(reinterpret_cast<const __m128i*>(quads + 4 * x));
        const __m128i a = _mm_and_si128(source, fourthBytes);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, zero)) == 0xFFFF) continue;
        const __m128i dst = _mm_loadu_si128(reinterpret_cast<const __m128i*>(target));
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, fourthBytes)) == 0xFFFF) {
            _mm_storeu_si128(
                reinterpret_cast<__m128i*>(target),
                _mm_or_si128(_mm_andnot_si128(fourthBytes, source), _mm_and_si128(dst, fourthBytes)));
            continue;
        }
        auto lanes = [&](__m128i s16, __m128i d16) {
            const __m128i a16 = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s16, 0xFF), 0xFF);
            return BlendLanesSse2(s16, d16, _mm_and_si128(a16, colourLanes), full);
        };
        const __m128i low = lanes(_mm_unpacklo_epi8(source, zero), _mm_unpacklo_epi8(dst, zero));
        const __m128i high = lanes(_mm_unpackhi_epi8(source, zero), _mm_unpackhi_epi8(dst, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target), _mm_packus_epi16(low, high));
    }
    BlendQuadsPlain(target, quads + 4 * x, width - x);
}
#endif

#if defined(VORLANTH_BLEND_AVX2)
// The blend of sixteen 16-bit lanes.
__attribute__((target("avx2"))) inline __m256i BlendLanesAvx2(__m256i s16, __m256i d16, __m256i a16,
                                                              __m256i full) {
    const __m256i sum =
        _mm256_add_epi16(_mm256_mullo_epi16(s16, a16), _mm256_mullo_epi16(d16, _mm256_sub_epi16(full, a16)));
    return _mm256_srli_epi16(_mm256_add_epi16(sum, full), 8);
}

// Eight blue-green-red pixels (24 bytes from p) as 32-bit pixels with 0 in the fourth bytes: one
// byte shuffle per half, over the 16 bytes from p and the 16 bytes from p + 8.
__attribute__((target("avx2"))) inline __m256i LoadEightColoursAvx2(const u8* p) {
    const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, //
                                            4, 5, 6, -1, 7, 8, 9, -1, 10, 11, 12, -1, 13, 14, 15, -1);
    return _mm256_shuffle_epi8(_mm256_set_m128i(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8)),
                                                _mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
                               spread);
}

// Eight 32-bit source pixels (alpha in the fourth bytes) blended over eight target pixels: each
// pixel's alpha reaches its three colour lanes by one byte shuffle (0 in the fourth lane, which keeps
// the target's byte).
__attribute__((target("avx2"))) inline __m256i BlendEightAvx2(__m256i source, __m256i dst) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i full = _mm256_set1_epi16(255);
    const __m256i alphaLow = _mm256_setr_epi8(3, -1, 3, -1, 3, -1, -1, -1, 7, -1, 7, -1, 7, -1, -1, -1, //
                                              3, -1, 3, -1, 3, -1, -1, -1, 7, -1, 7, -1, 7, -1, -1, -1);
    const __m256i alphaHigh =
        _mm256_setr_epi8(11, -1, 11, -1, 11, -1, -1, -1, 15, -1, 15, -1, 15, -1, -1, -1, //
                         11, -1, 11, -1, 11, -1, -1, -1, 15, -1, 15, -1, 15, -1, -1, -1);
    const __m256i low = BlendLanesAvx2(_mm256_unpacklo_epi8(source, zero), _mm256_unpacklo_epi8(dst, zero),
                                       _mm256_shuffle_epi8(source, alphaLow), full);
    const __m256i high = BlendLanesAvx2(_mm256_unpackhi_epi8(source, zero), _mm256_unpackhi_epi8(dst, zero),
                                        _mm256_shuffle_epi8(source, alphaHigh), full);
    return _mm256_packus_epi16(low, high);
}

// The unscaled blend eight pixels at a time: groups that are all transparent are skipped, groups
// that are all opaque copied, and the others made 32-bit pixels with their alpha and blended.
__attribute__((target("avx2"))) void BlendColourAvx2(u8* target, const u8* pixels, const u8* alpha,
                                                     std::int32_t width) {
    std::int32_t x = 0;
    const __m256i fourthBytes = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    for (; x + 8 <= width; x += 8) {
        u8* out = target + 4 * std::ptrdiff_t(x);
        const __m128i a8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(alpha + x));
        const std::uint64_t bits = static_cast<std::uint64_t>(_mm_cvtsi128_si64(a8));
        if (bits == 0) continue;
        const __m256i colour = LoadEightColoursAvx2(pixels + 3 * std::ptrdiff_t(x));
        const __m256i dst = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(out));
        if (bits == ~std::uint64_t{0}) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out),
                                _mm256_blendv_epi8(colour, dst, fourthBytes));
            continue;
        }
        const __m256i source = _mm256_or_si256(colour, _mm256_slli_epi32(_mm256_cvtepu8_epi32(a8), 24));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), BlendEightAvx2(source, dst));
    }
    BlendColourSse2(target + 4 * std::ptrdiff_t(x), pixels + 3 * x, alpha + x, width - x);
}

// 32-bit source pixels eight at a time.
__attribute__((target("avx2"))) void BlendQuadsAvx2(u8* target, const u8* quads, std::int32_t width) {
    std::int32_t x = 0;
    const __m256i fourthBytes = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    for (; x + 8 <= width; x += 8) {
        u8* out = target + 4 * std::ptrdiff_t(x);
        const __m256i source = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(quads + 4 * x));
        if (_mm256_testz_si256(source, fourthBytes)) continue; // all transparent
        const __m256i dst = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(out));
        if (_mm256_testc_si256(source, fourthBytes)) { // all opaque
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out),
                                _mm256_blendv_epi8(source, dst, fourthBytes));
            continue;
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), BlendEightAvx2(source, dst));
    }
    BlendQuadsSse2(target + 4 * std::ptrdiff_t(x), quads + 4 * x, width - x);
}

// Eight source pixels at a time, the alpha bytes widened into the fourth bytes.
__attribute__((target("avx2"))) void ExpandQuadsAvx2(u8* quads, const u8* pixels, const u8* alpha,
                                                     std::int32_t width) {
    std::int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m256i colour = LoadEightColoursAvx2(pixels + 3 * std::ptrdiff_t(x));
        const __m256i a = _mm256_slli_epi32(
            _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(alpha + x))), 24);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(quads + 4 * std::ptrdiff_t(x)),
                            _mm256_or_si256(colour, a));
    }
    ExpandQuadsPlain(quads + 4 * std::ptrdiff_t(x), pixels + 3 * std::ptrdiff_t(x), alpha + x, width - x);
}

// Eight target pixels per gather instruction.
__attribute__((target("avx2"))) void GatherQuadsAvx2(u8* quads, const u8* source, const std::int32_t* columns,
                                                     std::int32_t width) {
    std::int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m256i at = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(columns + x));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(quads + 4 * std::ptrdiff_t(x)),
                            _mm256_i32gather_epi32(reinterpret_cast<const int*>(source), at, 4));
    }
    GatherQuadsPlain(quads + 4 * std::ptrdiff_t(x), source, columns + x, width - x);
}
#endif

} // namespace

TColourBlend ColourBlendFor([[maybe_unused]] TSimdLevel level) {
#if defined(VORLANTH_BLEND_AVX2)
    if (level >= TSimdLevel::AVX2) return &BlendColourAvx2;
#endif
#if defined(__SSE2__)
    if (level >= TSimdLevel::SSE2) return &BlendColourSse2;
#endif
    return &BlendColourPlain;
}

TQuadExpand QuadExpandFor([[maybe_unused]] TSimdLevel level) {
#if defined(VORLANTH_BLEND_AVX2)
    if (level >= TSimdLevel::AVX2) return &ExpandQuadsAvx2;
#endif
    return &ExpandQuadsPlain;
}

TQuadGather QuadGatherFor([[maybe_unused]] TSimdLevel level) {
#if defined(VORLANTH_BLEND_AVX2)
    if (level >= TSimdLevel::AVX2) return &GatherQuadsAvx2;
#endif
    return &GatherQuadsPlain;
}

TQuadBlend QuadBlendFor([[maybe_unused]] TSimdLevel level) {
#if defined(VORLANTH_BLEND_AVX2)
    if (level >= TSimdLevel::AVX2) return &BlendQuadsAvx2;
#endif
#if defined(__SSE2__)
    if (level >= TSimdLevel::SSE2) return &BlendQuadsSse2;
#endif
    return &BlendQuadsPlain;
}
