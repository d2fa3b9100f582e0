// Image data inflated by ISA-L, answering as zlib does. Streams that zlib reads with rules of their
// own (a window smaller than 32 KiB, a preset dictionary, a header zlib refuses) go to zlib whole, so
// ISA-L sees only the common header and the results stay zlib's for every stream.
#include <isa-l/igzip_lib.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <memory>

#include "platform/faults.h"
#include "png/pnginflate.h"

namespace {

class TIsalInflater final : public TImageInflater {
public:
    int Inflate(TInflateBuffers& b) override {
        if (Zlib) return Zlib->Inflate(b);
        if (!Decided) {
            if (b.AvailIn == 0) return Z_BUF_ERROR;
            const std::uint8_t cmf = b.NextIn[0], flg = b.AvailIn > 1 ? b.NextIn[1] : 0;
            // Deflate with a 32 KiB window, the header's check right, no dictionary.
            if (b.AvailIn < 2 || cmf != 0x78 || ((cmf << 8) | flg) % 31 != 0 || (flg & 0x20) != 0) {
                int result = Z_OK;
                Zlib = MakeZlibInflater(result);
                return Zlib ? Zlib->Inflate(b) : result;
            }
            Decided = true;
        }
        State->next_in = const_cast<std::uint8_t*>(b.NextIn);
        State->avail_in = static_cast<std::uint32_t>(std::min<std::size_t>(b.AvailIn, UINT32_MAX));
        State->next_out = b.NextOut;
        State->avail_out = static_cast<std::uint32_t>(std::min<std::size_t>(b.AvailOut, UINT32_MAX));
        const std::uint32_t in = State->avail_in, out = State->avail_out;
        const int r = isal_inflate(State.get());
        b.NextIn += in - State->avail_in;
        b.AvailIn -= in - State->avail_in;
        b.NextOut += out - State->avail_out;
        b.AvailOut -= out - State->avail_out;
        if (r < 0) return Z_DATA_ERROR;
        if (State->block_state == ISAL_BLOCK_FINISH) return Z_STREAM_END;
        return in == State->avail_in && out == State->avail_out ? Z_BUF_ERROR : Z_OK;
    }

    std::unique_ptr<inflate_state> State = std::make_unique<inflate_state>();

private:
    std::unique_ptr<TImageInflater> Zlib;
    bool Decided = false;
};

} // namespace

bool IsalInflaterBuilt() {
    return true;
}

std::unique_ptr<TImageInflater> MakeIsalInflater(int& result) {
    // The state (about 100 KiB) is an allocation point of the failure sweeps, as zlib's are.
    if (faults::ShouldFail()) {
        result = Z_MEM_ERROR;
        return nullptr;
    }
    auto inflater = std::make_unique<TIsalInflater>();
    isal_inflate_init(inflater->State.get());
    inflater->State->crc_flag = ISAL_ZLIB;
    result = Z_OK;
    return inflater;
}
