#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "png/pngidat.h"
#include "png/pngobject.h"
#include "png/pngsimd.h"

namespace {

using u8 = std::uint8_t;

// Each filter loop is instantiated per filter distance so the compiler sees a constant stride.
template <int D>
void UnfilterSub(u8* r, std::int32_t length) {
    for (std::int32_t i = D + 1; i <= length; ++i)
        r[i] = static_cast<u8>(r[i] + r[i - D]);
}

void UnfilterUp(u8* r, const u8* p, std::int32_t length) {
    for (std::int32_t i = 1; i <= length; ++i)
        r[i] = static_cast<u8>(r[i] + p[i]);
}

template <int D>
void UnfilterAverage(u8* r, const u8* p, std::int32_t length) {
    const std::int32_t head = length < D ? length : D;
    for (std::int32_t i = 1; i <= head; ++i)
        r[i] = static_cast<u8>(r[i] + (p[i] >> 1));
    for (std::int32_t i = D + 1; i <= length; ++i)
        r[i] = static_cast<u8>(r[i] + ((p[i] + r[i - D]) >> 1));
}

template <int D>
void UnfilterPaeth(u8* r, const u8* p, std::int32_t length) {
    // With a and c both 0 the predictor is b: the first pixel is the Up filter.
    const std::int32_t head = length < D ? length : D;
    for (std::int32_t i = 1; i <= head; ++i)
        r[i] = static_cast<u8>(r[i] + p[i]);
    for (std::int32_t i = D + 1; i <= length; ++i) {
        const int a = r[i - D];
        const int b = p[i];
        const int c = p[i - D];
        const int pa = std::abs(b - c);
        const int pb = std::abs(a - c);
        const int pc = std::abs(a + b - 2 * c);
        const int predictor = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
        r[i] = static_cast<u8>(r[i] + predictor);
    }
}

// The plain routine of a distance; compiled on every target.
template <int D>
void UnfilterWith(u8* r, const u8* p, std::int32_t length, std::int32_t) {
    switch (r[0]) {
    case pfSub: UnfilterSub<D>(r, length); break;
    case pfUp: UnfilterUp(r, p, length); break;
    case pfAverage: UnfilterAverage<D>(r, p, length); break;
    case pfPaeth: UnfilterPaeth<D>(r, p, length); break;
    default: break; // None, and unknown types, leave the row as it is
    }
}

#if defined(__SSE2__)
// Pixels of 3 to 8 bytes: the filters that depend on the left neighbour run one pixel at a time,
// with the pixel's bytes side by side in 16-bit lanes, which does the work of a whole pixel per
// step. A pixel's bytes in a register, built from whole loads and stores of 1, 2, 4 or 8 bytes: a copy of
// 3 or 6 bytes through memory would stall on store forwarding at every pixel.
template <int D>
inline std::uint64_t LoadBytes(const u8* p) {
    std::uint16_t w16;
    std::uint32_t w32;
    std::uint64_t w64;
    if constexpr (D == 3) {
        std::memcpy(&w16, p, 2);
        return w16 | (std::uint64_t{p[2]} << 16);
    } else if constexpr (D == 4) {
        std::memcpy(&w32, p, 4);
        return w32;
    } else if constexpr (D == 6) {
        std::memcpy(&w32, p, 4);
        std::memcpy(&w16, p + 4, 2);
        return w32 | (std::uint64_t{w16} << 32);
    } else {
        static_assert(D == 8);
        std::memcpy(&w64, p, 8);
        return w64;
    }
}

template <int D>
inline void StoreBytes(u8* p, std::uint64_t v) {
    const auto w16 = static_cast<std::uint16_t>(v);
    const auto w32 = static_cast<std::uint32_t>(v);
    if constexpr (D == 3) {
        std::memcpy(p, &w16, 2);
        p[2] = static_cast<u8>(v >> 16);
    } else if constexpr (D == 4) {
        std::memcpy(p, &w32, 4);
    } else if constexpr (D == 6) {
        const auto high = static_cast<std::uint16_t>(v >> 32);
        std::memcpy(p, &w32, 4);
        std::memcpy(p + 4, &high, 2);
    } else {
        std::memcpy(p, &v, 8);
    }
}

template <int D>
inline __m128i LoadPixel(const u8* p) {
    return _mm_unpacklo_epi8(_mm_cvtsi64_si128(static_cast<long long>(LoadBytes<D>(p))), _mm_setzero_si128());
}

// A pixel's bytes in 16-bit lanes from one 8-byte load, which reads up to 5 bytes past the pixel
// (the callers' rows allow for that); the lanes past the pixel hold bytes that are never stored.
__attribute__((target("avx2"))) inline __m128i LoadWidePixel(const u8* p) {
    return _mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}

// Stores a pixel whose lanes hold bytes (high bytes zero).
template <int D>
inline void StoreBytePixel(u8* p, __m128i v) {
    StoreBytes<D>(p, static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_packus_epi16(v, _mm_setzero_si128()))));
}

template <int D>
inline void StorePixel(u8* p, __m128i v) {
    StoreBytePixel<D>(p, _mm_and_si128(v, _mm_set1_epi16(0xFF)));
}

inline __m128i Abs16(__m128i v) {
    return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
}

template <int D>
void SubPixels(u8* r, std::int32_t length) {
    __m128i a = _mm_setzero_si128();
    for (std::int32_t i = 1; i + D - 1 <= length; i += D) {
        a = _mm_add_epi16(LoadPixel<D>(r + i), a);
        StorePixel<D>(r + i, a);
        a = _mm_and_si128(a, _mm_set1_epi16(0xFF));
    }
}

template <int D>
void AveragePixels(u8* r, const u8* p, std::int32_t length) {
    __m128i a = _mm_setzero_si128();
    for (std::int32_t i = 1; i + D - 1 <= length; i += D) {
        const __m128i b = LoadPixel<D>(p + i);
        a = _mm_and_si128(_mm_add_epi16(LoadPixel<D>(r + i), _mm_srli_epi16(_mm_add_epi16(a, b), 1)),
                          _mm_set1_epi16(0xFF));
        StorePixel<D>(r + i, a);
    }
}

template <int D>
void PaethPixels(u8* r, const u8* p, std::int32_t length) {
    __m128i a = _mm_setzero_si128();
    __m128i c = _mm_setzero_si128();
    for (std::int32_t i = 1; i + D - 1 <= length; i += D) {
        const __m128i b = LoadPixel<D>(p + i);
        const __m128i pa = Abs16(_mm_sub_epi16(b, c));
        const __m128i pb = Abs16(_mm_sub_epi16(a, c));
        const __m128i pc = Abs16(_mm_sub_epi16(_mm_add_epi16(a, b), _mm_add_epi16(c, c)));
        // b unless pc is smaller than pb; then a unless pa exceeds the smaller of pb and pc.
        const __m128i useC = _mm_cmpgt_epi16(pb, pc);
        const __m128i bc = _mm_or_si128(_mm_and_si128(useC, c), _mm_andnot_si128(useC, b));
        const __m128i notA = _mm_cmpgt_epi16(pa, _mm_min_epi16(pb, pc));
        const __m128i predictor = _mm_or_si128(_mm_and_si128(notA, bc), _mm_andnot_si128(notA, a));
        a = _mm_and_si128(_mm_add_epi16(LoadPixel<D>(r + i), predictor), _mm_set1_epi16(0xFF));
        StorePixel<D>(r + i, a);
        c = b;
    }
}

// The AVX2 level's Paeth and Average: the same steps with fewer instructions on the chain that runs
// from one pixel to the next. With x = a - c and d = b - c: pa = |d|, pb = |x|, pc = |x + d|, so only
// x, its two absolute values and the selection wait for the left neighbour. The sum of the filtered
// byte and the predictor wraps in the low byte of each lane (paddb), which keeps the high byte zero
// without a mask.
struct TAverageStep {
    __attribute__((target("avx2"))) static __m128i Run(__m128i raw, __m128i a, __m128i b, __m128i) {
        return _mm_add_epi8(raw, _mm_srli_epi16(_mm_add_epi16(a, b), 1));
    }
};

struct TPaethStep {
    __attribute__((target("avx2"))) static __m128i Run(__m128i raw, __m128i a, __m128i b, __m128i c) {
        return _mm_add_epi8(raw, Predictor(a, b, c));
    }
    __attribute__((target("avx2"))) static __m128i Predictor(__m128i a, __m128i b, __m128i c) {
        const __m128i d = _mm_sub_epi16(b, c);
        const __m128i pa = _mm_abs_epi16(d);
        const __m128i x = _mm_sub_epi16(a, c);
        const __m128i pb = _mm_abs_epi16(x);
        const __m128i pc = _mm_abs_epi16(_mm_add_epi16(x, d));
        const __m128i bc = _mm_blendv_epi8(b, c, _mm_cmpgt_epi16(pb, pc));
        return _mm_blendv_epi8(a, bc, _mm_cmpgt_epi16(pa, _mm_min_epi16(pb, pc)));
    }
};

// One row of Average or Paeth, pixel by pixel.
template <int D, class Step>
__attribute__((target("avx2"))) void RowPixelsAvx2(u8* r, const u8* p, std::int32_t length) {
    __m128i a = _mm_setzero_si128();
    __m128i c = _mm_setzero_si128();
    for (std::int32_t i = 1; i + D - 1 <= length; i += D) {
        const __m128i b = LoadWidePixel(p + i);
        a = Step::Run(LoadWidePixel(r + i), a, b, c);
        StoreBytePixel<D>(r + i, a);
        c = b;
    }
}

// Two successive rows at once: the second row's pixel needs only the first row's pixel at the same
// column (just computed, still in a register) and the one before it, so the two chains from pixel to
// pixel run side by side and the processor overlaps them. Rows of Average and Paeth.
template <int D, class First, class Second>
__attribute__((target("avx2"))) void PairPixelsAvx2(u8* r1, u8* r2, const u8* p, std::int32_t length) {
    const __m128i zero = _mm_setzero_si128();
    __m128i a1 = zero, c1 = zero, a2 = zero;
    for (std::int32_t i = 1; i + D - 1 <= length; i += D) {
        const __m128i b1 = LoadWidePixel(p + i);
        const __m128i x1 = First::Run(LoadWidePixel(r1 + i), a1, b1, c1);
        StoreBytePixel<D>(r1 + i, x1);
        a2 = Second::Run(LoadWidePixel(r2 + i), a2, x1, a1);
        StoreBytePixel<D>(r2 + i, a2);
        a1 = x1;
        c1 = b1;
    }
}

// A 4 x 4 matrix of dwords, one row per register, transposed.
__attribute__((target("avx2"))) inline void Transpose4x4(__m128i (&v)[4]) {
    const __m128i a = _mm_unpacklo_epi32(v[0], v[1]), b = _mm_unpackhi_epi32(v[0], v[1]);
    const __m128i c = _mm_unpacklo_epi32(v[2], v[3]), d = _mm_unpackhi_epi32(v[2], v[3]);
    v[0] = _mm_unpacklo_epi64(a, c);
    v[1] = _mm_unpackhi_epi64(a, c);
    v[2] = _mm_unpacklo_epi64(b, d);
    v[3] = _mm_unpackhi_epi64(b, d);
}

// A row of Average or Paeth and D-byte pixels from byte from to byte to (1-based, the filter type
// at 0), in place, plainly: the start and end of the four-row wavefronts below.
template <int D>
void ChainedBytes(u8* r, const u8* p, std::int32_t from, std::int32_t to) {
    for (std::int32_t i = from; i < to; ++i) {
        const int a = i > D ? r[i - D] : 0;
        r[i] = static_cast<u8>(
            r[i] + (r[0] == pfAverage ? (a + p[i]) / 2 : PaethPredictor(a, p[i], i > D ? p[i - D] : 0)));
    }
}

// Four pixels of D bytes each to four dwords (3-byte pixels get a fourth byte that nothing uses),
// and back: the back way keeps the pixel bytes in the low 4 * D bytes.
template <int D>
__attribute__((target("avx2"))) inline __m128i ToDwords(__m128i v) {
    if constexpr (D == 3)
        return _mm_shuffle_epi8(v, _mm_setr_epi8(0, 1, 2, 2, 3, 4, 5, 5, 6, 7, 8, 8, 9, 10, 11, 11));
    return v;
}

template <int D>
__attribute__((target("avx2"))) inline void StoreFromDwords(u8* at, __m128i v) {
    if constexpr (D == 3) {
        v = _mm_shuffle_epi8(v, _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(at), v);
        const auto high = static_cast<std::uint32_t>(_mm_extract_epi32(v, 2));
        std::memcpy(at + 8, &high, 4);
    } else {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at), v);
    }
}

inline std::int32_t PixelAt(const u8* at) {
    std::int32_t v;
    std::memcpy(&v, at, 4);
    return v;
}

// Four successive rows of Average or Paeth and D-byte pixels as a skewed wavefront: row k runs k
// pixels behind row k - 1, so a step holds a pixel of each row, and each pixel's neighbours above
// and to the left come from the step before. The rows are loaded and stored four pixels at a time
// and transposed into four steps (a dword per row). The front starts once row k is at pixel 3 - k;
// Front holds its registers and runs the steps. Loads of 3-byte pixels read 4 bytes past the last.
template <int D, class Front>
__attribute__((target("avx2"))) void QuadRowsAvx2(u8* r0, std::ptrdiff_t pitch, const u8* p,
                                                  std::int32_t length) {
    u8* const rows[4] = {r0, r0 + pitch, r0 + 2 * pitch, r0 + 3 * pitch};
    const std::int32_t pixels = length / D;
    if (length % D != 0 || pixels < 7) { // too short for the front to start
        for (int k = 0; k < 4; ++k)
            ChainedBytes<D>(rows[k], k == 0 ? p : rows[k - 1], 1, length + 1);
        return;
    }
    for (int k = 0; k < 3; ++k)
        ChainedBytes<D>(rows[k], k == 0 ? p : rows[k - 1], 1, 1 + D * (3 - k));
    // Each row's last finished pixel and the pixels above them.
    const __m128i last =
        _mm_setr_epi32(PixelAt(rows[0] + 1 + 2 * D), PixelAt(rows[1] + 1 + D), PixelAt(rows[2] + 1), 0);
    const __m128i above =
        _mm_setr_epi32(PixelAt(p + 1 + 2 * D), PixelAt(rows[0] + 1 + D), PixelAt(rows[1] + 1), 0);
    Front front(rows, last, above);
    std::int32_t s = 3; // row k is at pixel s - k
    for (; s + 4 <= pixels; s += 4) {
        __m128i v[4];
        for (int k = 0; k < 4; ++k)
            v[k] = ToDwords<D>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k] + 1 + D * (s - k))));
        Transpose4x4(v);
        front.Steps(v, ToDwords<D>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1 + D * s))));
        Transpose4x4(v);
        for (int k = 0; k < 4; ++k)
            StoreFromDwords<D>(rows[k] + 1 + D * (s - k), v[k]);
    }
    // Each row from where the front left it, the row above now complete.
    for (int k = 0; k < 4; ++k)
        ChainedBytes<D>(rows[k], k == 0 ? p : rows[k - 1], 1 + D * (s - k), length + 1);
}

// Average in bytes, the sums kept complemented: from ~a and ~b, pavgb gives ~((a + b) / 2), and
// ~result = that - filtered byte, so a step is three instructions on the chain.
struct TAverageFront {
    __m128i Ones, Last; // Last: each row's last finished pixel (row 3 has none: zero), complemented

    __attribute__((target("avx2"))) TAverageFront(u8* const (&)[4], __m128i last, __m128i)
        : Ones(_mm_set1_epi8(-1)), Last(_mm_xor_si128(last, Ones)) {}

    // v: the filtered bytes of four steps, made the unfiltered ones; above: row 0's pixels above.
    __attribute__((target("avx2"))) void Steps(__m128i (&v)[4], __m128i above) {
        const __m128i up = _mm_xor_si128(above, Ones);
        // Row 0's pixel above comes from the top dword, the other rows' from the row before.
        const __m128i tops[4] = {_mm_slli_si128(up, 12), _mm_slli_si128(up, 8), _mm_slli_si128(up, 4), up};
        for (int t = 0; t < 4; ++t) {
            Last = _mm_sub_epi8(_mm_avg_epu8(Last, _mm_alignr_epi8(Last, tops[t], 12)), v[t]);
            v[t] = _mm_xor_si128(Last, Ones);
        }
    }
};

// Paeth and Average in 16-bit lanes, rows 0 and 1 in one register and rows 2 and 3 in another; the
// pixel above and to the left is the step before's pixel above. Each row's lanes take Paeth's
// predictor or the average by the row's filter type.
struct TChainedFront {
    __m128i Zero, AverageA, AverageB, LastA, LastB, AboveA, AboveB;

    __attribute__((target("avx2"))) TChainedFront(u8* const (&rows)[4], __m128i last, __m128i above)
        : Zero(_mm_setzero_si128()),
          AverageA(_mm_set_epi64x(rows[1][0] == pfAverage ? -1 : 0, rows[0][0] == pfAverage ? -1 : 0)),
          AverageB(_mm_set_epi64x(rows[3][0] == pfAverage ? -1 : 0, rows[2][0] == pfAverage ? -1 : 0)),
          LastA(_mm_cvtepu8_epi16(last)), LastB(_mm_unpackhi_epi8(last, Zero)),
          AboveA(_mm_cvtepu8_epi16(above)), AboveB(_mm_unpackhi_epi8(above, Zero)) {}

    __attribute__((target("avx2"))) static __m128i Step(__m128i raw, __m128i a, __m128i b, __m128i c,
                                                        __m128i average) {
        const __m128i mean = _mm_srli_epi16(_mm_add_epi16(a, b), 1);
        return _mm_add_epi8(raw, _mm_blendv_epi8(TPaethStep::Predictor(a, b, c), mean, average));
    }

    __attribute__((target("avx2"))) void Steps(__m128i (&v)[4], __m128i above) {
        const __m128i upFirst = _mm_cvtepu8_epi16(above), upSecond = _mm_unpackhi_epi8(above, Zero);
        const __m128i tops[4] = {_mm_slli_si128(upFirst, 8), upFirst, _mm_slli_si128(upSecond, 8), upSecond};
        for (int t = 0; t < 4; ++t) {
            const __m128i b = _mm_alignr_epi8(LastA, tops[t], 8), d = _mm_alignr_epi8(LastB, LastA, 8);
            LastA = Step(_mm_cvtepu8_epi16(v[t]), LastA, b, AboveA, AverageA);
            LastB = Step(_mm_unpackhi_epi8(v[t], Zero), LastB, d, AboveB, AverageB);
            AboveA = b;
            AboveB = d;
            v[t] = _mm_packus_epi16(LastA, LastB);
        }
    }
};

// Four rows all of Average go the faster way in bytes.
template <int D>
__attribute__((target("avx2"))) void UnfilterQuadAvx2(u8* r0, std::ptrdiff_t pitch, const u8* p,
                                                      std::int32_t length) {
    if (r0[0] == pfAverage && r0[pitch] == pfAverage && r0[2 * pitch] == pfAverage &&
        r0[3 * pitch] == pfAverage)
        return QuadRowsAvx2<D, TAverageFront>(r0, pitch, p, length);
    QuadRowsAvx2<D, TChainedFront>(r0, pitch, p, length);
}

// Sub as a running sum, 16 bytes read per step: the step's B bytes of whole pixels (four pixels of
// 3 bytes, two of 6) are summed by shifted adds, then the last pixel of the step before is added to
// each. Only those B bytes are stored, so that the next step's read finds no store half over it
// (which would wait for the store to complete).
template <int Shift, int B>
inline __m128i RunningSum(__m128i v) {
    if constexpr (Shift >= B)
        return v;
    else
        return RunningSum<Shift * 2, B>(_mm_add_epi8(v, _mm_slli_si128(v, Shift)));
}

template <int D>
struct TSubCarry {
    static constexpr int B = D == 3 || D == 6 ? 12 : 16;
    // Shuffle: the step's last pixel into each pixel of the step.
    alignas(16) std::int8_t Order[16]{};
    constexpr TSubCarry() {
        for (int j = 0; j < 16; ++j)
            Order[j] = static_cast<std::int8_t>(j < B ? B - D + j % D : -128);
    }
};

template <int D>
__attribute__((target("avx2"))) void SubStepsAvx2(u8* r, std::int32_t length) {
    static constexpr TSubCarry<D> carry;
    constexpr int B = TSubCarry<D>::B;
    const __m128i carryOrder = _mm_load_si128(reinterpret_cast<const __m128i*>(carry.Order));
    __m128i last = _mm_setzero_si128(); // the previous step's last pixel, repeated
    std::int32_t i = 1;
    for (; i + 15 <= length; i += B) {
        const __m128i sum =
            _mm_add_epi8(RunningSum<D, B>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(r + i))), last);
        if constexpr (B == 16) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(r + i), sum);
        } else {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(r + i), sum);
            const auto high = static_cast<std::uint32_t>(_mm_extract_epi32(sum, 2));
            std::memcpy(r + i + 8, &high, 4);
        }
        last = _mm_shuffle_epi8(sum, carryOrder);
    }
    for (i = i > D ? i : D + 1; i <= length; ++i) // the rest byte by byte
        r[i] = static_cast<u8>(r[i] + r[i - D]);
}

template <int D>
__attribute__((target("avx2"))) void UnfilterPixelsAvx2(u8* r, const u8* p, std::int32_t length,
                                                        std::int32_t) {
    if (length % D != 0) return UnfilterWith<D>(r, p, length, D);
    switch (r[0]) {
    case pfSub: SubStepsAvx2<D>(r, length); break;
    case pfUp: UnfilterUp(r, p, length); break;
    case pfAverage: RowPixelsAvx2<D, TAverageStep>(r, p, length); break;
    case pfPaeth: RowPixelsAvx2<D, TPaethStep>(r, p, length); break;
    default: break;
    }
}

template <int D>
void UnfilterPixels(u8* r, const u8* p, std::int32_t length, std::int32_t) {
    if (length % D != 0) return UnfilterWith<D>(r, p, length, D); // not a whole number of pixels
    switch (r[0]) {
    case pfSub: SubPixels<D>(r, length); break;
    case pfUp: UnfilterUp(r, p, length); break;
    case pfAverage: AveragePixels<D>(r, p, length); break;
    case pfPaeth: PaethPixels<D>(r, p, length); break;
    default: break;
    }
}
#endif

#if defined(__SSE2__)
template <int D>
void UnfilterPairAvx2(u8* r1, u8* r2, const u8* p, std::int32_t length, std::int32_t) {
    const int kinds = (r1[0] == pfAverage ? 1
                       : r1[0] == pfPaeth ? 2
                                          : 0) *
                          3 +
                      (r2[0] == pfAverage ? 1
                       : r2[0] == pfPaeth ? 2
                                          : 0);
    if (length % D == 0) {
        switch (kinds) {
        case 4: return PairPixelsAvx2<D, TAverageStep, TAverageStep>(r1, r2, p, length);
        case 5: return PairPixelsAvx2<D, TAverageStep, TPaethStep>(r1, r2, p, length);
        case 7: return PairPixelsAvx2<D, TPaethStep, TAverageStep>(r1, r2, p, length);
        case 8: return PairPixelsAvx2<D, TPaethStep, TPaethStep>(r1, r2, p, length);
        default: break;
        }
    }
    UnfilterPixelsAvx2<D>(r1, p, length, D);
    UnfilterPixelsAvx2<D>(r2, r1, length, D);
}
#endif

// The vector routine of a distance when the level allows one, else the plain one.
template <int D>
TUnfilterRoutine Pick([[maybe_unused]] TSimdLevel level) {
#if defined(__SSE2__)
    if (level >= TSimdLevel::AVX2) return &UnfilterPixelsAvx2<D>;
    if (level >= TSimdLevel::SSE2) return &UnfilterPixels<D>;
#endif
    return &UnfilterWith<D>;
}

// Any other distance (not produced by valid formats) through a plain loop.
void UnfilterAny(u8* r, const u8* p, std::int32_t length, std::int32_t d) {
    for (std::int32_t i = 1; i <= length; ++i) {
        const int a = i > d ? r[i - d] : 0;
        const int c = i > d ? p[i - d] : 0;
        const int b = p[i];
        int add = 0;
        switch (r[0]) {
        case pfSub: add = a; break;
        case pfUp: add = b; break;
        case pfAverage: add = (a + b) >> 1; break;
        case pfPaeth: add = PaethPredictor(a, b, c); break;
        default: return;
        }
        r[i] = static_cast<u8>(r[i] + add);
    }
}

} // namespace

TUnfilterPairRoutine SelectUnfilterPair(std::int32_t distance) {
#if defined(__SSE2__)
    if (ActiveSimdLevel() >= TSimdLevel::AVX2) {
        switch (distance) {
        case 3: return &UnfilterPairAvx2<3>;
        case 4: return &UnfilterPairAvx2<4>;
        case 6: return &UnfilterPairAvx2<6>;
        case 8: return &UnfilterPairAvx2<8>;
        default: break;
        }
    }
#endif
    return nullptr;
}

TUnfilterQuadRoutine SelectUnfilterQuad([[maybe_unused]] std::int32_t distance) {
#if defined(__SSE2__)
    if (ActiveSimdLevel() >= TSimdLevel::AVX2) {
        if (distance == 3) return &UnfilterQuadAvx2<3>;
        if (distance == 4) return &UnfilterQuadAvx2<4>;
    }
#endif
    return nullptr;
}

TUnfilterRoutine SelectUnfilter(std::int32_t distance) {
    const TSimdLevel vector = ActiveSimdLevel();
    switch (distance) {
    case 1: return &UnfilterWith<1>;
    case 2: return &UnfilterWith<2>;
    case 3: return Pick<3>(vector);
    case 4: return Pick<4>(vector);
    case 6: return Pick<6>(vector);
    case 8: return Pick<8>(vector);
    default: return &UnfilterAny;
    }
}
