#include "png/pngdeflate.h"

#include <atomic>

namespace {

std::atomic<TDeflateEngine>& Engine() {
    static std::atomic<TDeflateEngine> engine{WholeDeflateBuilt() ? TDeflateEngine::Libdeflate
                                                                  : TDeflateEngine::Zlib};
    return engine;
}

} // namespace

bool DeflateEngineBuilt(TDeflateEngine engine) {
    return engine == TDeflateEngine::Zlib || WholeDeflateBuilt();
}

TDeflateEngine ImageDeflateEngine() {
    return Engine().load();
}

void SetImageDeflateEngine(TDeflateEngine engine) {
    if (DeflateEngineBuilt(engine)) Engine().store(engine);
}
