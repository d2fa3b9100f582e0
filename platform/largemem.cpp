#include "platform/largemem.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace largemem {
namespace {

// Every block starts with this record just before the caller's bytes, so Free needs no size.
struct alignas(16) THeader {
    void* Mapping;      // start of the mapping, or null for a heap block
    std::size_t Length; // of the mapping
};

constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kPage = 4096;
// From here on a block is mapped: below, the heap's recycled memory serves as well.
constexpr std::size_t kMapFrom = std::size_t{4} << 20;

THeader* HeaderOf(void* block) {
    return static_cast<THeader*>(block) - 1;
}

// The caller's bytes start on a huge-page boundary, preceded by one small page that holds the
// header: the mapping is trimmed to exactly that, so only whole huge pages inside it are backed by
// huge pages and nothing beyond the block becomes resident.
void* Map(std::size_t bytes) {
    const std::size_t body = (bytes + kPage - 1) & ~(kPage - 1);
    const std::size_t reserve = body + kHugePage + kPage;
    void* base = mmap(nullptr, reserve, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(base);
    const std::uintptr_t user = (start + kPage + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t head = user - kPage;
    if (head > start) munmap(base, head - start);
    const std::uintptr_t end = start + reserve;
    if (end > user + body) munmap(reinterpret_cast<void*>(user + body), end - (user + body));
    void* block = reinterpret_cast<void*>(user);
    madvise(block, body, MADV_HUGEPAGE); // advice only: without huge pages the block still works
    *HeaderOf(block) = THeader{reinterpret_cast<void*>(head), body + kPage};
    return block;
}

} // namespace

void* Allocate(std::size_t bytes) {
    if (bytes > SIZE_MAX - kHugePage - 2 * kPage) return nullptr;
    if (bytes >= kMapFrom) return Map(bytes);
    void* raw = std::calloc(1, bytes + sizeof(THeader));
    if (raw == nullptr) return nullptr;
    void* block = static_cast<THeader*>(raw) + 1;
    *HeaderOf(block) = THeader{nullptr, 0};
    return block;
}

void Free(void* block) noexcept {
    if (block == nullptr) return;
    const THeader header = *HeaderOf(block);
    if (header.Mapping != nullptr)
        munmap(header.Mapping, header.Length);
    else
        std::free(HeaderOf(block));
}

} // namespace largemem
