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

// One pixel at a time: the plain routine, and the end of the vector ones (which pass the rest of
// the row, its column map included).
void BlendColourPlain(u8* target, const u8* pixels, const u8* alpha, const std::int32_t* columns,
                      std::int32_t width) {
    for (std::int32_t x = 0; x < width; ++x, target += 4) {
        const std::int32_t sx = columns[x];
        const unsigned a = alpha[sx];
        if (a == 0) continue;
        const u8* s = pixels + 3 * sx;
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

#if defined(__SSE2__)
// Four pixels at a time: groups that are all transparent are skipped and groups that are all
// opaque copied; the others blend in 16-bit lanes (the rule is exact at both ends, so no pixel
// needs a branch, and a lane of alpha 0 keeps the target's fourth byte). Unscaled rows read the
// source directly, scaled rows through the column map. The plain loop finishes the row.
template <bool Unscaled>
void BlendColourSse2(u8* target, const u8* pixels, const u8* alpha, const std::int32_t* columns,
                     std::int32_t width) {
    std::int32_t x = 0;
    const __m128i zero = _mm_setzero_si128();
    const __m128i full = _mm_set1_epi16(255);
    const __m128i colourLanes = _mm_set_epi16(0, -1, -1, -1, 0, -1, -1, -1);
    const __m128i fourthBytes = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for (; x + 4 <= width; x += 4, target += 16) {
        std::uint32_t a4;
        std::uint64_t q0, q1; // pixels 0 and 1, 2 and 3 as blue, green, red, 0
        if constexpr (Unscaled) {
            std::memcpy(&a4, alpha + x, 4);
            if (a4 == 0) continue;
            ExpandFour(pixels + 3 * x, q0, q1);
        } else {
            const std::int32_t c[4] = {columns[x], columns[x + 1], columns[x + 2], columns[x + 3]};
            a4 = alpha[c[0]] | (alpha[c[1]] << 8) | (alpha[c[2]] << 16) | (std::uint32_t{alpha[c[3]]} << 24);
            if (a4 == 0) continue;
            auto bgr = [pixels](std::int32_t column) {
                const u8* p = pixels + 3 * column;
                return std::uint64_t{p[0]} | (std::uint64_t{p[1]} << 8) | (std::uint64_t{p[2]} << 16);
            };
            q0 = bgr(c[0]) | (bgr(c[1]) << 32);
            q1 = bgr(c[2]) | (bgr(c[3]) << 32);
        }
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
        auto blend = [&](__m128i s16, __m128i d16, __m128i a16) {
            a16 = _mm_and_si128(a16, colourLanes);
            const __m128i sum =
                _mm_add_epi16(_mm_mullo_epi16(s16, a16), _mm_mullo_epi16(d16, _mm_sub_epi16(full, a16)));
            return _mm_srli_epi16(_mm_add_epi16(sum, full), 8);
        };
        const __m128i low =
            blend(_mm_unpacklo_epi8(source, zero), _mm_unpacklo_epi8(dst, zero), _mm_unpacklo_epi8(a, zero));
        const __m128i high =
            blend(_mm_unpackhi_epi8(source, zero), _mm_unpackhi_epi8(dst, zero), _mm_unpackhi_epi8(a, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target), _mm_packus_epi16(low, high));
    }
    BlendColourPlain(target, pixels, alpha, columns + x, width - x);
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

// The unscaled blend eight pixels at a time: the steps of the four-pixel loop in 256-bit registers.
__attribute__((target("avx2"))) void BlendColourAvx2(u8* target, const u8* pixels, const u8* alpha,
                                                     const std::int32_t* columns, std::int32_t width) {
    std::int32_t x = 0;
    const __m256i zero = _mm256_setzero_si256();
    const __m256i full = _mm256_set1_epi16(255);
    const __m256i colourLanes = _mm256_set_epi16(0, -1, -1, -1, 0, -1, -1, -1, 0, -1, -1, -1, 0, -1, -1, -1);
    const __m256i fourthBytes = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    for (; x + 8 <= width; x += 8) {
        u8* out = target + 4 * std::ptrdiff_t(x);
        std::uint64_t a8;
        std::memcpy(&a8, alpha + x, 8);
        if (a8 == 0) continue;
        std::uint64_t q0, q1, q2, q3;
        ExpandFour(pixels + 3 * x, q0, q1);
        ExpandFour(pixels + 3 * x + 12, q2, q3);
        const __m256i source = _mm256_set_epi64x(static_cast<long long>(q3), static_cast<long long>(q2),
                                                 static_cast<long long>(q1), static_cast<long long>(q0));
        const __m256i dst = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(out));
        if (a8 == ~std::uint64_t{0}) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out),
                                _mm256_or_si256(source, _mm256_and_si256(dst, fourthBytes)));
            continue;
        }
        const __m128i twice = _mm_unpacklo_epi8(_mm_cvtsi64_si128(static_cast<long long>(a8)),
                                                _mm_cvtsi64_si128(static_cast<long long>(a8)));
        const __m256i a = _mm256_set_m128i(_mm_unpackhi_epi8(twice, twice), _mm_unpacklo_epi8(twice, twice));
        const __m256i low =
            BlendLanesAvx2(_mm256_unpacklo_epi8(source, zero), _mm256_unpacklo_epi8(dst, zero),
                           _mm256_and_si256(_mm256_unpacklo_epi8(a, zero), colourLanes), full);
        const __m256i high =
            BlendLanesAvx2(_mm256_unpackhi_epi8(source, zero), _mm256_unpackhi_epi8(dst, zero),
                           _mm256_and_si256(_mm256_unpackhi_epi8(a, zero), colourLanes), full);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_packus_epi16(low, high));
    }
    // The rest four at a time: its source starts at pixel x, and an identity map still fits it.
    BlendColourSse2<true>(target + 4 * std::ptrdiff_t(x), pixels + 3 * x, alpha + x, columns, width - x);
}
#endif

} // namespace

TColourBlend ColourBlendFor([[maybe_unused]] TSimdLevel level, [[maybe_unused]] bool scaled) {
#if defined(VORLANTH_BLEND_AVX2)
    if (level >= TSimdLevel::AVX2 && !scaled) return &BlendColourAvx2;
#endif
#if defined(__SSE2__)
    if (level >= TSimdLevel::SSE2) return scaled ? &BlendColourSse2<false> : &BlendColourSse2<true>;
#endif
    return &BlendColourPlain;
}
