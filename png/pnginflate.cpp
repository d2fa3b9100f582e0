#include "png/pnginflate.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>

#include "png/pngzlib.h"

namespace {

class TZlibInflater final : public TImageInflater {
public:
    explicit TZlibInflater(int& result) {
        UseSweptAllocator(Z);
        result = inflateInit_(&Z, PngZlibVersion, static_cast<int>(sizeof(z_stream)));
        Started = result == Z_OK;
    }
    ~TZlibInflater() override {
        if (Started) inflateEnd(&Z);
    }
    int Inflate(TInflateBuffers& b) override {
        // zlib counts in 32 bits: larger requests go in slices, which changes nothing it produces.
        Z.next_in = const_cast<Bytef*>(b.NextIn);
        Z.avail_in = static_cast<uInt>(std::min<std::size_t>(b.AvailIn, UINT32_MAX));
        Z.next_out = b.NextOut;
        Z.avail_out = static_cast<uInt>(std::min<std::size_t>(b.AvailOut, UINT32_MAX));
        const uInt in = Z.avail_in, out = Z.avail_out;
        const int r = inflate(&Z, Z_NO_FLUSH);
        b.NextIn += in - Z.avail_in;
        b.AvailIn -= in - Z.avail_in;
        b.NextOut += out - Z.avail_out;
        b.AvailOut -= out - Z.avail_out;
        return r;
    }

private:
    z_stream Z{};
    bool Started = false;
};

std::atomic<TInflateEngine>& Engine() {
    // The fastest engine the build holds: it answers as zlib does for every stream.
    static std::atomic<TInflateEngine> engine{IsalInflaterBuilt() ? TInflateEngine::Isal
                                                                  : TInflateEngine::Zlib};
    return engine;
}

} // namespace

bool InflateEngineBuilt(TInflateEngine engine) {
    return engine == TInflateEngine::Zlib || IsalInflaterBuilt();
}

TInflateEngine ImageInflateEngine() {
    return Engine().load();
}

void SetImageInflateEngine(TInflateEngine engine) {
    if (InflateEngineBuilt(engine)) Engine().store(engine);
}

std::unique_ptr<TImageInflater> MakeZlibInflater(int& result) {
    auto inflater = std::make_unique<TZlibInflater>(result);
    if (result != Z_OK) inflater.reset();
    return inflater;
}

std::unique_ptr<TImageInflater> MakeImageInflater(TInflateEngine engine, int& result) {
    if (engine == TInflateEngine::Isal) return MakeIsalInflater(result);
    return MakeZlibInflater(result);
}
