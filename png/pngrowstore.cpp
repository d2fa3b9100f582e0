#include "png/pngrowstore.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "png/pngformat.h"
#include "png/pngrowcommon.h"
#include "png/pngsimd.h"

namespace {

using u8 = std::uint8_t;

using pngrow::Column;
using pngrow::G;

// Gray or palette indices of 1, 4 or 8 bits, packed from the most significant bit.
template <int Depth, bool Step1>
void StorePacked(const TRowStoreArgs& args, const u8* src, u8* pixels, u8*, u8*, std::int32_t start,
                 std::int32_t step, std::int32_t count) {
    if constexpr (Step1) {
        std::memcpy(pixels, src, static_cast<std::size_t>(args.RowLength));
    } else {
        constexpr int mask = (1 << Depth) - 1;
        for (std::int32_t k = 0; k < count; ++k) {
            const std::int32_t sbit = k * Depth;
            const int v = (src[sbit >> 3] >> (8 - Depth - (sbit & 7))) & mask;
            const std::int32_t dbit = (start + k * step) * Depth;
            pixels[dbit >> 3] = static_cast<u8>(pixels[dbit >> 3] | (v << (8 - Depth - (dbit & 7))));
        }
    }
}

// 2-bit samples held as 4-bit indices: gray level v becomes 5v (v written twice), a palette index
// stays v.
template <bool Gray, bool Step1>
void Store2Bit(const TRowStoreArgs&, const u8* src, u8* pixels, u8*, u8*, std::int32_t start,
               std::int32_t step, std::int32_t count) {
    auto index = [](int v) { return Gray ? (v << 2) | v : v; };
    if constexpr (Step1) {
        // Each source byte (four pixels) gives two row bytes.
        const std::int32_t bytes = (count + 3) / 4;
        for (std::int32_t i = 0; i < bytes; ++i) {
            const int b = src[i];
            pixels[2 * i] = static_cast<u8>((index((b >> 6) & 3) << 4) | index((b >> 4) & 3));
            pixels[2 * i + 1] = static_cast<u8>((index((b >> 2) & 3) << 4) | index(b & 3));
        }
    } else {
        for (std::int32_t k = 0; k < count; ++k) {
            const int v = (src[k >> 2] >> (6 - 2 * (k & 3))) & 3;
            const std::int32_t c = start + k * step;
            pixels[c >> 1] = static_cast<u8>(pixels[c >> 1] | (index(v) << ((c & 1) ? 0 : 4)));
        }
    }
}

template <bool Step1>
void StoreGray16(const TRowStoreArgs&, const u8* src, u8* pixels, u8* low, u8*, std::int32_t start,
                 std::int32_t step, std::int32_t count) {
    for (std::int32_t k = 0; k < count; ++k) {
        const std::int32_t c = Column<Step1>(start, step, k);
        pixels[c] = src[2 * k];
        low[c] = src[2 * k + 1];
    }
}

// Colour samples of 8 bits, with (Channels 4) or without (3) alpha: blue, green, red through the
// gamma table, alpha unchanged.
template <int Channels, bool UseTable, bool Step1>
void StoreColour8(const TRowStoreArgs& args, const u8* src, u8* pixels, u8*, u8* alpha, std::int32_t start,
                  std::int32_t step, std::int32_t count) {
    const u8* g = args.Gamma;
    for (std::int32_t k = 0; k < count; ++k) {
        const std::int32_t c = Column<Step1>(start, step, k);
        const u8* s = src + Channels * k;
        u8* d = pixels + 3 * c;
        d[0] = G<UseTable>(g, s[2]);
        d[1] = G<UseTable>(g, s[1]);
        d[2] = G<UseTable>(g, s[0]);
        if constexpr (Channels == 4) alpha[c] = s[3];
    }
}

// Colour samples of 16 bits: high bytes into the pixel row, low bytes into the low-byte plane,
// both through the gamma table; the alpha plane takes the alpha's high byte.
template <int Channels, bool UseTable, bool Step1>
void StoreColour16(const TRowStoreArgs& args, const u8* src, u8* pixels, u8* low, u8* alpha,
                   std::int32_t start, std::int32_t step, std::int32_t count) {
    const u8* g = args.Gamma;
    for (std::int32_t k = 0; k < count; ++k) {
        const std::int32_t c = Column<Step1>(start, step, k);
        const u8* s = src + 2 * Channels * k;
        u8* d = pixels + 3 * c;
        u8* l = low + 3 * c;
        d[0] = G<UseTable>(g, s[4]);
        d[1] = G<UseTable>(g, s[2]);
        d[2] = G<UseTable>(g, s[0]);
        l[0] = G<UseTable>(g, s[5]);
        l[1] = G<UseTable>(g, s[3]);
        l[2] = G<UseTable>(g, s[1]);
        if constexpr (Channels == 4) alpha[c] = s[6];
    }
}

#if defined(__x86_64__) || defined(__i386__)
// Colour without a gamma lookup, whole pixels at a time (AVX2 level): bytes shuffled into
// blue, green, red and alpha. Each step writes a few bytes past its pixels that the next step
// overwrites; the last pixels go through the plain loop, so nothing is written past the row.
__attribute__((target("avx2"))) void StoreRgba8Avx2(const u8* src, u8* pixels, u8* alpha,
                                                    std::int32_t count) {
    // Within each 16-byte lane: four pixels' blue, green, red, then their four alphas.
    const __m256i order =
        _mm256_broadcastsi128_si256(_mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, 3, 7, 11, 15));
    // The lanes' 12 colour bytes side by side, then the lanes' alphas.
    const __m256i gather = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7);
    std::int32_t k = 0;
    for (; k + 11 <= count; k += 8) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 4 * k));
        const __m256i out = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(v, order), gather);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels + 3 * k), out);
        const auto alphas = static_cast<std::uint64_t>(_mm256_extract_epi64(out, 3));
        std::memcpy(alpha + k, &alphas, 8);
    }
    for (; k < count; ++k) {
        const u8* s = src + 4 * k;
        u8* d = pixels + 3 * k;
        d[0] = s[2];
        d[1] = s[1];
        d[2] = s[0];
        alpha[k] = s[3];
    }
}

__attribute__((target("avx2"))) void StoreRgb8Avx2(const u8* src, u8* pixels, std::int32_t count) {
    const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 12, 13, 14, 15);
    std::int32_t k = 0;
    // 16 bytes read and written per four pixels: two more pixels must follow.
    for (; k + 6 <= count; k += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * k));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + 3 * k), _mm_shuffle_epi8(v, order));
    }
    for (; k < count; ++k) {
        const u8* s = src + 3 * k;
        u8* d = pixels + 3 * k;
        d[0] = s[2];
        d[1] = s[1];
        d[2] = s[0];
    }
}

// 16-bit RGB: four pixels (24 bytes) from two overlapping loads, high bytes to the pixel row and
// low bytes to the low-byte plane, each in blue, green, red order.
__attribute__((target("avx2"))) void StoreRgb16Avx2(const u8* src, u8* pixels, u8* low, std::int32_t count) {
    constexpr char z = -128; // the shuffle's zero
    const __m128i highFirst = _mm_setr_epi8(4, 2, 0, 10, 8, 6, z, 14, 12, z, z, z, z, z, z, z);
    const __m128i highSecond = _mm_setr_epi8(z, z, z, z, z, z, 8, z, z, 14, 12, 10, z, z, z, z);
    const __m128i lowFirst = _mm_setr_epi8(5, 3, 1, 11, 9, 7, z, 15, 13, z, z, z, z, z, z, z);
    const __m128i lowSecond = _mm_setr_epi8(z, z, z, z, z, z, 9, z, z, 15, 13, 11, z, z, z, z);
    std::int32_t k = 0;
    for (; k + 6 <= count; k += 4) {
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 6 * k));
        const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 6 * k + 8));
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(pixels + 3 * k),
            _mm_or_si128(_mm_shuffle_epi8(first, highFirst), _mm_shuffle_epi8(second, highSecond)));
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(low + 3 * k),
            _mm_or_si128(_mm_shuffle_epi8(first, lowFirst), _mm_shuffle_epi8(second, lowSecond)));
    }
    for (; k < count; ++k) {
        const u8* s = src + 6 * k;
        for (int c = 0; c < 3; ++c) {
            pixels[3 * k + c] = s[4 - 2 * c];
            low[3 * k + c] = s[5 - 2 * c];
        }
    }
}

// Merges the colour bytes of sixteen columns (48 bytes: low and high) and their alpha bytes into a
// row where the masks are set; the other bytes keep the row's values.
__attribute__((target("avx2"))) inline void MergeSixteenColumns(u8* d, u8* a, __m256i low, __m256i lowMask,
                                                                __m128i high, __m128i highMask,
                                                                __m128i alphas, __m128i alphaMask) {
    const __m256i row = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), _mm256_blendv_epi8(row, low, lowMask));
    const __m128i rowHigh = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + 32));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 32), _mm_blendv_epi8(rowHigh, high, highMask));
    const __m128i rowAlpha = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(a), _mm_blendv_epi8(rowAlpha, alphas, alphaMask));
}

// Every other column of a row (the Adam7 passes of step 2), eight pixels per step: the pixels'
// blue, green and red shuffled into the 48 bytes of sixteen columns, their alphas into sixteen
// alpha bytes, each merged with the columns between them, which belong to other passes. A step
// reads and writes one column past its last pixel, so the last pixels are left to the plain loop:
// the result is the count of pixels stored.
__attribute__((target("avx2"))) std::int32_t StoreRgba8Step2Avx2(const u8* src, u8* pixels, u8* alpha,
                                                                 std::int32_t count) {
    constexpr char z = -128; // the shuffle's zero: bytes the blend leaves to the row
    // Bytes 0-31 of the columns: pixels 0-2 in the low lane, 3-5 in the high one (after the
    // permutation below), and bytes 32-47 from pixels 4-7 as loaded.
    const __m256i spread = _mm256_setr_epi32(0, 1, 2, 0, 3, 4, 5, 0);
    const __m256i orderLow = _mm256_setr_epi8(2, 1, 0, z, z, z, 6, 5, 4, z, z, z, 10, 9, 8, z, //
                                              z, z, 2, 1, 0, z, z, z, 6, 5, 4, z, z, z, 10, 9);
    const __m256i mineLow = _mm256_setr_epi8(-1, -1, -1, 0, 0, 0, -1, -1, -1, 0, 0, 0, -1, -1, -1, 0, //
                                             0, 0, -1, -1, -1, 0, 0, 0, -1, -1, -1, 0, 0, 0, -1, -1);
    const __m128i orderHigh = _mm_setr_epi8(4, z, z, z, 10, 9, 8, z, z, z, 14, 13, 12, z, z, z);
    const __m128i mineHigh = _mm_setr_epi8(-1, 0, 0, 0, -1, -1, -1, 0, 0, 0, -1, -1, -1, 0, 0, 0);
    // Alphas to the even bytes: pixels 0-3 from the low lane, 4-7 from the high one.
    const __m256i alphaOrder = _mm256_setr_epi8(3, z, 7, z, 11, z, 15, z, z, z, z, z, z, z, z, z, //
                                                z, z, z, z, z, z, z, z, 3, z, 7, z, 11, z, 15, z);
    const __m128i alphaMine = _mm_set1_epi16(0x00FF);
    std::int32_t k = 0;
    for (; k + 9 <= count; k += 8) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 4 * k));
        const __m256i alphas = _mm256_shuffle_epi8(v, alphaOrder);
        MergeSixteenColumns(pixels + 6 * k, alpha + 2 * k,
                            _mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(v, spread), orderLow), mineLow,
                            _mm_shuffle_epi8(_mm256_extracti128_si256(v, 1), orderHigh), mineHigh,
                            _mm_or_si128(_mm256_castsi256_si128(alphas), _mm256_extracti128_si256(alphas, 1)),
                            alphaMine);
    }
    return k;
}

// Every fourth column (the Adam7 passes of step 4), four pixels per step into the 48 bytes of
// sixteen columns and their sixteen alpha bytes.
__attribute__((target("avx2"))) std::int32_t StoreRgba8Step4Avx2(const u8* src, u8* pixels, u8* alpha,
                                                                 std::int32_t count) {
    constexpr char z = -128;
    // Bytes 0-31 of the columns (pixels 0 and 1, then 2) and bytes 32-47 (pixel 3).
    const __m256i orderLow = _mm256_setr_epi8(2, 1, 0, z, z, z, z, z, z, z, z, z, 6, 5, 4, z, //
                                              z, z, z, z, z, z, z, z, 10, 9, 8, z, z, z, z, z);
    const __m256i mineLow = _mm256_setr_epi8(-1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, -1, -1, -1, 0, //
                                             0, 0, 0, 0, 0, 0, 0, 0, -1, -1, -1, 0, 0, 0, 0, 0);
    const __m128i orderHigh = _mm_setr_epi8(z, z, z, z, 14, 13, 12, z, z, z, z, z, z, z, z, z);
    const __m128i mineHigh = _mm_setr_epi8(0, 0, 0, 0, -1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m128i alphaOrder = _mm_setr_epi8(3, z, z, z, 7, z, z, z, 11, z, z, z, 15, z, z, z);
    const __m128i alphaMine = _mm_set1_epi32(0xFF);
    std::int32_t k = 0;
    for (; k + 5 <= count; k += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * k));
        MergeSixteenColumns(
            pixels + 12 * k, alpha + 4 * k, _mm256_shuffle_epi8(_mm256_broadcastsi128_si256(v), orderLow),
            mineLow, _mm_shuffle_epi8(v, orderHigh), mineHigh, _mm_shuffle_epi8(v, alphaOrder), alphaMine);
    }
    return k;
}

// The vector routines serve every row whose pixels are contiguous: sequential rows and the
// interlaced passes that take every column; and RGBA rows of every second or fourth column.
template <int Channels, bool Step1>
void StoreColour16Avx2(const TRowStoreArgs& args, const u8* src, u8* pixels, u8* low, u8* alpha,
                       std::int32_t start, std::int32_t step, std::int32_t count) {
    if (!Step1 && step != 1)
        return StoreColour16<Channels, false, false>(args, src, pixels, low, alpha, start, step, count);
    const std::int32_t first = Step1 ? 0 : start;
    StoreRgb16Avx2(src, pixels + 3 * first, low + 3 * first, count);
}

template <int Channels, bool Step1>
void StoreColour8Avx2(const TRowStoreArgs& args, const u8* src, u8* pixels, u8* low, u8* alpha,
                      std::int32_t start, std::int32_t step, std::int32_t count) {
    if constexpr (!Step1 && Channels == 4)
        if (step == 2 || step == 4) {
            const std::int32_t done = (step == 2 ? StoreRgba8Step2Avx2 : StoreRgba8Step4Avx2)(
                src, pixels + 3 * start, alpha + start, count);
            return StoreColour8<Channels, false, false>(args, src + 4 * done, pixels, low, alpha,
                                                        start + done * step, step, count - done);
        }
    if (!Step1 && step != 1)
        return StoreColour8<Channels, false, false>(args, src, pixels, low, alpha, start, step, count);
    const std::int32_t first = Step1 ? 0 : start;
    if constexpr (Channels == 4)
        StoreRgba8Avx2(src, pixels + 3 * first, alpha + first, count);
    else
        StoreRgb8Avx2(src, pixels + 3 * first, count);
}
#endif

template <bool Step1>
void StoreGrayAlpha8(const TRowStoreArgs&, const u8* src, u8* pixels, u8*, u8* alpha, std::int32_t start,
                     std::int32_t step, std::int32_t count) {
    for (std::int32_t k = 0; k < count; ++k) {
        const std::int32_t c = Column<Step1>(start, step, k);
        pixels[c] = src[2 * k];
        alpha[c] = src[2 * k + 1];
    }
}

template <bool Step1>
void StoreGrayAlpha16(const TRowStoreArgs&, const u8* src, u8* pixels, u8* low, u8* alpha, std::int32_t start,
                      std::int32_t step, std::int32_t count) {
    for (std::int32_t k = 0; k < count; ++k) {
        const std::int32_t c = Column<Step1>(start, step, k);
        pixels[c] = src[4 * k];
        low[c] = src[4 * k + 1];
        alpha[c] = src[4 * k + 2];
    }
}

// The sequential and interlaced instances of a colour routine, with or without the gamma lookup.
#define COLOUR_STORE(Routine, channels, table)                                                               \
    TRowStore {                                                                                              \
        &Routine<channels, table, true>, &Routine<channels, table, false>                                    \
    }

} // namespace

TRowStore SelectRowStore(std::uint8_t colorType, std::uint8_t bitDepth, const std::uint8_t* gamma) {
    if (!IsAllowedDepth(colorType, bitDepth)) return {};
    const TColorTypeInfo& info = ColorTypeInfo(colorType);
    const bool wide = bitDepth == 16;
    if (!info.IndexedRows) { // colour, with or without alpha
        const bool table = !pngrow::IsIdentity(gamma);
#if defined(__x86_64__) || defined(__i386__)
        if (wide && !table && !info.HasAlpha && ActiveSimdLevel() >= TSimdLevel::AVX2)
            return TRowStore{&StoreColour16Avx2<3, true>, &StoreColour16Avx2<3, false>};
        if (!wide && !table && ActiveSimdLevel() >= TSimdLevel::AVX2)
            return info.HasAlpha ? TRowStore{&StoreColour8Avx2<4, true>, &StoreColour8Avx2<4, false>}
                                 : TRowStore{&StoreColour8Avx2<3, true>, &StoreColour8Avx2<3, false>};
#endif
        if (info.HasAlpha)
            return wide
                       ? (table ? COLOUR_STORE(StoreColour16, 4, true)
                                : COLOUR_STORE(StoreColour16, 4, false))
                       : (table ? COLOUR_STORE(StoreColour8, 4, true) : COLOUR_STORE(StoreColour8, 4, false));
        return wide ? (table ? COLOUR_STORE(StoreColour16, 3, true) : COLOUR_STORE(StoreColour16, 3, false))
                    : (table ? COLOUR_STORE(StoreColour8, 3, true) : COLOUR_STORE(StoreColour8, 3, false));
    }
    if (info.HasAlpha)
        return wide ? TRowStore{&StoreGrayAlpha16<true>, &StoreGrayAlpha16<false>}
                    : TRowStore{&StoreGrayAlpha8<true>, &StoreGrayAlpha8<false>};
    switch (bitDepth) { // gray or palette indices
    case 1: return {&StorePacked<1, true>, &StorePacked<1, false>};
    case 2:
        return info.HasPalette ? TRowStore{&Store2Bit<false, true>, &Store2Bit<false, false>}
                               : TRowStore{&Store2Bit<true, true>, &Store2Bit<true, false>};
    case 4: return {&StorePacked<4, true>, &StorePacked<4, false>};
    case 8: return {&StorePacked<8, true>, &StorePacked<8, false>};
    default: return {&StoreGray16<true>, &StoreGray16<false>}; // 16 bits, gray only
    }
}
