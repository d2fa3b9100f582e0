#include "platform/faults.h"

#include <atomic>

namespace {
std::atomic<bool> Active{false};
std::atomic<long> Passed{0};
std::atomic<long> Target{0};
} // namespace

namespace faults {

void BeginSweep(long failAt) {
    Passed.store(0);
    Target.store(failAt);
    Active.store(true);
}

long EndSweep() {
    Active.store(false);
    return Passed.load();
}

bool ShouldFail() {
    if (!Active.load(std::memory_order_relaxed)) return false;
    const long n = Passed.fetch_add(1) + 1;
    return n == Target.load();
}

} // namespace faults
