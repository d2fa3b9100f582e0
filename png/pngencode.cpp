// Writing side of the image-data chunk: pack, filter, compress, frame.
#include <cstdlib>
#include <cstring>
#include <string>

#include "png/pngcrc.h"
#include "png/pngerrors.h"
#include "png/pngheader.h"
#include "png/pngidat.h"
#include "png/pnglang.h"
#include "png/pngobject.h"
#include "png/pngrowpack.h"
#include "toolkit/core/stream.h"

namespace {

using u8 = std::uint8_t;

[[noreturn]] void RaiseZlib(const z_stream& z, int code) {
    RaisePngError<EPNGZLIBError>(std::string(pnglang::EPNGZLIBErrorText) +
                                 (z.msg != nullptr ? z.msg : pnglang::ZlibMessage(code)));
}

bool IsIdentity(const TGammaTable& table) {
    for (int i = 0; i < 256; ++i)
        if (table[static_cast<std::size_t>(i)] != i) return false;
    return true;
}

// Ends the compression whatever way the save leaves.
struct TDeflateGuard {
    ZlibState& State;
    ~TDeflateGuard() { EndDeflate(State); }
};

// The filters: out[i] = raw[i] - predictor, modulo 256; prior is the previous raw scanline. The
// first d bytes have no left neighbour; the loops after them carry no branch, so they vectorise.
void FilterSub(const u8* raw, u8* out, std::int32_t length, std::int32_t d) {
    const std::int32_t head = length < d ? length : d;
    std::memcpy(out, raw, static_cast<std::size_t>(head));
    for (std::int32_t i = head; i < length; ++i)
        out[i] = static_cast<u8>(raw[i] - raw[i - d]);
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

} // namespace

std::uint8_t TChunkIDAT::ChooseFilter() {
    const u8* raw = RawRow.get();
    u8* prior = FilteredRows[0].get();
    const std::int32_t length = RowLength;
    const std::int32_t d = FilterDistance;
    const std::uint8_t set = WriteFilterSet;
    if (set & FilterBit(pfSub)) FilterSub(raw, FilteredRows[1].get(), length, d);
    if (set & FilterBit(pfUp)) FilterUp(raw, prior, FilteredRows[2].get(), length);
    if (set & FilterBit(pfAverage)) FilterAverage(raw, prior, FilteredRows[3].get(), length, d);
    if (set & FilterBit(pfPaeth)) FilterPaeth(raw, prior, FilteredRows[4].get(), length, d);
    // The scanline is the output of filter None and the previous scanline of the next one.
    std::memcpy(prior, raw, static_cast<std::size_t>(length));
    if ((set & 0x1F) == 0 || (set & 0x1F) == FilterBit(pfNone)) return 0;
    std::uint8_t best = 0;
    std::int32_t bestScore = 0;
    for (std::uint8_t n = 0; n <= 4; ++n) {
        if ((set & (1u << n)) == 0) continue;
        if ((set & 0x1F) == (1u << n)) return n; // a single allowed filter is used without scoring
        const std::int32_t score = Score(FilteredRows[n].get(), length);
        if (score > bestScore) {
            best = n;
            bestScore = score;
        }
    }
    return best;
}

void TChunkIDAT::WriteIdatChunk(TStream& stream, const std::uint8_t* bytes, std::int32_t count) {
    std::uint8_t frame[8] = {0, 0, 0, 0, 'I', 'D', 'A', 'T'};
    WriteBE32(frame, static_cast<std::uint32_t>(count));
    stream.Write(frame, 8);
    stream.Write(bytes, count);
    std::uint8_t crc[4];
    WriteBE32(crc, UpdatePngCrc(UpdatePngCrc(0xFFFFFFFFu, frame + 4, 4), bytes, count) ^ 0xFFFFFFFFu);
    stream.Write(crc, 4);
}

void TChunkIDAT::FeedCompressor(ZlibState& state, const std::uint8_t* bytes, std::int32_t count) {
    z_stream& z = state.ZStream;
    z.next_in = const_cast<Bytef*>(bytes);
    z.avail_in = static_cast<uInt>(count);
    while (z.avail_in > 0) {
        const int r = deflate(&z, Z_NO_FLUSH);
        // With input and output room deflate always makes progress; anything else would loop.
        if (r != Z_OK) RaiseZlib(z, r);
        if (z.avail_out == 0) {
            WriteIdatChunk(*state.PngStream, state.Buffer.get(), WriteLimit);
            z.next_out = state.Buffer.get();
            z.avail_out = static_cast<uInt>(WriteLimit);
        }
    }
}

void TChunkIDAT::FlushCompressor(ZlibState& state) {
    z_stream& z = state.ZStream;
    z.next_in = nullptr;
    z.avail_in = 0;
    for (;;) {
        const int r = deflate(&z, Z_FINISH);
        if (r != Z_OK && r != Z_STREAM_END) RaiseZlib(z, r);
        const auto filled = static_cast<std::int32_t>(WriteLimit - static_cast<std::int32_t>(z.avail_out));
        if (r == Z_STREAM_END) {
            if (filled > 0) WriteIdatChunk(*state.PngStream, state.Buffer.get(), filled);
            return;
        }
        if (filled > 0) WriteIdatChunk(*state.PngStream, state.Buffer.get(), filled);
        z.next_out = state.Buffer.get();
        z.avail_out = static_cast<uInt>(WriteLimit);
    }
}

// Filters the packed scanline and feeds its filter byte and bytes to the compressor.
void TChunkIDAT::EmitScanline(ZlibState& state) {
    const std::uint8_t f = ChooseFilter();
    FeedCompressor(state, &f, 1);
    FeedCompressor(state, FilteredRows[f].get(), RowLength);
}

void TChunkIDAT::EncodeSequential(TStream&, ZlibState& state) {
    TChunkIHDR& h = *DecodeHeader;
    const TRowPack pack = SelectRowPack(h.ColorType, h.BitDepth, IsIdentity(OwnerImage()->EncodeGamma));
    if (pack.Sequential == nullptr) return;
    const TRowPackArgs args{OwnerImage()->EncodeGamma.data(), RowLength};
    for (std::int32_t y = 0; y < DecodeHeight; ++y) {
        pack.Sequential(args, h.PixelRow(y), h.LowByteRow(y), h.AlphaRow(y), RawRow.get(), 0, 1, DecodeWidth);
        EmitScanline(state);
    }
    FlushCompressor(state);
}

void TChunkIDAT::EncodeAdam7(TStream&, ZlibState& state) {
    TChunkIHDR& h = *DecodeHeader;
    const TRowPack pack = SelectRowPack(h.ColorType, h.BitDepth, IsIdentity(OwnerImage()->EncodeGamma));
    if (pack.Interlaced == nullptr) return;
    for (int pass = 0; pass < 7; ++pass) {
        const std::int32_t width =
            DecodeWidth > PassColumnStart[pass]
                ? (DecodeWidth - PassColumnStart[pass] + PassColumnStep[pass] - 1) / PassColumnStep[pass]
                : 0;
        RowLength = PngRowBytes(width, h.ColorType, h.BitDepth == 2 ? 4 : h.BitDepth);
        std::memset(FilteredRows[0].get(), 0, static_cast<std::size_t>(RowLength));
        if (RowLength == 0) continue;
        const TRowPackArgs args{OwnerImage()->EncodeGamma.data(), RowLength};
        for (std::int32_t y = PassRowStart[pass]; y < DecodeHeight; y += PassRowStep[pass]) {
            pack.Interlaced(args, h.PixelRow(y), h.LowByteRow(y), h.AlphaRow(y), RawRow.get(),
                            PassColumnStart[pass], PassColumnStep[pass], width);
            EmitScanline(state);
        }
    }
    FlushCompressor(state);
}

bool TChunkIDAT::WriteChunk(TStream& stream) {
    TPNGObject& owner = *OwnerImage();
    DecodeHeader = &HeaderChunk();
    if (DecodeHeader->PixelRows() == nullptr) return true; // no image memory: nothing to encode
    DecodeWidth = static_cast<std::int32_t>(DecodeHeader->Width);
    DecodeHeight = static_cast<std::int32_t>(DecodeHeader->Height);
    const TPNGObject::TRowGeometry geometry = owner.RowGeometry();
    RowLength = geometry.RowLength;
    FilterDistance = geometry.FilterDistance;
    WriteFilterSet = owner.FilterSet;
    WriteLimit = owner.IdatLimit();

    const auto size = static_cast<std::size_t>(RowLength) + 1;
    RawRow = std::make_unique<std::uint8_t[]>(size);
    FilteredRows[0] = std::make_unique<std::uint8_t[]>(size);
    for (int n = 1; n <= 4; ++n)
        if (WriteFilterSet & (1u << n)) FilteredRows[n] = std::make_unique<std::uint8_t[]>(size);

    ZlibState state;
    const int started =
        BeginDeflate(&stream, owner.DeflateLevel, static_cast<std::size_t>(WriteLimit), state);
    TDeflateGuard guard{state};
    if (started != Z_OK) RaiseZlib(state.ZStream, started);
    switch (owner.InterlaceMode) {
    case 0: EncodeSequential(stream, state); break;
    case 1: EncodeAdam7(stream, state); break;
    default: break; // no image data
    }
    RawRow.reset();
    for (auto& row : FilteredRows)
        row.reset();
    return true;
}
