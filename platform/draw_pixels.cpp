// The raster operations of the drawing stand-in, on the shared pixel engine. A raster operation is
// reduced to result = ((D ^ dx) op (S ^ sx)) ^ rx with op one of copy/and/or/xor, and the source
// either the bitmap (converted into the destination's pixel format first) or a constant.
// Everything that depends on the formats and the operation is settled once per call: a templated
// routine per (source depth, destination depth, op) runs the loops, with no per-pixel dispatch.
// Operations work on whole pixel values: all 32 bits of 32-bit pixels, the fourth byte included
// (sources of other formats bring it as 0).
#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "platform/draw_internal.h"

namespace draw_internal {
namespace {

using pixels::ColourCache;
using pixels::ColourOf;
using pixels::DepthIndex;
using pixels::kDepths;
using pixels::Load;
using pixels::Pack;
using pixels::Store;
using pixels::ToFormat;

enum class Op { Copy, And, Or, Xor };
enum class Source { Bitmap, Brush, Black, White, AllOnes };

struct RopPlan {
    Op op = Op::Copy;
    Source source = Source::Bitmap;
    bool invertDst = false;
    bool invertSrc = false;
    bool invertResult = false;
};

bool PlanRop(DWORD rop, RopPlan& plan) {
    switch (rop) {
    case SRCCOPY: plan = {Op::Copy, Source::Bitmap, false, false, false}; return true;
    case SRCPAINT: plan = {Op::Or, Source::Bitmap, false, false, false}; return true;
    case SRCAND: plan = {Op::And, Source::Bitmap, false, false, false}; return true;
    case SRCINVERT: plan = {Op::Xor, Source::Bitmap, false, false, false}; return true;
    case SRCERASE: plan = {Op::And, Source::Bitmap, true, false, false}; return true;
    case NOTSRCCOPY: plan = {Op::Copy, Source::Bitmap, false, true, false}; return true;
    case NOTSRCERASE: plan = {Op::Or, Source::Bitmap, false, false, true}; return true;
    case MERGEPAINT: plan = {Op::Or, Source::Bitmap, false, true, false}; return true;
    case DSTINVERT: plan = {Op::Xor, Source::AllOnes, false, false, false}; return true;
    case PATCOPY: plan = {Op::Copy, Source::Brush, false, false, false}; return true;
    case BLACKNESS: plan = {Op::Copy, Source::Black, false, false, false}; return true;
    case WHITENESS: plan = {Op::Copy, Source::White, false, false, false}; return true;
    default: return false;
    }
}

// One axis of a transfer: which source pixel a destination pixel shows.
struct Axis {
    std::int64_t origin = 0; // destination run origin and direction
    bool backwards = false;
    std::int64_t count = 0;
    std::int64_t srcOrigin = 0;
    bool srcBackwards = false;
    std::int64_t srcCount = 0;
    bool rows = false;

    // The run index of pixel p, and the source pixel of run index d.
    std::int64_t Index(std::int64_t p) const { return backwards ? origin - 1 - p : p - origin; }
    std::int64_t At(std::int64_t d) const { return srcBackwards ? srcOrigin - 1 - d : srcOrigin + d; }
    std::int64_t Source(std::int64_t p) const { return At(SourceIndex(Index(p), srcCount, count, rows)); }
    // The source run indices [first, last] that pixel p gathers when shrinking: the pixels
    // between the one its neighbour shows and its own (columns show the last of their group,
    // rows the first).
    std::pair<std::int64_t, std::int64_t> Group(std::int64_t p) const {
        const std::int64_t d = Index(p);
        if (rows) {
            const std::int64_t next = d + 1 < count ? SourceIndex(d + 1, srcCount, count, true) : srcCount;
            return {SourceIndex(d, srcCount, count, true), next - 1};
        }
        return {d > 0 ? SourceIndex(d - 1, srcCount, count, false) + 1 : 0,
                SourceIndex(d, srcCount, count, false)};
    }
};

// A signed extent as a half-open range: a negative one covers origin + extent .. origin - 1, the
// pixels of the same rectangle with its corners given the other way round.
std::pair<std::int64_t, std::int64_t> Range(std::int64_t origin, std::int64_t extent) {
    return extent < 0 ? std::pair{origin + extent, origin} : std::pair{origin, origin + extent};
}

// 32-bit pixels as whole words, other depths as pixels::Load and Store do.
template <int Bits>
inline std::uint32_t LoadWord(const BYTE* row, std::size_t x) {
    if constexpr (Bits == 32) {
        std::uint32_t v = 0;
        std::memcpy(&v, row + x * 4, 4);
        return v;
    } else {
        return Load<Bits>(row, x);
    }
}
template <int Bits>
inline void StoreWord(BYTE* row, std::size_t x, std::uint32_t v) {
    if constexpr (Bits == 32) {
        std::memcpy(row + x * 4, &v, 4);
    } else {
        Store<Bits>(row, x, v);
    }
}

// Everything a routine needs, settled before its loops.
struct Loop {
    Plane dst;
    Plane src;
    std::int64_t srcRowBias = 0; // subtracted from source rows (a private copy of some rows)
    std::size_t x0 = 0;          // first destination column
    std::size_t n = 0;           // destination columns
    const int* cols = nullptr;   // source column of each destination column
    std::int64_t y0 = 0, y1 = 0; // destination rows
    const Axis* rows = nullptr;
    std::uint32_t dx = 0, sx = 0, rx = 0; // inversion masks of destination, source, result
    std::uint32_t constant = 0;           // the source value of operations without a bitmap
    pixels::ValueMap map;
};

template <Op op, int DstBits>
inline std::uint32_t Combine(const Loop& l, const BYTE* out, std::size_t x, std::uint32_t s) {
    if constexpr (op == Op::Copy) {
        return s ^ l.rx;
    } else {
        const std::uint32_t d = LoadWord<DstBits>(out, x) ^ l.dx;
        if constexpr (op == Op::And) {
            return (d & s) ^ l.rx;
        } else if constexpr (op == Op::Or) {
            return (d | s) ^ l.rx;
        } else {
            return (d ^ s) ^ l.rx;
        }
    }
}

template <int SrcBits, int DstBits, Op op>
void Blit(const Loop& l) {
    for (std::int64_t y = l.y0; y < l.y1; ++y) {
        const BYTE* in = l.src.top + (l.rows->Source(y) - l.srcRowBias) * l.src.step;
        BYTE* out = l.dst.top + y * l.dst.step;
        for (std::size_t k = 0; k < l.n; ++k) {
            const std::size_t x = l.x0 + k;
            const auto c = static_cast<std::size_t>(l.cols[k]);
            // Between 32-bit pixels the fourth byte goes along; other sources bring it as 0.
            const std::uint32_t v =
                SrcBits == 32 && DstBits == 32 ? LoadWord<32>(in, c) : Load<SrcBits>(in, c);
            const std::uint32_t s = pixels::MapValue<SrcBits, DstBits>(l.map, v) ^ l.sx;
            StoreWord<DstBits>(out, x, Combine<op, DstBits>(l, out, x, s));
        }
    }
}

template <int DstBits, Op op>
void Fill(const Loop& l) {
    for (std::int64_t y = l.y0; y < l.y1; ++y) {
        BYTE* out = l.dst.top + y * l.dst.step;
        for (std::size_t x = l.x0; x < l.x0 + l.n; ++x) {
            StoreWord<DstBits>(out, x, Combine<op, DstBits>(l, out, x, l.constant));
        }
    }
}

// Shrinking in BLACKONWHITE or WHITEONBLACK mode: the pixels of the destination rectangle
// [x0, x0 + n) x [y0, y1) gathered from their source groups (AND or OR of the values already in the
// destination's format), into rows of a private plane. The transfer then reads that plane unscaled.
struct Gathering {
    const Plane* src = nullptr;
    const Axis* cols = nullptr;
    const Axis* rows = nullptr;
    std::int64_t x0 = 0, y0 = 0, y1 = 0;
    std::size_t n = 0;
    Plane out;
};

template <int SrcBits, int DstBits, bool And>
void Gather(const Gathering& g, const pixels::ValueMap& map) {
    std::vector<std::pair<std::int64_t, std::int64_t>> groups(g.n);
    for (std::size_t k = 0; k < g.n; ++k) {
        const std::int64_t x = g.x0 + static_cast<std::int64_t>(k);
        groups[k] = g.cols->count < g.cols->srcCount
                        ? g.cols->Group(x)
                        : std::pair{SourceIndex(g.cols->Index(x), g.cols->srcCount, g.cols->count, false),
                                    SourceIndex(g.cols->Index(x), g.cols->srcCount, g.cols->count, false)};
    }
    const bool shrinkRows = g.rows->count < g.rows->srcCount;
    for (std::int64_t y = g.y0; y < g.y1; ++y) {
        const std::int64_t one = SourceIndex(g.rows->Index(y), g.rows->srcCount, g.rows->count, true);
        const auto [first, last] = shrinkRows ? g.rows->Group(y) : std::pair{one, one};
        BYTE* out = g.out.top + (y - g.y0) * g.out.step;
        for (std::size_t k = 0; k < g.n; ++k) {
            std::uint32_t v = And ? ~0u : 0u;
            for (std::int64_t r = first; r <= last; ++r) {
                const BYTE* in = g.src->top + g.rows->At(r) * g.src->step;
                for (std::int64_t c = groups[k].first; c <= groups[k].second; ++c) {
                    const auto x = static_cast<std::size_t>(g.cols->At(c));
                    const std::uint32_t p = pixels::MapValue<SrcBits, DstBits>(
                        map, SrcBits == 32 && DstBits == 32 ? LoadWord<32>(in, x) : Load<SrcBits>(in, x));
                    v = And ? v & p : v | p;
                }
            }
            StoreWord<DstBits>(out, k, DstBits <= 8 ? v & ((1u << DstBits) - 1) : v);
        }
    }
}

using Gatherer = void (*)(const Gathering&, const pixels::ValueMap&);
template <std::size_t... I>
constexpr std::array<Gatherer, sizeof...(I)> GatherTable(std::index_sequence<I...>) {
    return {&Gather<kDepths[I / 10], kDepths[I / 2 % 5], I % 2 == 0>...};
}
constexpr auto kGathers = GatherTable(std::make_index_sequence<5 * 5 * 2>{});

// The value a brush colour takes on a 1-bit destination (Job::brushRule).
std::uint32_t MonochromeBrush(const Plane& dst, COLORREF colour, COLORREF background) {
    const COLORREF c = colour & 0xFFFFFFu;
    for (std::uint32_t i = 0; i < 2; ++i)
        if (ColourOf(dst.colours[i]) == c) return i;
    const std::uint32_t back = ToFormat(dst, background);
    return c == (background & 0xFFFFFFu) ? back : back ^ 1u;
}

using Routine = void (*)(const Loop&);
constexpr std::size_t kOps = 4;

// Routine tables: blits by (source depth, destination depth, op), fills by (destination, op).
template <std::size_t... I>
constexpr std::array<Routine, sizeof...(I)> BlitTable(std::index_sequence<I...>) {
    return {&Blit<kDepths[I / (5 * kOps)], kDepths[I / kOps % 5], static_cast<Op>(I % kOps)>...};
}
template <std::size_t... I>
constexpr std::array<Routine, sizeof...(I)> FillTable(std::index_sequence<I...>) {
    return {&Fill<kDepths[I / kOps], static_cast<Op>(I % kOps)>...};
}
constexpr auto kBlits = BlitTable(std::make_index_sequence<5 * 5 * kOps>{});
constexpr auto kFills = FillTable(std::make_index_sequence<5 * kOps>{});

bool InPlane(std::int64_t v, int size) {
    return v >= 0 && v < size;
}

} // namespace

std::int64_t SourceIndex(std::int64_t d, std::int64_t s, std::int64_t dCount, bool rows) {
    // Unsigned 64-bit: with every count below 2^32 no product can overflow.
    const auto ud = static_cast<std::uint64_t>(d);
    const auto us = static_cast<std::uint64_t>(s);
    const auto un = static_cast<std::uint64_t>(dCount);
    std::uint64_t index = 0;
    if (un >= us) {
        index = ((2 * ud + 1) * us - 1) / (2 * un); // enlarging: the centre of the pixel
    } else if (rows) {
        index = (2 * ud * us + un) / (2 * un); // shrinking rows: the first of each group
    } else {
        index = (2 * (ud + 1) * us - un) / (2 * un); // shrinking columns: the last of each group
    }
    return static_cast<std::int64_t>(index);
}

bool Run(const Job& job) {
    RopPlan plan;
    if (!PlanRop(job.rop, plan)) return false;
    if (plan.source == Source::Bitmap && !job.src) return false;
    const Plane& dst = job.dst;
    const std::uint32_t ones = dst.bitsPerPixel <= 8    ? (1u << dst.bitsPerPixel) - 1
                               : dst.bitsPerPixel == 24 ? 0xFFFFFFu
                                                        : 0xFFFFFFFFu;

    // A transfer that mirrors or scales either axis takes each negative extent from its origin
    // backwards, origin + extent + 1 .. origin, as Windows does; in a plain copy a negative extent
    // only swaps the rectangle's corners (Range). Moving such origins one on gives the former.
    const auto magnitude = [](std::int64_t v) { return v < 0 ? -v : v; };
    const bool mirrors =
        plan.source == Source::Bitmap &&
        ((job.width < 0) != (job.sw < 0) || (job.height < 0) != (job.sh < 0) ||
         magnitude(job.width) != magnitude(job.sw) || magnitude(job.height) != magnitude(job.sh));
    const auto shifted = [mirrors](std::int64_t origin, std::int64_t extent) {
        return mirrors && extent < 0 ? origin + 1 : origin;
    };
    const std::int64_t jx = shifted(job.x, job.width), jy = shifted(job.y, job.height);
    const std::int64_t jsx = shifted(job.sx, job.sw), jsy = shifted(job.sy, job.sh);

    // The visible destination: its rectangle within the bitmap and the clip.
    const auto [left, right] = Range(jx, job.width);
    const auto [top, bottom] = Range(jy, job.height);
    std::int64_t x0 = std::max({left, job.visible.left, std::int64_t{0}});
    std::int64_t x1 = std::min({right, job.visible.right, std::int64_t{dst.width}});
    std::int64_t y0 = std::max({top, job.visible.top, std::int64_t{0}});
    std::int64_t y1 = std::min({bottom, job.visible.bottom, std::int64_t{dst.height}});
    if (x0 >= x1 || y0 >= y1) return true;

    Loop l;
    l.dst = dst;
    l.dx = plan.invertDst ? ones : 0;
    l.sx = plan.invertSrc ? ones : 0;
    l.rx = plan.invertResult ? ones : 0;
    const std::size_t op = static_cast<std::size_t>(plan.op);

    if (plan.source != Source::Bitmap) {
        switch (plan.source) {
        case Source::Brush:
            if (!job.brush || job.brush->hollow) return true; // a hollow brush paints nothing
            l.constant = job.brushRule && dst.bitsPerPixel == 1
                             ? MonochromeBrush(dst, job.brush->colour, job.dstBackground)
                             : ToFormat(dst, job.brush->colour);
            break;
        case Source::Black: l.constant = 0; break; // every bit clear, whatever the table holds
        default: l.constant = ones; break;         // WHITENESS and DSTINVERT: every bit set
        }
        l.x0 = static_cast<std::size_t>(x0);
        l.n = static_cast<std::size_t>(x1 - x0);
        l.y0 = y0;
        l.y1 = y1;
        kFills[DepthIndex(dst.bitsPerPixel) * kOps + op](l);
        return true;
    }

    const Plane& src = *job.src;
    if (job.width == 0 || job.height == 0 || job.sw == 0 || job.sh == 0) return true;
    const Axis cols{jx,   job.width < 0, job.width < 0 ? -job.width : job.width,
                    jsx,  job.sw < 0,    job.sw < 0 ? -job.sw : job.sw,
                    false};
    const Axis rows{jy,  job.height < 0, job.height < 0 ? -job.height : job.height,
                    jsy, job.sh < 0,     job.sh < 0 ? -job.sh : job.sh,
                    true};
    // Destination pixels whose source lies outside the source bitmap stay unchanged. The mapping
    // is monotonic, so those are at the ends and trimming them leaves one run.
    while (x0 < x1 && !InPlane(cols.Source(x0), src.width))
        ++x0;
    while (x1 > x0 && !InPlane(cols.Source(x1 - 1), src.width))
        --x1;
    while (y0 < y1 && !InPlane(rows.Source(y0), src.height))
        ++y0;
    while (y1 > y0 && !InPlane(rows.Source(y1 - 1), src.height))
        --y1;
    if (x0 >= x1 || y0 >= y1) return true;

    try {
        l.src = src;
        l.x0 = static_cast<std::size_t>(x0);
        l.n = static_cast<std::size_t>(x1 - x0);
        l.y0 = y0;
        l.y1 = y1;
        l.rows = &rows;
        std::vector<int> colMap(l.n);
        for (std::size_t k = 0; k < l.n; ++k) {
            colMap[k] = static_cast<int>(cols.Source(x0 + static_cast<std::int64_t>(k)));
        }
        l.cols = colMap.data();

        const bool combine = (job.stretchMode == BLACKONWHITE || job.stretchMode == WHITEONBLACK) &&
                             (cols.count < cols.srcCount || rows.count < rows.srcCount);

        // Source and destination in one bitmap: read from a copy of the source rows involved so
        // that overlapping rectangles see the original pixels (a gathering makes its own copy).
        std::vector<BYTE> copy;
        if (!combine && src.top == dst.top) {
            const std::int64_t first = rows.Source(y0);
            const std::int64_t last = rows.Source(y1 - 1);
            const std::int64_t lo = std::min(first, last);
            const std::int64_t hi = std::max(first, last);
            const std::size_t rowBytes = static_cast<std::size_t>(src.step < 0 ? -src.step : src.step);
            copy.resize(static_cast<std::size_t>(hi - lo + 1) * rowBytes);
            for (std::int64_t r = lo; r <= hi; ++r) {
                std::memcpy(copy.data() + static_cast<std::size_t>(r - lo) * rowBytes, src.top + r * src.step,
                            rowBytes);
            }
            l.src.top = copy.data();
            l.src.step = static_cast<std::ptrdiff_t>(rowBytes);
            l.srcRowBias = lo;
        }

        // Indexed sources go through a table of destination values, built with the monochrome
        // rules when they apply.
        std::array<std::uint32_t, 256> table{};
        bool identity = src.bitsPerPixel == dst.bitsPerPixel;
        if (src.bitsPerPixel <= 8) {
            // Onto a monochrome device bitmap, pixels equal to the index of the source's
            // background colour (its nearest entry) become 1.
            const std::uint32_t background = ToFormat(src, job.srcBackground);
            for (std::uint32_t i = 0; i < (1u << src.bitsPerPixel); ++i) {
                const COLORREF colour = ColourOf(src.colours[i]);
                if (job.srcMonochrome) {
                    table[i] =
                        job.dstMonochrome ? i : ToFormat(dst, i != 0 ? job.dstBackground : job.dstText);
                } else if (job.dstMonochrome) {
                    table[i] = i == background ? 1 : 0;
                } else {
                    table[i] = ToFormat(dst, colour);
                }
                identity = identity && table[i] == i;
            }
            l.map.table = table.data();
        }
        std::optional<ColourCache> cache;
        if (src.bitsPerPixel > 8 && dst.bitsPerPixel <= 8) {
            // True colour reaches 8 bits at 5 bits per channel, other depths exactly.
            const auto rule = job.dstMonochrome       ? ColourCache::Rule::Background
                              : dst.bitsPerPixel == 8 ? ColourCache::Rule::Rounded
                                                      : ColourCache::Rule::Nearest;
            cache.emplace(rule, dst.colours, std::size_t{1} << dst.bitsPerPixel, Pack(job.srcBackground));
            l.map.cache = &*cache;
        }

        // Shrinking in a combining mode: gather each destination pixel's source group into a
        // private plane in the destination's format, then transfer that plane unscaled.
        std::vector<BYTE> gathered;
        const Axis unscaled{0, false, y1, 0, false, y1, true};
        std::array<std::uint32_t, 256> same{};
        std::size_t srcDepth = DepthIndex(src.bitsPerPixel);
        if (combine) {
            const auto stride = static_cast<std::ptrdiff_t>(pixels::DibStride(dst.bitsPerPixel, x1 - x0));
            gathered.resize(static_cast<std::size_t>(stride * (y1 - y0)));
            Gathering g{&src, &cols, &rows, x0, y0, y1, l.n, dst};
            g.out.top = gathered.data();
            g.out.step = stride;
            kGathers[(srcDepth * 5 + DepthIndex(dst.bitsPerPixel)) * 2 +
                     (job.stretchMode == BLACKONWHITE ? 0 : 1)](g, l.map);
            l.src = g.out;
            l.srcRowBias = y0;
            l.rows = &unscaled;
            for (std::size_t k = 0; k < l.n; ++k)
                colMap[k] = static_cast<int>(k);
            for (std::uint32_t i = 0; i < same.size(); ++i)
                same[i] = i;
            l.map = {same.data(), nullptr};
            identity = true;
            srcDepth = DepthIndex(dst.bitsPerPixel);
        }

        // A plain copy between equal byte-sized formats, unscaled and unmirrored across: one
        // memcpy per row.
        const bool straight = plan.op == Op::Copy && !plan.invertSrc && !plan.invertResult &&
                              cols.count == cols.srcCount && cols.backwards == cols.srcBackwards;
        if (straight && identity && dst.bitsPerPixel >= 8) {
            const std::size_t bytes = static_cast<std::size_t>(dst.bitsPerPixel / 8);
            for (std::int64_t y = y0; y < y1; ++y) {
                const BYTE* in = l.src.top + (l.rows->Source(y) - l.srcRowBias) * l.src.step;
                std::memcpy(dst.top + y * dst.step + l.x0 * bytes,
                            in + static_cast<std::size_t>(colMap[0]) * bytes, l.n * bytes);
            }
            return true;
        }
        kBlits[(srcDepth * 5 + DepthIndex(dst.bitsPerPixel)) * kOps + op](l);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

} // namespace draw_internal
