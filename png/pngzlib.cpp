#include "png/pngzlib.h"

#include <algorithm>
#include <cstdlib>

#include "platform/faults.h"
#include "png/pngerrors.h"
#include "png/pnglang.h"

namespace {

// zlib checks the record size against its own; on a 64-bit build that is not the 32-bit record size,
// so the real one is passed.
constexpr int ZStreamSize = static_cast<int>(sizeof(z_stream));

// zlib's working memory comes through the failure sweeps' allocation points, so that a refused block
// shows as zlib's memory failure.
voidpf SweptAlloc(voidpf, uInt items, uInt size) {
    return faults::ShouldFail() ? Z_NULL : std::malloc(std::size_t(items) * size);
}
void SweptFree(voidpf, voidpf block) {
    std::free(block);
}

// Clears the state and gives it a block of size bytes.
void Prepare(TStream* stream, std::size_t size, ZlibState& state) {
    state = ZlibState{};
    state.Buffer = std::make_unique<std::uint8_t[]>(size);
    state.BufferSize = size;
    state.PngStream = stream;
    UseSweptAllocator(state.ZStream);
}

// Runs a whole buffer through zlib in small steps, inflating or deflating. Every negative code is an
// error when inflating (a truncated stream ends in Z_BUF_ERROR: no progress is possible without more
// input); when deflating Z_BUF_ERROR only means that a call made no progress.
bool RunBuffer(bool inflating, const std::uint8_t* input, std::size_t inputSize, int level,
               std::vector<std::uint8_t>& output, std::string& errorText, std::size_t limit) {
    output.clear();
    z_stream z{};
    UseSweptAllocator(z);
    z.next_in = const_cast<Bytef*>(input);
    z.avail_in = static_cast<uInt>(inputSize);
    int r = inflating ? inflateInit_(&z, PngZlibVersion, ZStreamSize)
                      : deflateInit_(&z, std::clamp(level, 0, 9), PngZlibVersion, ZStreamSize);
    if (r != Z_OK) {
        errorText = ZlibErrorText(z, r);
        return false;
    }
    std::uint8_t staging[256];
    bool result = true;
    for (;;) {
        z.next_out = staging;
        z.avail_out = sizeof staging;
        r = inflating ? inflate(&z, Z_NO_FLUSH) : deflate(&z, Z_FINISH);
        if (r < 0 && (inflating || r != Z_BUF_ERROR)) {
            errorText = ZlibErrorText(z, r);
            result = false;
            break;
        }
        const std::size_t produced = sizeof staging - z.avail_out;
        if (output.size() + produced > limit) {
            errorText = "output limit exceeded";
            result = false;
            break;
        }
        output.insert(output.end(), staging, staging + produced);
        if (r == Z_STREAM_END) break;
        if (inflating && r != Z_OK) { // Z_NEED_DICT: no more output can come
            errorText = pnglang::ZlibMessage(r);
            result = false;
            break;
        }
    }
    inflating ? inflateEnd(&z) : deflateEnd(&z);
    return result;
}

} // namespace

void UseSweptAllocator(z_stream& z) {
    z.zalloc = SweptAlloc;
    z.zfree = SweptFree;
}

std::string ZlibErrorText(const z_stream& z, int code) {
    return z.msg != nullptr ? std::string(z.msg) : std::string(pnglang::ZlibMessage(code));
}

void RaiseZlibError(const std::string& text) {
    RaisePngError<EPNGZLIBError>(pnglang::EPNGZLIBErrorText + text);
}

int BeginDeflate(TStream* stream, int level, std::size_t bufferSize, ZlibState& state) {
    Prepare(stream, bufferSize, state);
    state.ZStream.next_out = state.Buffer.get();
    state.ZStream.avail_out = static_cast<uInt>(bufferSize);
    return deflateInit_(&state.ZStream, std::clamp(level, 0, 9), PngZlibVersion, ZStreamSize);
}

void EndDeflate(ZlibState& state) {
    deflateEnd(&state.ZStream);
    state.Buffer.reset();
    state.BufferSize = 0;
}

bool InflateBuffer(const std::uint8_t* input, std::size_t inputSize, std::vector<std::uint8_t>& output,
                   std::string& errorText, std::size_t limit) {
    return RunBuffer(true, input, inputSize, 0, output, errorText, limit);
}

bool DeflateBuffer(const std::uint8_t* input, std::size_t inputSize, int level,
                   std::vector<std::uint8_t>& output, std::string& errorText) {
    return RunBuffer(false, input, inputSize, level, output, errorText, SIZE_MAX);
}
