#include "png/pngsimd.h"

#include <atomic>

namespace {
TSimdLevel Detect() {
#if defined(__x86_64__) || defined(__i386__)
    if (__builtin_cpu_supports("avx2")) return TSimdLevel::AVX2;
#endif
#if defined(__SSE2__)
    return TSimdLevel::SSE2;
#else
    return TSimdLevel::Plain;
#endif
}

std::atomic<int> Cap{static_cast<int>(TSimdLevel::AVX2)};
} // namespace

TSimdLevel SupportedSimdLevel() {
    static const TSimdLevel level = Detect();
    return level;
}

TSimdLevel ActiveSimdLevel() {
    const int supported = static_cast<int>(SupportedSimdLevel());
    const int cap = Cap.load(std::memory_order_relaxed);
    return static_cast<TSimdLevel>(cap < supported ? cap : supported);
}

void ForceSimdLevel(TSimdLevel level) {
    Cap.store(static_cast<int>(level), std::memory_order_relaxed);
}

void ResetSimdLevel() {
    Cap.store(static_cast<int>(TSimdLevel::AVX2), std::memory_order_relaxed);
}
