// Reading side of the image-data chunk: inflate, unfilter, store.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

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

std::atomic<std::int64_t> WorkerThreshold{std::int64_t{1} << 20};

// Unfilters and stores the rows of one pass, batch after batch in the order they were inflated,
// keeping the last row of each batch as the previous row of the next.
class TRowSink {
public:
    TRowSink(const TChunkIHDR& header, const TRowStoreArgs& args, TRowStoreRoutine store, const TPass& pass,
             std::int32_t width, TUnfilterRoutine unfilter, TUnfilterPairRoutine pair, std::int32_t distance)
        : Header(header), Args(args), Store(store), Pass(pass), Width(width), Unfilter(unfilter),
          UnfilterPair(pair), Distance(distance), Pitch(args.RowLength + 1),
          Prior(std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(Pitch))), Y(pass.RowStart) {}

    // Takes count rows of Pitch bytes each (filter type first); unfilters them in place.
    void Consume(std::uint8_t* batch, std::int32_t count) {
        const std::int32_t length = Args.RowLength;
        const std::uint8_t* above = Prior.get();
        for (std::int32_t j = 0; j < count;) {
            std::uint8_t* row = batch + std::ptrdiff_t(j) * Pitch;
            // Two rows together where the routine allows it.
            const std::int32_t together = UnfilterPair != nullptr && j + 1 < count ? 2 : 1;
            if (together == 2)
                UnfilterPair(row, row + Pitch, above, length, Distance);
            else
                Unfilter(row, above, length, Distance);
            for (std::int32_t k = 0; k < together; ++k, ++j, Y += Pass.RowStep) {
                above = batch + std::ptrdiff_t(j) * Pitch;
                Store(Args, above + 1, Header.PixelRow(Y), Header.LowByteRow(Y), Header.AlphaRow(Y),
                      Pass.ColumnStart, Pass.ColumnStep, Width);
            }
        }
        if (count > 0) std::memcpy(Prior.get(), above, static_cast<std::size_t>(Pitch));
    }

private:
    const TChunkIHDR& Header;
    const TRowStoreArgs Args;
    const TRowStoreRoutine Store;
    const TPass Pass;
    const std::int32_t Width;
    const TUnfilterRoutine Unfilter;
    const TUnfilterPairRoutine UnfilterPair;
    const std::int32_t Distance, Pitch;
    std::unique_ptr<std::uint8_t[]> Prior;
    std::int32_t Y;
};

// Runs sinks on a second thread, so that batches are unfiltered and stored while the next ones are
// inflated. A ring of batch buffers goes round: the reader fills the next free one and hands it over
// with the sink of its pass; the worker empties them in the same order. Destroying the pipeline
// waits until every batch handed over is stored, so the image holds the same rows as without it
// also when the reader stops with an error.
class TRowPipeline {
public:
    // Starts the worker; throws std::system_error when no thread can be made.
    explicit TRowPipeline(std::size_t batchBytes) {
        for (TSlot& slot : Slots)
            slot.Rows = std::make_unique_for_overwrite<std::uint8_t[]>(batchBytes);
        Worker = std::thread([this] { Work(); });
    }
    ~TRowPipeline() {
        {
            const std::lock_guard lock(Mutex);
            Done = true;
        }
        Changed.notify_all();
        Worker.join();
    }
    TRowPipeline(const TRowPipeline&) = delete;
    TRowPipeline& operator=(const TRowPipeline&) = delete;

    // The buffer to fill next, once the worker is done with it.
    std::uint8_t* Next() {
        std::unique_lock lock(Mutex);
        Changed.wait(lock, [this] { return Slots[Filling].Sink == nullptr; });
        return Slots[Filling].Rows.get();
    }
    // The buffer from Next holds count rows for the sink.
    void Hand(TRowSink& sink, std::int32_t count) {
        {
            const std::lock_guard lock(Mutex);
            Slots[Filling].Sink = &sink;
            Slots[Filling].Count = count;
            Filling = (Filling + 1) % kSlots;
        }
        Changed.notify_all();
    }

private:
    static constexpr int kSlots = 4;
    struct TSlot {
        std::unique_ptr<std::uint8_t[]> Rows;
        TRowSink* Sink = nullptr; // null while the slot is the reader's
        std::int32_t Count = 0;
    };

    void Work() {
        for (int at = 0;; at = (at + 1) % kSlots) {
            TSlot& slot = Slots[at];
            {
                std::unique_lock lock(Mutex);
                Changed.wait(lock, [&] { return Done || slot.Sink != nullptr; });
                // Batches are handed over in turn, so an empty slot after the last one means all are done.
                if (slot.Sink == nullptr) return;
            }
            slot.Sink->Consume(slot.Rows.get(), slot.Count);
            {
                const std::lock_guard lock(Mutex);
                slot.Sink = nullptr;
            }
            Changed.notify_all();
        }
    }

    TSlot Slots[kSlots];
    std::mutex Mutex;
    std::condition_variable Changed;
    int Filling = 0;
    bool Done = false;
    std::thread Worker;
};

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
    std::uint32_t Crc = 0;
    std::int64_t ChunkEnd = 0;
    std::int64_t StreamPosition = 0;
    bool StreamFinished = false; // the inflater has nothing more to give
    std::int32_t Height = 0;
    std::int32_t RowLength = 0; // of the current pass
    std::int32_t FilterDistance = 0;
    TUnfilterRoutine Unfilter = nullptr;
    TUnfilterPairRoutine UnfilterPair = nullptr; // null: rows one at a time
    // Room for BatchRows rows that are inflated in one call, each of RowLength + 1 bytes (the filter
    // type first).
    std::unique_ptr<std::uint8_t[]> Rows;
    std::int32_t BatchRows = 1;
    // The passes' sinks, then the worker that may still use them (so it goes first).
    std::vector<std::unique_ptr<TRowSink>> Sinks;
    std::unique_ptr<TRowPipeline> Pipeline;
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
    StreamPosition = Stream.Position();
    ChunkEnd = StreamPosition + length;
    // Rows are inflated several at a time: fewer, larger steps for the inflater (never more rows
    // than the image has, so small images take small buffers).
    constexpr std::int32_t batchBytes = 128 * 1024;
    BatchRows = std::clamp(batchBytes / (RowLength + 1), 1, std::max(1, Height));
    const std::size_t batchSize = static_cast<std::size_t>(RowLength + 1) * std::size_t(BatchRows);
    // Large images are stored by a second thread while the reader inflates.
    const std::int64_t threshold = WorkerThreshold.load();
    if (threshold >= 0 && std::int64_t(RowLength + 1) * Height >= threshold &&
        Header.PixelRows() != nullptr && std::thread::hardware_concurrency() > 1) {
        try {
            Pipeline = std::make_unique<TRowPipeline>(batchSize);
        } catch (const std::system_error&) {
            // No second thread: the rows are stored here.
        }
    }
    if (!Pipeline) Rows = std::make_unique_for_overwrite<std::uint8_t[]>(batchSize);
    // Whatever happens, every batch handed over is stored before the decode ends.
    struct TDrain {
        std::unique_ptr<TRowPipeline>& Pipeline;
        ~TDrain() { Pipeline.reset(); }
    } drain{Pipeline};

    if (Header.PixelRows() != nullptr) {
        const TRowStore store = SelectRowStore(Header.ColorType, Header.BitDepth, Owner.DecodeGamma.data());
        const auto width = static_cast<std::int32_t>(Header.Width);
        if (Owner.InterlaceMode == PngInterlaceNone && store.Sequential != nullptr)
            DecodeRows(store.Sequential, WholeImage, width);
        if (Owner.InterlaceMode == PngInterlaceAdam7 && store.Interlaced != nullptr) {
            for (const TPass& pass : Adam7Passes) {
                RowLength = PngRowBytes(pass.Width(width), Header.ColorType, Header.BitDepth);
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
    TRowSink& sink = *Sinks.emplace_back(
        std::make_unique<TRowSink>(Header, TRowStoreArgs{Owner.DecodeGamma.data(), RowLength}, store, pass,
                                   width, Unfilter, UnfilterPair, FilterDistance));
    const std::int32_t pitch = RowLength + 1;
    for (std::int32_t y = pass.RowStart; y < Height;) {
        const std::int32_t rows = std::min(BatchRows, (Height - y + pass.RowStep - 1) / pass.RowStep);
        std::uint8_t* const batch = Pipeline ? Pipeline->Next() : Rows.get();
        const std::int32_t got = ReadCompressed(batch, rows * pitch);
        // A row cut short by the end of the data is completed with zeros.
        const std::int32_t ready = (got + pitch - 1) / pitch;
        if (got % pitch != 0) std::memset(batch + got, 0, static_cast<std::size_t>(ready * pitch - got));
        if (Pipeline)
            Pipeline->Hand(sink, ready);
        else
            sink.Consume(batch, ready);
        if (ready < rows) break; // the data has ended
        y += rows * pass.RowStep;
    }
}

} // namespace

void SetDecodeWorkerThreshold(std::int64_t bytes) {
    WorkerThreshold.store(bytes);
}

std::int64_t DecodeWorkerThreshold() {
    return WorkerThreshold.load();
}

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
