// Reading side of the image-data chunk: inflate, unfilter, store.
#include <algorithm>
#include <cstring>
#include <string>

#include "platform/gdi.h"
#include "png/pngcrc.h"
#include "png/pngerrors.h"
#include "png/pngheader.h"
#include "png/pngidat.h"
#include "png/pnglang.h"
#include "png/pngobject.h"
#include "png/pngrowstore.h"
#include "toolkit/core/stream.h"

constinit const TChunkClass TChunkIDAT::Class{"TChunkIDAT", &TChunk::Class, &TChunkIDAT::Create};
TChunk* TChunkIDAT::Create(TPNGObject* owner) {
    return new TChunkIDAT(owner);
}

namespace {

[[noreturn]] void RaiseZlib(int code) {
    RaisePngError<EPNGZLIBError>(std::string(pnglang::EPNGZLIBErrorText) + pnglang::ZlibMessage(code));
}

bool IsIdentity(const TGammaTable& table) {
    for (int i = 0; i < 256; ++i)
        if (table[static_cast<std::size_t>(i)] != i) return false;
    return true;
}

// Ends the inflation whatever way the decode leaves.
struct TInflateGuard {
    ZlibState& State;
    ~TInflateGuard() { EndInflate(State); }
};

} // namespace

// The gray ramp that gray rows index, made with the final decode gamma. Gray with alpha keeps no
// palette, so none is made for it.
void TChunkIDAT::BuildDecodeGrayRamp() {
    if (DecodeHeader->ColorType != 0) return;
    DecodeHeader->InstallPalette(
        CreateGrayRamp(OwnerImage()->DecodeGamma.data(), 1 << DecodeHeader->RowBits()));
}

bool TChunkIDAT::ReadBody(TStream& stream, const TChunkTypeCode& typeCode, std::int32_t length) {
    DecodeHeader = &HeaderChunk();
    if (DecodeHeader->IndexedRows) BuildDecodeGrayRamp();
    DecodeWidth = static_cast<std::int32_t>(DecodeHeader->Width);
    DecodeHeight = static_cast<std::int32_t>(DecodeHeader->Height);
    std::uint32_t crc = UpdatePngCrc(0xFFFFFFFFu, typeCode.data(), 4);
    const TPNGObject::TRowGeometry geometry = OwnerImage()->RowGeometry();
    RowLength = geometry.RowLength;
    FilterDistance = geometry.FilterDistance;

    ZlibState state;
    const int started = BeginInflate(&stream, state);
    TInflateGuard guard{state};
    if (started != Z_OK) RaiseZlib(started);
    StreamPosition = stream.Position();
    ChunkEnd = StreamPosition + length;
    StreamFinished = false;
    RowBuffers[0] = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(RowLength) + 1);
    RowBuffers[1] = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(RowLength) + 1);
    CurrentBuffer = 1;

    if (DecodeHeader->PixelRows() != nullptr) {
        switch (OwnerImage()->InterlaceMode) {
        case 0: DecodeSequential(state, crc); break;
        case 1: DecodeAdam7(state, crc); break;
        default: break;
        }
    }
    // Decoding may stop inside this chunk's data (rows complete before a large chunk is used up):
    // read the rest, so the checksum that follows is compared over all of it.
    while (StreamPosition < ChunkEnd) {
        const auto want =
            static_cast<std::int32_t>(std::min<std::int64_t>(ChunkEnd - StreamPosition, ZlibInflateBlock));
        const std::int32_t got = stream.Read(state.Buffer.get(), want);
        if (got <= 0) break;
        crc = UpdatePngCrc(crc, state.Buffer.get(), got);
        StreamPosition += got;
    }
    RowBuffers[0].reset();
    RowBuffers[1].reset();

    std::uint8_t stored[4] = {};
    stream.Read(stored, 4);
    if (ReadBE32(stored) != (crc ^ 0xFFFFFFFFu)) RaisePngError<EPngInvalidCRC>(pnglang::EPngInvalidCRCText);
    return true;
}

// Crosses from the exhausted IDAT chunk into the next one; false never: errors raise.
bool TChunkIDAT::NextChunk(ZlibState& state, std::uint32_t& crc) {
    TStream& stream = *state.PngStream;
    std::uint8_t bytes[12] = {};
    stream.Read(bytes, 4);
    if (ReadBE32(bytes) != (crc ^ 0xFFFFFFFFu)) RaisePngError<EPngInvalidCRC>(pnglang::EPngInvalidCRCText);
    stream.Read(bytes + 4, 8);
    if (std::memcmp(bytes + 8, "IDAT", 4) != 0)
        RaisePngError<EPNGMissingMultipleIDAT>(pnglang::EPNGMissingMultipleIDATText);
    const std::uint32_t length = ReadBE32(bytes + 4);
    if (length > 0x7FFFFFFFu) RaisePngError<EPngInvalidCRC>(pnglang::EPngInvalidCRCText);
    crc = UpdatePngCrc(0xFFFFFFFFu, bytes + 8, 4);
    StreamPosition += 12;
    ChunkEnd = StreamPosition + length;
    return true;
}

std::int32_t TChunkIDAT::ReadCompressed(ZlibState& state, std::uint8_t* destination, std::uint32_t& crc,
                                        std::int32_t count) {
    if (StreamFinished) return 0;
    z_stream& z = state.ZStream;
    z.next_out = destination;
    z.avail_out = static_cast<uInt>(count);
    while (z.avail_out > 0) {
        if (z.avail_in == 0) {
            // zlib may still hold output for input it has already taken: let it give that first,
            // so the reader never looks past the last chunk it needs.
            const uInt before = z.avail_out;
            const int r = inflate(&z, Z_NO_FLUSH);
            if (r == Z_STREAM_END || r == Z_NEED_DICT) {
                StreamFinished = true;
                break;
            }
            if (r < 0 && r != Z_BUF_ERROR) RaiseZlib(r);
            if (z.avail_out != before) continue;

            while (StreamPosition == ChunkEnd)
                NextChunk(state, crc); // empty chunks carry nothing
            const auto want = static_cast<std::int32_t>(
                std::min<std::int64_t>(ChunkEnd - StreamPosition, ZlibInflateBlock));
            const std::int32_t got = want > 0 ? state.PngStream->Read(state.Buffer.get(), want) : 0;
            if (got <= 0) break; // the stream has ended
            StreamPosition += got;
            crc = UpdatePngCrc(crc, state.Buffer.get(), got);
            z.next_in = state.Buffer.get();
            z.avail_in = static_cast<uInt>(got);
        }
        const int r = inflate(&z, Z_NO_FLUSH);
        if (r == Z_STREAM_END || r == Z_NEED_DICT) {
            // The compressed stream is over: rows not reached stay zero.
            StreamFinished = true;
            break;
        }
        if (r < 0) RaiseZlib(r);
    }
    return count - static_cast<std::int32_t>(z.avail_out);
}

void TChunkIDAT::Unfilter() {
    UnfilterRow(RowBuffers[CurrentBuffer].get(), RowBuffers[1 - CurrentBuffer].get(), RowLength,
                FilterDistance);
}

void TChunkIDAT::DecodeSequential(ZlibState& state, std::uint32_t& crc) {
    TChunkIHDR& h = *DecodeHeader;
    const TRowStore store = SelectRowStore(h.ColorType, h.BitDepth, IsIdentity(OwnerImage()->DecodeGamma));
    if (store.Sequential == nullptr) return;
    const TRowStoreArgs args{OwnerImage()->DecodeGamma.data(), RowLength};
    for (std::int32_t y = 0; y < DecodeHeight; ++y) {
        std::uint8_t* row = RowBuffers[CurrentBuffer].get();
        if (ReadCompressed(state, row, crc, RowLength + 1) == 0) return;
        Unfilter();
        store.Sequential(args, row + 1, h.PixelRow(y), h.LowByteRow(y), h.AlphaRow(y), 0, 1, DecodeWidth);
        CurrentBuffer = static_cast<std::uint8_t>(1 - CurrentBuffer);
    }
}

void TChunkIDAT::DecodeAdam7(ZlibState& state, std::uint32_t& crc) {
    TChunkIHDR& h = *DecodeHeader;
    const TRowStore store = SelectRowStore(h.ColorType, h.BitDepth, IsIdentity(OwnerImage()->DecodeGamma));
    if (store.Interlaced == nullptr) return;
    for (int pass = 0; pass < 7; ++pass) {
        const std::int32_t width =
            DecodeWidth > PassColumnStart[pass]
                ? (DecodeWidth - PassColumnStart[pass] + PassColumnStep[pass] - 1) / PassColumnStep[pass]
                : 0;
        RowLength = PngRowBytes(width, h.ColorType, h.BitDepth);
        std::memset(RowBuffers[1 - CurrentBuffer].get(), 0, static_cast<std::size_t>(RowLength) + 1);
        if (RowLength == 0) continue;
        const TRowStoreArgs args{OwnerImage()->DecodeGamma.data(), RowLength};
        for (std::int32_t y = PassRowStart[pass]; y < DecodeHeight; y += PassRowStep[pass]) {
            std::uint8_t* row = RowBuffers[CurrentBuffer].get();
            if (ReadCompressed(state, row, crc, RowLength + 1) == 0) break;
            Unfilter();
            store.Interlaced(args, row + 1, h.PixelRow(y), h.LowByteRow(y), h.AlphaRow(y),
                             PassColumnStart[pass], PassColumnStep[pass], width);
            CurrentBuffer = static_cast<std::uint8_t>(1 - CurrentBuffer);
        }
    }
}
