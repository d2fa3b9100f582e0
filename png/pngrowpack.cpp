#include "png/pngrowpack.h"

#include <cstring>

#include "png/pngformat.h"
#include "png/pngrowcommon.h"
#include "png/pngsimd.h"

#if defined(__SSE2__) && defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define VORLANTH_PACK_AVX2 1
#endif

namespace {

using u8 = std::uint8_t;

using pngrow::Column;
using pngrow::G;

// Gray samples or palette indices of 1, 4 or 8 bits, as packed in the pixel row.
template <int Depth, bool Step1>
void PackIndices(const TRowPackArgs& args, const u8* pixels, const u8*, const u8*, u8* dst,
                 std::int32_t start, std::int32_t step, std::int32_t count) {
    if constexpr (Step1) {
        std::memcpy(dst, pixels, static_cast<std::size_t>(args.RowLength));
    } else {
        std::memset(dst, 0, static_cast<std::size_t>(args.RowLength));
        constexpr int mask = (1 << Depth) - 1;
        for (std::int32_t k = 0; k < count; ++k) {
            const std::int32_t sbit = (start + k * step) * Depth;
            const int v = (pixels[sbit >> 3] >> (8 - Depth - (sbit & 7))) & mask;
            const std::int32_t dbit = k * Depth;
            dst[dbit >> 3] = static_cast<u8>(dst[dbit >> 3] | (v << (8 - Depth - (dbit & 7))));
        }
    }
}

// 16-bit gray: the high byte from the pixel row, the low byte from the low-byte plane.
template <bool Step1>
void PackGray16(const TRowPackArgs&, const u8* pixels, const u8* low, const u8*, u8* dst, std::int32_t start,
                std::int32_t step, std::int32_t count) {
    for (std::int32_t k = 0; k < count; ++k) {
        const std::int32_t c = Column<Step1>(start, step, k);
        dst[2 * k] = pixels[c];
        dst[2 * k + 1] = low[c];
    }
}

// Gray with alpha: the gray byte (and its low byte), then the alpha byte (twice for 16 bits, so
// 0 and 255 stay fully transparent and fully opaque).
template <int Depth, bool Step1>
void PackGrayAlpha(const TRowPackArgs&, const u8* pixels, const u8* low, const u8* alpha, u8* dst,
                   std::int32_t start, std::int32_t step, std::int32_t count) {
    for (std::int32_t k = 0; k < count; ++k) {
        const std::int32_t c = Column<Step1>(start, step, k);
        if constexpr (Depth == 8) {
            dst[2 * k] = pixels[c];
            dst[2 * k + 1] = alpha[c];
        } else {
            dst[4 * k] = pixels[c];
            dst[4 * k + 1] = low[c];
            dst[4 * k + 2] = alpha[c];
            dst[4 * k + 3] = alpha[c];
        }
    }
}

// Colour, with (Channels 4) or without (3) alpha: red, green, blue through the gamma table from the
// stored blue, green, red; 16-bit samples take their low bytes from the low-byte plane.
template <int Channels, int Depth, bool UseTable, bool Step1>
void PackColour(const TRowPackArgs& args, const u8* pixels, const u8* low, const u8* alpha, u8* dst,
                std::int32_t start, std::int32_t step, std::int32_t count) {
    const u8* g = args.Gamma;
    for (std::int32_t k = 0; k < count; ++k) {
        const std::int32_t c = Column<Step1>(start, step, k);
        const u8* s = pixels + 3 * c;
        if constexpr (Depth == 8) {
            u8* d = dst + Channels * k;
            d[0] = G<UseTable>(g, s[2]);
            d[1] = G<UseTable>(g, s[1]);
            d[2] = G<UseTable>(g, s[0]);
            if constexpr (Channels == 4) d[3] = alpha[c];
        } else {
            const u8* l = low + 3 * c;
            u8* d = dst + 2 * Channels * k;
            d[0] = G<UseTable>(g, s[2]);
            d[1] = G<UseTable>(g, l[2]);
            d[2] = G<UseTable>(g, s[1]);
            d[3] = G<UseTable>(g, l[1]);
            d[4] = G<UseTable>(g, s[0]);
            d[5] = G<UseTable>(g, l[0]);
            if constexpr (Channels == 4) d[6] = d[7] = alpha[c];
        }
    }
}

#if defined(VORLANTH_PACK_AVX2)
// 16 bytes from p in the low half, 16 from p + Second in the high half.
template <int Second>
__attribute__((target("avx2"), always_inline)) inline __m256i LoadHalves(const u8* p) {
    return _mm256_set_m128i(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + Second)),
                            _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// Sequential 8-bit colour without a gamma table, by byte shuffles: blue, green, red turned to red,
// green, blue; the plain routine packs the last pixels, which the wide loads would overrun.
__attribute__((target("avx2"))) void PackRgba8Avx2(const TRowPackArgs& args, const u8* pixels, const u8* low,
                                                   const u8* alpha, u8* dst, std::int32_t, std::int32_t,
                                                   std::int32_t count) {
    const __m256i order = _mm256_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1, //
                                           6, 5, 4, -1, 9, 8, 7, -1, 12, 11, 10, -1, 15, 14, 13, -1);
    std::int32_t x = 0;
    for (; x + 8 <= count; x += 8) {
        const u8* p = pixels + 3 * std::ptrdiff_t(x);
        const __m256i colour = _mm256_shuffle_epi8(LoadHalves<8>(p), order);
        const __m256i a = _mm256_slli_epi32(
            _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(alpha + x))), 24);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * std::ptrdiff_t(x)),
                            _mm256_or_si256(colour, a));
    }
    PackColour<4, 8, false, true>(args, pixels + 3 * std::ptrdiff_t(x), low, alpha + x,
                                  dst + 4 * std::ptrdiff_t(x), 0, 1, count - x);
}

// Four pixels per 16-byte load and store; each store's last four bytes are written again by the next.
__attribute__((target("avx2"))) void PackRgb8Avx2(const TRowPackArgs& args, const u8* pixels, const u8* low,
                                                  const u8* alpha, u8* dst, std::int32_t, std::int32_t,
                                                  std::int32_t count) {
    const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 12, 13, 14, 15);
    std::int32_t x = 0;
    for (; x + 6 <= count; x += 4) {
        const __m128i colour =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + 3 * std::ptrdiff_t(x)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 3 * std::ptrdiff_t(x)),
                         _mm_shuffle_epi8(colour, order));
    }
    PackColour<3, 8, false, true>(args, pixels + 3 * std::ptrdiff_t(x), low, alpha,
                                  dst + 3 * std::ptrdiff_t(x), 0, 1, count - x);
}

// The Sub filter fused into the packing, for pixels from..count-1: every byte less the same byte of
// the pixel before (none before the first). The difference commutes with the channel swizzle, so
// the vector routines take it on the stored bytes before shuffling them.
template <int Channels>
void PackColourSub8(const u8* pixels, const u8* alpha, u8* dst, std::int32_t from, std::int32_t count) {
    for (std::int32_t x = from; x < count; ++x) {
        const u8* s = pixels + 3 * std::ptrdiff_t(x);
        const u8 before[4] = {x > 0 ? s[-1] : u8(0), x > 0 ? s[-2] : u8(0), x > 0 ? s[-3] : u8(0),
                              Channels == 4 && x > 0 ? alpha[x - 1] : u8(0)};
        u8* d = dst + Channels * std::ptrdiff_t(x);
        d[0] = u8(s[2] - before[0]);
        d[1] = u8(s[1] - before[1]);
        d[2] = u8(s[0] - before[2]);
        if constexpr (Channels == 4) d[3] = u8(alpha[x] - before[3]);
    }
}

__attribute__((target("avx2"))) void PackRgba8SubAvx2(const TRowPackArgs&, const u8* pixels, const u8*,
                                                      const u8* alpha, u8* dst, std::int32_t, std::int32_t,
                                                      std::int32_t count) {
    const __m256i order = _mm256_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1, //
                                           6, 5, 4, -1, 9, 8, 7, -1, 12, 11, 10, -1, 15, 14, 13, -1);
    PackColourSub8<4>(pixels, alpha, dst, 0, count < 1 ? count : 1);
    std::int32_t x = 1;
    for (; x + 8 <= count; x += 8) {
        const u8* p = pixels + 3 * std::ptrdiff_t(x);
        const __m256i colour =
            _mm256_shuffle_epi8(_mm256_sub_epi8(LoadHalves<8>(p), LoadHalves<8>(p - 3)), order);
        const __m128i a = _mm_sub_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(alpha + x)),
                                       _mm_loadl_epi64(reinterpret_cast<const __m128i*>(alpha + x - 1)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * std::ptrdiff_t(x)),
                            _mm256_or_si256(colour, _mm256_slli_epi32(_mm256_cvtepu8_epi32(a), 24)));
    }
    PackColourSub8<4>(pixels, alpha, dst, x, count);
}

// Eight pixels per step, as two 16-byte stores of which the second overwrites the first's last
// four bytes and the next step the second's.
__attribute__((target("avx2"))) void PackRgb8SubAvx2(const TRowPackArgs&, const u8* pixels, const u8*,
                                                     const u8* alpha, u8* dst, std::int32_t, std::int32_t,
                                                     std::int32_t count) {
    const __m256i order = _mm256_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 12, 13, 14, 15, //
                                           2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 12, 13, 14, 15);
    PackColourSub8<3>(pixels, alpha, dst, 0, count < 1 ? count : 1);
    std::int32_t x = 1;
    for (; x + 10 <= count; x += 8) {
        const u8* p = pixels + 3 * std::ptrdiff_t(x);
        const __m256i rgb =
            _mm256_shuffle_epi8(_mm256_sub_epi8(LoadHalves<12>(p), LoadHalves<12>(p - 3)), order);
        u8* d = dst + 3 * std::ptrdiff_t(x);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm256_castsi256_si128(rgb));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 12), _mm256_extracti128_si256(rgb, 1));
    }
    PackColourSub8<3>(pixels, alpha, dst, x, count);
}
#endif

template <int Channels, int Depth, bool UseTable>
constexpr TRowPack ColourPack() {
    return {&PackColour<Channels, Depth, UseTable, true>, &PackColour<Channels, Depth, UseTable, false>};
}

template <int Channels, int Depth>
TRowPack ColourPackFor(bool table) {
    TRowPack pack = table ? ColourPack<Channels, Depth, true>() : ColourPack<Channels, Depth, false>();
#if defined(VORLANTH_PACK_AVX2)
    if (Depth == 8 && !table && ActiveSimdLevel() >= TSimdLevel::AVX2) {
        pack.Sequential = Channels == 4 ? &PackRgba8Avx2 : &PackRgb8Avx2;
        pack.SequentialSub = Channels == 4 ? &PackRgba8SubAvx2 : &PackRgb8SubAvx2;
    }
#endif
    return pack;
}

} // namespace

TRowPack SelectRowPack(std::uint8_t colorType, std::uint8_t bitDepth, const std::uint8_t* gamma) {
    if (!IsAllowedDepth(colorType, bitDepth)) return {};
    const TColorTypeInfo& info = ColorTypeInfo(colorType);
    const bool wide = bitDepth == 16;
    if (!info.IndexedRows) { // colour, with or without alpha
        const bool table = !pngrow::IsIdentity(gamma);
        if (info.HasAlpha) return wide ? ColourPackFor<4, 16>(table) : ColourPackFor<4, 8>(table);
        return wide ? ColourPackFor<3, 16>(table) : ColourPackFor<3, 8>(table);
    }
    if (info.HasAlpha)
        return wide ? TRowPack{&PackGrayAlpha<16, true>, &PackGrayAlpha<16, false>}
                    : TRowPack{&PackGrayAlpha<8, true>, &PackGrayAlpha<8, false>};
    switch (bitDepth) { // gray or palette indices
    case 1: return {&PackIndices<1, true>, &PackIndices<1, false>};
    case 2: // held as 4-bit rows
    case 4: return {&PackIndices<4, true>, &PackIndices<4, false>};
    case 8: return {&PackIndices<8, true>, &PackIndices<8, false>};
    default: return {&PackGray16<true>, &PackGray16<false>}; // 16 bits, gray only
    }
}
