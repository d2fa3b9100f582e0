// Reading side of the image-data chunk: inflate, unfilter, store.
#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/gdi.h"
#include "png/pngcrc.h"
#include "png/pngerrors.h"
#include "png/pngformat.h"
#include "png/pngheader.h"
#include "png/pngidat.h"
#include "png/pnglang.h"
#include "png/pngobject.h"
#include "png/pngrowstore.h"
#include "png/pngzlib.h"
#include "toolkit/core/stream.h"

VORLANTH_DEFINE_CHUNK_CLASS(TChunkIDAT, TChunk)

namespace {

// Ends the inflation whatever way the decode leaves.
struct TInflateGuard {
    ZlibState& State;
    ~TInflateGuard() { EndInflate(State); }
};

// One decode of the image data: the zlib stream, our own count of the stream's position against the
// end of the current chunk, the running checksum, and the current and previous row.
class TIdatReader {
public:
    TIdatReader(TPNGObject& owner, TChunkIHDR& header, TStream& stream)
        : Owner(owner), Header(header), Stream(stream) {}
    // Decodes from the first chunk's data (its type read, length bytes to come) up to and including
    // the last chunk's checksum.
    void Run(const TChunkTypeCode& typeCode, std::int32_t length);

private:
    void BuildGrayRamp();
    void NextChunk();
    std::int32_t ReadCompressed(std::uint8_t* destination, std::int32_t count);
    // Reads, unfilters and stores the pass's rows of RowLength bytes until the image or the data ends.
    void DecodeRows(TRowStoreRoutine store, const TPass& pass, std::int32_t width);
    void CheckCrc();

    TPNGObject& Owner;
    TChunkIHDR& Header;
    TStream& Stream;
    ZlibState State;
    std::uint32_t Crc = 0;
    std::int64_t ChunkEnd = 0;
    std::int64_t StreamPosition = 0;
    bool StreamFinished = false; // zlib has nothing more to give
    std::int32_t Height = 0;
    std::int32_t RowLength = 0; // of the current pass
    std::int32_t FilterDistance = 0;
    TUnfilterRoutine Unfilter = nullptr;
    std::unique_ptr<std::uint8_t[]> RowBuffers[2];
    std::uint8_t CurrentBuffer = 1;
};

// The gray ramp that gray rows index, made with the final decode gamma. Gray with alpha keeps no
// palette, so none is made for it.
void TIdatReader::BuildGrayRamp() {
    if (Header.ColorType != pctGray) return;
    Header.InstallPalette(CreateGrayRamp(Owner.DecodeGamma.data(), 1 << Header.RowBits()));
}

void TIdatReader::Run(const TChunkTypeCode& typeCode, std::int32_t length) {
    if (Header.IndexedRows) BuildGrayRamp();
    Height = static_cast<std::int32_t>(Header.Height);
    Crc = UpdatePngCrc(0xFFFFFFFFu, typeCode.data(), 4);
    const TPNGObject::TRowGeometry geometry = Owner.RowGeometry();
    RowLength = geometry.RowLength;
    FilterDistance = geometry.FilterDistance;
    Unfilter = SelectUnfilter(FilterDistance);

    const int started = BeginInflate(&Stream, State);
    TInflateGuard guard{State};
    if (started != Z_OK) RaiseZlibError(pnglang::ZlibMessage(started));
    StreamPosition = Stream.Position();
    ChunkEnd = StreamPosition + length;
    for (auto& buffer : RowBuffers)
        buffer = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(RowLength) + 1);

    if (Header.PixelRows() != nullptr) {
        const TRowStore store = SelectRowStore(Header.ColorType, Header.BitDepth, Owner.DecodeGamma.data());
        const auto width = static_cast<std::int32_t>(Header.Width);
        if (Owner.InterlaceMode == PngInterlaceNone && store.Sequential != nullptr)
            DecodeRows(store.Sequential, WholeImage, width);
        if (Owner.InterlaceMode == PngInterlaceAdam7 && store.Interlaced != nullptr) {
            for (const TPass& pass : Adam7Passes) {
                RowLength = PngRowBytes(pass.Width(width), Header.ColorType, Header.BitDepth);
                // Each pass starts with a zero previous row.
                std::memset(RowBuffers[1 - CurrentBuffer].get(), 0, static_cast<std::size_t>(RowLength) + 1);
                if (RowLength != 0) DecodeRows(store.Interlaced, pass, pass.Width(width));
            }
        }
    }
    CheckCrc();
}

// Decoding may stop inside the chunk's data (rows complete before a large chunk is used up): the
// rest is read, so the checksum that follows is compared over all of it.
void TIdatReader::CheckCrc() {
    while (StreamPosition < ChunkEnd) {
        const auto want =
            static_cast<std::int32_t>(std::min<std::int64_t>(ChunkEnd - StreamPosition, ZlibInflateBlock));
        const std::int32_t got = Stream.Read(State.Buffer.get(), want);
        if (got <= 0) break;
        Crc = UpdatePngCrc(Crc, State.Buffer.get(), got);
        StreamPosition += got;
    }
    std::uint8_t stored[4] = {};
    Stream.Read(stored, 4);
    if (ReadBE32(stored) != (Crc ^ 0xFFFFFFFFu)) RaisePngError<EPngInvalidCRC>(pnglang::EPngInvalidCRCText);
}

// Crosses from the exhausted IDAT chunk into the next one; errors raise.
void TIdatReader::NextChunk() {
    std::uint8_t bytes[12] = {};
    Stream.Read(bytes, 4);
    if (ReadBE32(bytes) != (Crc ^ 0xFFFFFFFFu)) RaisePngError<EPngInvalidCRC>(pnglang::EPngInvalidCRCText);
    Stream.Read(bytes + 4, 8);
    if (std::memcmp(bytes + 8, "IDAT", 4) != 0)
        RaisePngError<EPNGMissingMultipleIDAT>(pnglang::EPNGMissingMultipleIDATText);
    const std::uint32_t length = ReadBE32(bytes + 4);
    if (length > PngMaxChunkLength) RaisePngError<EPngInvalidCRC>(pnglang::EPngInvalidCRCText);
    Crc = UpdatePngCrc(0xFFFFFFFFu, bytes + 8, 4);
    StreamPosition += 12;
    ChunkEnd = StreamPosition + length;
}

std::int32_t TIdatReader::ReadCompressed(std::uint8_t* destination, std::int32_t count) {
    if (StreamFinished) return 0;
    z_stream& z = State.ZStream;
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
            if (r < 0 && r != Z_BUF_ERROR) RaiseZlibError(pnglang::ZlibMessage(r));
            if (z.avail_out != before) continue;

            while (StreamPosition == ChunkEnd)
                NextChunk(); // empty chunks carry nothing
            const auto want = static_cast<std::int32_t>(
                std::min<std::int64_t>(ChunkEnd - StreamPosition, ZlibInflateBlock));
            const std::int32_t got = want > 0 ? Stream.Read(State.Buffer.get(), want) : 0;
            if (got <= 0) break; // the stream has ended
            StreamPosition += got;
            Crc = UpdatePngCrc(Crc, State.Buffer.get(), got);
            z.next_in = State.Buffer.get();
            z.avail_in = static_cast<uInt>(got);
        }
        const int r = inflate(&z, Z_NO_FLUSH);
        if (r == Z_STREAM_END || r == Z_NEED_DICT) {
            // The compressed stream is over: rows not reached stay zero.
            StreamFinished = true;
            break;
        }
        if (r < 0) RaiseZlibError(pnglang::ZlibMessage(r));
    }
    return count - static_cast<std::int32_t>(z.avail_out);
}

void TIdatReader::DecodeRows(TRowStoreRoutine store, const TPass& pass, std::int32_t width) {
    const TRowStoreArgs args{Owner.DecodeGamma.data(), RowLength};
    const TChunkIHDR& h = Header;
    for (std::int32_t y = pass.RowStart; y < Height; y += pass.RowStep) {
        std::uint8_t* row = RowBuffers[CurrentBuffer].get();
        if (ReadCompressed(row, RowLength + 1) == 0) return;
        Unfilter(row, RowBuffers[1 - CurrentBuffer].get(), RowLength, FilterDistance);
        store(args, row + 1, h.PixelRow(y), h.LowByteRow(y), h.AlphaRow(y), pass.ColumnStart, pass.ColumnStep,
              width);
        CurrentBuffer = static_cast<std::uint8_t>(1 - CurrentBuffer);
    }
}

} // namespace

bool TChunkIDAT::ReadBody(TStream& stream, const TChunkTypeCode& typeCode, std::int32_t length) {
    TIdatReader(*OwnerImage(), HeaderChunk(), stream).Run(typeCode, length);
    return true;
}
