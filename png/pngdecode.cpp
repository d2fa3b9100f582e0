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
#include "png/pnginflate.h"
#include "png/pnglang.h"
#include "png/pngobject.h"
#include "png/pngrowstore.h"
#include "png/pngzlib.h"
#include "toolkit/core/exception.h"
#include "toolkit/core/stream.h"

VORLANTH_DEFINE_CHUNK_CLASS(TChunkIDAT, TChunk)

namespace {

// One decode of the image data: the inflater, our own count of the stream's position against the
// end of the current chunk, the running checksum, and the current and previous row.
class TIdatReader {
public:
    TIdatReader(TPNGObject& owner, TChunkIHDR& header, TStream& stream, TInflateEngine engine)
        : Owner(owner), Header(header), Stream(stream), Engine(engine) {}
    // Decodes from the first chunk's data (its type read, length bytes to come) up to and including
    // the last chunk's checksum.
    void Run(const TChunkTypeCode& typeCode, std::int32_t length);
    // Whether the decode failed for memory rather than for the data.
    bool OutOfMemory() const { return FOutOfMemory; }

private:
    void BuildGrayRamp();
    void NextChunk();
    std::int32_t ReadCompressed(std::uint8_t* destination, std::int32_t count);
    // Up to count bytes of the stream: in place from a stream in memory, else read into InputBlock.
    const std::uint8_t* TakeInput(std::int32_t& count);
    // Copies the rest of the current chunk and as many following small IDAT chunks as fit into
    // Staging, each checked against its CRC, and gives them to the inflater; false when none was
    // small enough (or there was nothing left).
    bool GatherInput();
    void ReadChunkCrc();
    [[noreturn]] void Fail(int result) {
        FOutOfMemory = result == Z_MEM_ERROR;
        RaiseZlibError(pnglang::ZlibMessage(result));
    }
    // Reads, unfilters and stores the pass's rows of RowLength bytes until the image or the data ends.
    void DecodeRows(TRowStoreRoutine store, const TPass& pass, std::int32_t width);
    void CheckCrc();

    TPNGObject& Owner;
    TChunkIHDR& Header;
    TStream& Stream;
    TCustomMemoryStream* const InMemory = dynamic_cast<TCustomMemoryStream*>(&Stream);
    TInflateEngine Engine;
    std::unique_ptr<TImageInflater> Inflater;
    TInflateBuffers Io;
    std::unique_ptr<std::uint8_t[]> InputBlock; // ZlibInflateBlock bytes of compressed data
    // The most compressed bytes taken in one step: a whole chunk from memory, else InputBlock's size.
    std::int64_t InputStep = ZlibInflateBlock;
    // The fast inflaters lose much of their speed on the small chunks most writers use (8 KiB): their
    // data is gathered, so each step of the inflater has kStagingSize bytes. zlib reads as ever (it
    // is the reference for damaged streams, and gains nothing).
    static constexpr std::int64_t kGatherBelow = 64 * 1024; // chunks this long or longer are not gathered
    static constexpr std::size_t kStagingSize = 256 * 1024;
    std::unique_ptr<std::uint8_t[]> Staging; // null: no gathering
    bool CrcDone = false;                    // the current chunk is read, its CRC included
    std::uint32_t Crc = 0;
    std::int64_t ChunkEnd = 0;
    std::int64_t StreamPosition = 0;
    bool StreamFinished = false; // the inflater has nothing more to give
    std::int32_t Height = 0;
    std::int32_t RowLength = 0; // of the current pass
    std::int32_t FilterDistance = 0;
    TUnfilterRoutine Unfilter = nullptr;
    TUnfilterPairRoutine UnfilterPair = nullptr; // null: rows one at a time
    TUnfilterQuadRoutine UnfilterQuad = nullptr; // null: in pairs at most
    // The previous row, then room for BatchRows rows that are inflated in one call, each of
    // RowLength + 1 bytes (the filter type first).
    std::unique_ptr<std::uint8_t[]> Rows;
    std::int32_t BatchRows = 1;
    std::int32_t FullRowLength = 0; // of the image's rows, which the batch is made for
    bool FOutOfMemory = false;
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
    UnfilterPair = SelectUnfilterPair(FilterDistance);
    UnfilterQuad = SelectUnfilterQuad(FilterDistance);

    int started = Z_OK;
    Inflater = MakeImageInflater(Engine, started);
    if (!Inflater) {
        FOutOfMemory = true;
        RaiseZlibError(pnglang::ZlibMessage(started));
    }
    if (InMemory != nullptr)
        InputStep = PngMaxChunkLength;
    else
        InputBlock = std::make_unique_for_overwrite<std::uint8_t[]>(ZlibInflateBlock);
    if (Engine != TInflateEngine::Zlib)
        Staging = std::make_unique_for_overwrite<std::uint8_t[]>(kStagingSize);
    StreamPosition = Stream.Position();
    ChunkEnd = StreamPosition + length;
    // Rows are inflated several at a time: fewer, larger steps for the inflater (never more rows
    // than the image has, so small images take small buffers).
    constexpr std::int32_t batchBytes = 128 * 1024;
    BatchRows = std::clamp(batchBytes / (RowLength + 1), 1, std::max(1, Height));
    FullRowLength = RowLength;
    Rows = std::make_unique<std::uint8_t[]>(
        static_cast<std::size_t>(RowLength + 1) * std::size_t(BatchRows + 1) + kUnfilterReadPast);

    if (Header.PixelRows() != nullptr) {
        const TRowStore store = SelectRowStore(Header.ColorType, Header.BitDepth, Owner.DecodeGamma.data());
        const auto width = static_cast<std::int32_t>(Header.Width);
        if (Owner.InterlaceMode == PngInterlaceNone && store.Sequential != nullptr)
            DecodeRows(store.Sequential, WholeImage, width);
        if (Owner.InterlaceMode == PngInterlaceAdam7 && store.Interlaced != nullptr) {
            for (const TPass& pass : Adam7Passes) {
                RowLength = PngRowBytes(pass.Width(width), Header.ColorType, Header.BitDepth);
                // Each pass starts with a zero previous row.
                std::memset(Rows.get(), 0, static_cast<std::size_t>(RowLength) + 1);
                if (RowLength != 0) DecodeRows(store.Interlaced, pass, pass.Width(width));
            }
        }
    }
    CheckCrc();
}

// Decoding may stop inside the chunk's data (rows complete before a large chunk is used up): the
// rest is read, so the checksum that follows is compared over all of it.
void TIdatReader::CheckCrc() {
    if (CrcDone) return;
    while (StreamPosition < ChunkEnd) {
        const auto want =
            static_cast<std::int32_t>(std::min<std::int64_t>(ChunkEnd - StreamPosition, InputStep));
        std::int32_t got = want;
        const std::uint8_t* const data = TakeInput(got);
        if (got <= 0) break;
        Crc = UpdatePngCrc(Crc, data, got);
        StreamPosition += got;
    }
    std::uint8_t stored[4] = {};
    Stream.Read(stored, 4);
    if (ReadBE32(stored) != (Crc ^ 0xFFFFFFFFu)) RaisePngError<EPngInvalidCRC>(pnglang::EPngInvalidCRCText);
}

// Reads the current chunk's CRC (its data all read) and compares it; a mismatch raises.
void TIdatReader::ReadChunkCrc() {
    std::uint8_t bytes[4] = {};
    Stream.Read(bytes, 4);
    if (ReadBE32(bytes) != (Crc ^ 0xFFFFFFFFu)) RaisePngError<EPngInvalidCRC>(pnglang::EPngInvalidCRCText);
    CrcDone = true;
}

// Crosses from the exhausted IDAT chunk into the next one; errors raise.
void TIdatReader::NextChunk() {
    if (!CrcDone) ReadChunkCrc();
    std::uint8_t bytes[8] = {};
    Stream.Read(bytes, 8);
    if (std::memcmp(bytes + 4, "IDAT", 4) != 0)
        RaisePngError<EPNGMissingMultipleIDAT>(pnglang::EPNGMissingMultipleIDATText);
    const std::uint32_t length = ReadBE32(bytes);
    if (length > PngMaxChunkLength) RaisePngError<EPngInvalidCRC>(pnglang::EPngInvalidCRCText);
    Crc = UpdatePngCrc(0xFFFFFFFFu, bytes + 4, 4);
    CrcDone = false;
    StreamPosition += 12;
    ChunkEnd = StreamPosition + length;
}

bool TIdatReader::GatherInput() {
    std::size_t used = 0;
    for (;;) {
        if (StreamPosition == ChunkEnd) {
            if (!CrcDone) ReadChunkCrc();
            // Go on into the next chunk only when it is a small IDAT chunk that fits.
            const std::int64_t header = Stream.Position();
            std::uint8_t bytes[8] = {};
            const std::uint32_t length = Stream.Read(bytes, 8) == 8 ? ReadBE32(bytes) : PngMaxChunkLength;
            if (std::memcmp(bytes + 4, "IDAT", 4) != 0 || length >= kGatherBelow ||
                length > kStagingSize - used) {
                Stream.SetPosition(header);
                break;
            }
            Crc = UpdatePngCrc(0xFFFFFFFFu, bytes + 4, 4);
            CrcDone = false;
            StreamPosition += 12;
            ChunkEnd = StreamPosition + length;
            continue;
        }
        const auto want = static_cast<std::int32_t>(
            std::min<std::int64_t>(ChunkEnd - StreamPosition, std::int64_t(kStagingSize - used)));
        if (want == 0) break; // full
        const std::int32_t got = Stream.Read(Staging.get() + used, want);
        if (got <= 0) break;
        Crc = UpdatePngCrc(Crc, Staging.get() + used, got);
        StreamPosition += got;
        used += static_cast<std::size_t>(got);
        if (got < want) break; // the stream has ended
    }
    Io.NextIn = Staging.get();
    Io.AvailIn = used;
    return used != 0;
}

const std::uint8_t* TIdatReader::TakeInput(std::int32_t& count) {
    if (InMemory != nullptr) return InMemory->ReadInPlace(count);
    count = count > 0 ? Stream.Read(InputBlock.get(), count) : 0;
    return InputBlock.get();
}

std::int32_t TIdatReader::ReadCompressed(std::uint8_t* destination, std::int32_t count) {
    if (StreamFinished) return 0;
    Io.NextOut = destination;
    Io.AvailOut = static_cast<std::size_t>(count);
    while (Io.AvailOut > 0) {
        if (Io.AvailIn == 0) {
            // The inflater may still hold output for input it has already taken: let it give that
            // first, so the reader never looks past the last chunk it needs.
            const std::size_t before = Io.AvailOut;
            const int r = Inflater->Inflate(Io);
            if (r == Z_STREAM_END || r == Z_NEED_DICT) {
                StreamFinished = true;
                break;
            }
            if (r < 0 && r != Z_BUF_ERROR) Fail(r);
            if (Io.AvailOut != before) continue;

            if (Staging && ChunkEnd - StreamPosition < kGatherBelow && GatherInput()) continue;
            while (StreamPosition == ChunkEnd)
                NextChunk(); // empty chunks carry nothing
            const auto want =
                static_cast<std::int32_t>(std::min<std::int64_t>(ChunkEnd - StreamPosition, InputStep));
            std::int32_t got = want;
            const std::uint8_t* const data = TakeInput(got);
            if (got <= 0) break; // the stream has ended
            StreamPosition += got;
            Crc = UpdatePngCrc(Crc, data, got);
            Io.NextIn = data;
            Io.AvailIn = static_cast<std::size_t>(got);
        }
        const int r = Inflater->Inflate(Io);
        if (r == Z_STREAM_END || r == Z_NEED_DICT) {
            // The compressed stream is over: rows not reached stay zero.
            StreamFinished = true;
            break;
        }
        if (r < 0) Fail(r);
    }
    return count - static_cast<std::int32_t>(Io.AvailOut);
}

void TIdatReader::DecodeRows(TRowStoreRoutine store, const TPass& pass, std::int32_t width) {
    const TRowStoreArgs args{Owner.DecodeGamma.data(), RowLength};
    const TChunkIHDR& h = Header;
    const std::int32_t pitch = RowLength + 1;
    std::uint8_t* const prior = Rows.get();
    std::uint8_t* const batch = prior + pitch;
    // The narrower rows of an Adam7 pass fill the same room: as many as fit in one call.
    const std::int32_t batchRows =
        static_cast<std::int32_t>(std::int64_t(BatchRows) * (std::int64_t(FullRowLength) + 1) / pitch);
    std::int32_t y = pass.RowStart;
    while (y < Height) {
        const std::int32_t rows = std::min(batchRows, (Height - y + pass.RowStep - 1) / pass.RowStep);
        const std::int32_t got = ReadCompressed(batch, rows * pitch);
        // A row cut short by the end of the data is completed with zeros.
        const std::int32_t ready = (got + pitch - 1) / pitch;
        if (got % pitch != 0) std::memset(batch + got, 0, static_cast<std::size_t>(ready * pitch - got));
        const std::uint8_t* above = prior;
        for (std::int32_t j = 0; j < ready;) {
            std::uint8_t* row = batch + std::ptrdiff_t(j) * pitch;
            // Four rows of filters that run from pixel to pixel (Average, Paeth) go together where
            // a routine for them exists; else two rows where the routine allows it and the first
            // is of such a filter. Any other first row goes alone, so that its follower can pair
            // with the row after it.
            const bool quad = UnfilterQuad != nullptr && j + 3 < ready && IsChainedFilter(row[0]) &&
                              IsChainedFilter(row[pitch]) && IsChainedFilter(row[2 * pitch]) &&
                              IsChainedFilter(row[3 * pitch]);
            const std::int32_t together =
                quad                                                                  ? 4
                : UnfilterPair != nullptr && j + 1 < ready && IsChainedFilter(row[0]) ? 2
                                                                                      : 1;
            if (quad)
                UnfilterQuad(row, pitch, above, RowLength);
            else if (together == 2)
                UnfilterPair(row, row + pitch, above, RowLength, FilterDistance);
            else
                Unfilter(row, above, RowLength, FilterDistance);
            for (std::int32_t k = 0; k < together; ++k, ++j, y += pass.RowStep) {
                above = batch + std::ptrdiff_t(j) * pitch;
                store(args, above + 1, h.PixelRow(y), h.LowByteRow(y), h.AlphaRow(y), pass.ColumnStart,
                      pass.ColumnStep, width);
            }
        }
        if (ready < rows) return; // the data has ended
        std::memcpy(prior, above, static_cast<std::size_t>(pitch));
    }
}

} // namespace

bool TChunkIDAT::ReadBody(TStream& stream, const TChunkTypeCode& typeCode, std::int32_t length) {
    TChunkIHDR& header = HeaderChunk();
    const TInflateEngine engine = ImageInflateEngine();
    if (engine == TInflateEngine::Zlib) {
        TIdatReader(*OwnerImage(), header, stream, engine).Run(typeCode, length);
        return true;
    }
    const std::int64_t start = stream.Position();
    TIdatReader fast(*OwnerImage(), header, stream, engine);
    try {
        fast.Run(typeCode, length);
    } catch (const Exception& error) {
        // Memory refused is no verdict on the data.
        if (fast.OutOfMemory() || dynamic_cast<const EOutOfResources*>(&error) != nullptr ||
            dynamic_cast<const EPNGOutMemory*>(&error) != nullptr)
            throw;
        // A faster inflater reads ahead in larger steps, so in a damaged stream it may meet another
        // fault first than zlib does (a chunk's checksum before the broken data, or the reverse). The
        // verdict on a damaged stream is zlib's: the image data is read once more by zlib, from
        // cleared image memory.
        stream.SetPosition(start);
        if (std::uint8_t* rows = header.PixelRows()) {
            const auto bytes = static_cast<std::size_t>(header.RowStride()) * header.Height;
            std::memset(rows, 0, bytes);
            if (header.LowBytePlane() != nullptr) std::memset(header.LowBytePlane(), 0, bytes);
            if (header.AlphaPlane() != nullptr)
                std::memset(header.AlphaPlane(), 0, std::size_t(header.Width) * header.Height);
        }
        TIdatReader(*OwnerImage(), header, stream, TInflateEngine::Zlib).Run(typeCode, length);
    }
    return true;
}
