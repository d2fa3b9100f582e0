// Writing side of the image-data chunk: pack, filter, compress, frame.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "png/pngcrc.h"
#include "png/pngdeflate.h"
#include "png/pngformat.h"
#include "png/pngheader.h"
#include "png/pngidat.h"
#include "png/pnglang.h"
#include "png/pngobject.h"
#include "png/pngrowpack.h"
#include "png/pngzlib.h"
#include "toolkit/core/stream.h"

namespace {

using u8 = std::uint8_t;

constexpr u8 IdatType[4] = {'I', 'D', 'A', 'T'};
constexpr unsigned AllFilters = 0x1F; // the five filter bits of a filter set

// Ends the compression whatever way the save leaves.
struct TDeflateGuard {
    ZlibState& State;
    ~TDeflateGuard() { EndDeflate(State); }
};

// The filters: out[i] = raw[i] - predictor, modulo 256; prior is the previous raw scanline. The
// first d bytes have no left neighbour; the loops after them carry no branch, so they vectorise.
// Sub with the distance known at compile time for the common pixel sizes (distance 0 for any other).
template <std::int32_t D>
void FilterSubBy(const u8* __restrict raw, u8* __restrict out, std::int32_t length, std::int32_t d) {
    if constexpr (D != 0) d = D;
    const std::int32_t head = length < d ? length : d;
    std::memcpy(out, raw, static_cast<std::size_t>(head));
    for (std::int32_t i = head; i < length; ++i)
        out[i] = static_cast<u8>(raw[i] - raw[i - d]);
}
void FilterSub(const u8* raw, u8* out, std::int32_t length, std::int32_t d) {
    switch (d) {
    case 1: return FilterSubBy<1>(raw, out, length, d);
    case 2: return FilterSubBy<2>(raw, out, length, d);
    case 3: return FilterSubBy<3>(raw, out, length, d);
    case 4: return FilterSubBy<4>(raw, out, length, d);
    case 6: return FilterSubBy<6>(raw, out, length, d);
    case 8: return FilterSubBy<8>(raw, out, length, d);
    default: return FilterSubBy<0>(raw, out, length, d);
    }
}
void FilterUp(const u8* raw, const u8* prior, u8* out, std::int32_t length) {
    for (std::int32_t i = 0; i < length; ++i)
        out[i] = static_cast<u8>(raw[i] - prior[i]);
}
void FilterAverage(const u8* raw, const u8* prior, u8* out, std::int32_t length, std::int32_t d) {
    const std::int32_t head = length < d ? length : d;
    for (std::int32_t i = 0; i < head; ++i)
        out[i] = static_cast<u8>(raw[i] - (prior[i] >> 1));
    for (std::int32_t i = head; i < length; ++i)
        out[i] = static_cast<u8>(raw[i] - ((raw[i - d] + prior[i]) >> 1));
}
void FilterPaeth(const u8* raw, const u8* prior, u8* out, std::int32_t length, std::int32_t d) {
    const std::int32_t head = length < d ? length : d;
    for (std::int32_t i = 0; i < head; ++i)
        out[i] = static_cast<u8>(raw[i] - prior[i]); // predictor: above
    for (std::int32_t i = head; i < length; ++i) {
        const int a = raw[i - d], b = prior[i], c = prior[i - d];
        const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
        out[i] = static_cast<u8>(raw[i] - ((pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c)));
    }
}

// Positions from 2 on whose byte repeats one of the two bytes before it.
std::int32_t Score(const u8* row, std::int32_t length) {
    std::int32_t score = 0;
    for (std::int32_t k = 2; k < length; ++k)
        score += (row[k] == row[k - 1] || row[k] == row[k - 2]) ? 1 : 0;
    return score;
}

// One encode of the image memory: the packed scanline, the scanline per allowed filter, and the
// compressor whose output block becomes one IDAT chunk each time it fills.
class TIdatWriter {
public:
    TIdatWriter(const TPNGObject& owner, const TChunkIHDR& header, TStream& stream);
    void Run();

private:
    // The filter for the scanline in RawRow: fills the buffers of the allowed filters, keeps the
    // scanline as the previous one, and scores the candidates.
    std::uint8_t ChooseFilter();
    // Packs, filters and compresses the pass's rows as scanlines of RowLength bytes.
    // packSub, where not null, packs a scanline straight through the Sub filter.
    void EncodeRows(TRowPackRoutine pack, TRowPackRoutine packSub, const TPass& pass, std::int32_t width);
    // Bytes of the filtered image (filter bytes included), over every pass.
    std::size_t FilteredSize() const;
    void Feed(const std::uint8_t* bytes, std::int32_t count);
    void StartStream();
    void StreamBytes(const std::uint8_t* bytes, std::size_t count);
    void Flush();
    void WriteChunks(const std::uint8_t* data, std::size_t size);

    const TPNGObject& Owner;
    const TChunkIHDR& Header;
    TStream& Stream;
    ZlibState State;
    std::int32_t RowLength = 0; // of the current pass
    std::int32_t FilterDistance = 0;
    std::uint8_t FilterSet = 0;
    std::int32_t Limit = 0; // data bytes per chunk
    std::unique_ptr<std::uint8_t[]> RawRow;
    std::unique_ptr<std::uint8_t[]> FilteredRows[5]; // the scanline per filter; 0 also the previous one
    bool Whole = false;                              // collecting the filtered image for one call
    std::unique_ptr<std::uint8_t[], largemem::TDeleter> Filtered; // the filtered image, FilteredSize() bytes
    std::size_t FilteredFill = 0;                                 // bytes of it written
};

TIdatWriter::TIdatWriter(const TPNGObject& owner, const TChunkIHDR& header, TStream& stream)
    : Owner(owner), Header(header), Stream(stream), FilterSet(owner.FilterSet), Limit(owner.IdatLimit()) {
    const TPNGObject::TRowGeometry geometry = owner.RowGeometry();
    RowLength = geometry.RowLength;
    FilterDistance = geometry.FilterDistance;
    const auto size = static_cast<std::size_t>(RowLength) + 1;
    RawRow = std::make_unique<std::uint8_t[]>(size);
    FilteredRows[0] = std::make_unique<std::uint8_t[]>(size);
    for (int n = 1; n <= pfPaeth; ++n)
        if (FilterSet & (1u << n)) FilteredRows[n] = std::make_unique<std::uint8_t[]>(size);
}

std::uint8_t TIdatWriter::ChooseFilter() {
    const u8* raw = RawRow.get();
    u8* prior = FilteredRows[pfNone].get();
    const std::int32_t length = RowLength;
    const std::int32_t d = FilterDistance;
    const std::uint8_t set = FilterSet;
    if (set & FilterBit(pfSub)) FilterSub(raw, FilteredRows[pfSub].get(), length, d);
    if (set & FilterBit(pfUp)) FilterUp(raw, prior, FilteredRows[pfUp].get(), length);
    if (set & FilterBit(pfAverage)) FilterAverage(raw, prior, FilteredRows[pfAverage].get(), length, d);
    if (set & FilterBit(pfPaeth)) FilterPaeth(raw, prior, FilteredRows[pfPaeth].get(), length, d);
    // The scanline is the output of filter None and the previous scanline of the next one.
    std::memcpy(prior, raw, static_cast<std::size_t>(length));
    if ((set & AllFilters) == 0 || (set & AllFilters) == FilterBit(pfNone)) return pfNone;
    std::uint8_t best = pfNone;
    std::int32_t bestScore = 0;
    for (std::uint8_t n = pfNone; n <= pfPaeth; ++n) {
        if ((set & (1u << n)) == 0) continue;
        if ((set & AllFilters) == (1u << n)) return n; // a single allowed filter is used without scoring
        const std::int32_t score = Score(FilteredRows[n].get(), length);
        if (score > bestScore) {
            best = n;
            bestScore = score;
        }
    }
    return best;
}

std::size_t TIdatWriter::FilteredSize() const {
    const TChunkIHDR& h = Header;
    const auto width = static_cast<std::int32_t>(h.Width), height = static_cast<std::int32_t>(h.Height);
    if (Owner.InterlaceMode == PngInterlaceNone) return (std::size_t(RowLength) + 1) * h.Height;
    const std::uint8_t depth = h.BitDepth == 2 ? 4 : h.BitDepth;
    std::size_t size = 0;
    for (const TPass& pass : Adam7Passes) {
        const std::int32_t length = PngRowBytes(pass.Width(width), h.ColorType, depth);
        const std::int32_t rows =
            height > pass.RowStart ? (height - pass.RowStart + pass.RowStep - 1) / pass.RowStep : 0;
        if (length != 0) size += (std::size_t(length) + 1) * std::size_t(rows);
    }
    return size;
}

void TIdatWriter::Feed(const std::uint8_t* bytes, std::int32_t count) {
    if (Whole) {
        std::memcpy(Filtered.get() + FilteredFill, bytes, static_cast<std::size_t>(count));
        FilteredFill += static_cast<std::size_t>(count);
    } else
        StreamBytes(bytes, static_cast<std::size_t>(count));
}

void TIdatWriter::StartStream() {
    const int started = BeginDeflate(&Stream, Owner.DeflateLevel, static_cast<std::size_t>(Limit), State);
    if (started != Z_OK) RaiseZlibError(ZlibErrorText(State.ZStream, started));
}

void TIdatWriter::StreamBytes(const std::uint8_t* bytes, std::size_t count) {
    z_stream& z = State.ZStream;
    z.next_in = const_cast<Bytef*>(bytes);
    z.avail_in = static_cast<uInt>(count);
    while (z.avail_in > 0) {
        const int r = deflate(&z, Z_NO_FLUSH);
        // With input and output room deflate always makes progress; anything else would loop.
        if (r != Z_OK) RaiseZlibError(ZlibErrorText(z, r));
        if (z.avail_out == 0) {
            WriteChunkFrame(Stream, IdatType, State.Buffer.get(), Limit);
            z.next_out = State.Buffer.get();
            z.avail_out = static_cast<uInt>(Limit);
        }
    }
}

void TIdatWriter::Flush() {
    z_stream& z = State.ZStream;
    z.next_in = nullptr;
    z.avail_in = 0;
    for (;;) {
        const int r = deflate(&z, Z_FINISH);
        if (r != Z_OK && r != Z_STREAM_END) RaiseZlibError(ZlibErrorText(z, r));
        const auto filled = static_cast<std::int32_t>(Limit - static_cast<std::int32_t>(z.avail_out));
        if (filled > 0) WriteChunkFrame(Stream, IdatType, State.Buffer.get(), filled);
        if (r == Z_STREAM_END) return;
        z.next_out = State.Buffer.get();
        z.avail_out = static_cast<uInt>(Limit);
    }
}

void TIdatWriter::EncodeRows(TRowPackRoutine pack, TRowPackRoutine packSub, const TPass& pass,
                             std::int32_t width) {
    const TRowPackArgs args{Owner.EncodeGamma.data(), RowLength};
    const TChunkIHDR& h = Header;
    const auto height = static_cast<std::int32_t>(h.Height);
    // Rows of a single allowed filter go straight into the whole filtered image: no scoring, and
    // no copy of the scanline unless the filter reads the previous one.
    const unsigned set = FilterSet & AllFilters;
    if (Whole && (set == 0 || set == FilterBit(pfNone) || set == FilterBit(pfSub))) {
        const bool sub = set == FilterBit(pfSub);
        for (std::int32_t y = pass.RowStart; y < height; y += pass.RowStep) {
            u8* out = Filtered.get() + FilteredFill;
            out[0] = sub ? pfSub : pfNone;
            if (sub && packSub != nullptr) {
                packSub(args, h.PixelRow(y), h.LowByteRow(y), h.AlphaRow(y), out + 1, pass.ColumnStart,
                        pass.ColumnStep, width);
            } else if (sub) {
                pack(args, h.PixelRow(y), h.LowByteRow(y), h.AlphaRow(y), RawRow.get(), pass.ColumnStart,
                     pass.ColumnStep, width);
                FilterSub(RawRow.get(), out + 1, RowLength, FilterDistance);
            } else {
                pack(args, h.PixelRow(y), h.LowByteRow(y), h.AlphaRow(y), out + 1, pass.ColumnStart,
                     pass.ColumnStep, width);
            }
            FilteredFill += std::size_t(RowLength) + 1;
        }
        return;
    }
    for (std::int32_t y = pass.RowStart; y < height; y += pass.RowStep) {
        pack(args, h.PixelRow(y), h.LowByteRow(y), h.AlphaRow(y), RawRow.get(), pass.ColumnStart,
             pass.ColumnStep, width);
        const std::uint8_t f = ChooseFilter();
        Feed(&f, 1);
        Feed(FilteredRows[f].get(), RowLength);
    }
}

void TIdatWriter::WriteChunks(const std::uint8_t* data, std::size_t size) {
    for (std::size_t at = 0; at < size; at += static_cast<std::size_t>(Limit))
        WriteChunkFrame(Stream, IdatType, data + at,
                        static_cast<std::int32_t>(std::min(size - at, static_cast<std::size_t>(Limit))));
}

void TIdatWriter::Run() {
    TDeflateGuard guard{State};
    const std::size_t size = FilteredSize();
    Whole = ImageDeflateEngine() == TDeflateEngine::Libdeflate && size <= Owner.DeflateBudget;
    // The whole filtered image in a block of its own (huge pages where large); refused, the rows
    // stream through zlib instead.
    if (Whole) Filtered.reset(static_cast<std::uint8_t*>(largemem::Allocate(size)));
    if (Whole && !Filtered) Whole = false;
    if (!Whole) StartStream();
    const TChunkIHDR& h = Header;
    const TRowPack pack = SelectRowPack(h.ColorType, h.BitDepth, Owner.EncodeGamma.data());
    const auto width = static_cast<std::int32_t>(h.Width);
    if (Owner.InterlaceMode == PngInterlaceNone && pack.Sequential != nullptr) {
        EncodeRows(pack.Sequential, pack.SequentialSub, WholeImage, width);
    } else if (Owner.InterlaceMode == PngInterlaceAdam7 && pack.Interlaced != nullptr) {
        const std::uint8_t depth = h.BitDepth == 2 ? 4 : h.BitDepth; // 2-bit rows are held and written as 4
        for (const TPass& pass : Adam7Passes) {
            RowLength = PngRowBytes(pass.Width(width), h.ColorType, depth);
            // Each pass starts with a zero previous scanline.
            std::memset(FilteredRows[pfNone].get(), 0, static_cast<std::size_t>(RowLength));
            if (RowLength != 0) EncodeRows(pack.Interlaced, nullptr, pass, pass.Width(width));
        }
    } else {
        return; // no image data
    }
    if (Whole) {
        TDeflated compressed;
        if (!DeflateWhole(Filtered.get(), FilteredFill, Owner.DeflateLevel, compressed))
            RaiseZlibError(pnglang::ZlibMessage(Z_MEM_ERROR));
        WriteChunks(compressed.Bytes.get(), compressed.Size);
        return;
    }
    Flush();
}

} // namespace

bool TChunkIDAT::WriteChunk(TStream& stream) {
    const TChunkIHDR& header = HeaderChunk();
    if (header.PixelRows() == nullptr) return true; // no image memory: nothing to encode
    TIdatWriter(*OwnerImage(), header, stream).Run();
    return true;
}
