// Zero-filled memory for large buffers such as image planes. Blocks of several MiB are mapped
// directly where the system allows it and asked for huge pages, so that filling a fresh block costs
// a few page faults instead of one per 4 KiB page; smaller blocks come from the heap.
#pragma once

#include <cstddef>

namespace largemem {

// A zero-filled block of the given size (at least 16-byte aligned); null when refused.
void* Allocate(std::size_t bytes);
// Returns a block from Allocate; null is ignored.
void Free(void* block) noexcept;

// Deleter for owning pointers to such blocks.
struct TDeleter {
    void operator()(void* block) const noexcept { Free(block); }
};

} // namespace largemem
