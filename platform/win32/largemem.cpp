// Large blocks on Windows: the heap's zero-filled memory.
#include "platform/largemem.h"

#include <cstdlib>

namespace largemem {

void* Allocate(std::size_t bytes) {
    return std::calloc(1, bytes);
}

void Free(void* block) noexcept {
    std::free(block);
}

} // namespace largemem
