#include "toolkit/core/sectionlimit.h"

#include <atomic>

namespace {
std::atomic<std::size_t> sectionLimit{std::size_t{1} << 30};
}

void SetBitmapSectionLimit(std::size_t bytes) {
    sectionLimit.store(bytes);
}

std::size_t BitmapSectionLimit() {
    return sectionLimit.load();
}

bool FitsBitmapSectionLimit(std::uint64_t stride, std::uint64_t rows) {
    return rows == 0 || stride <= BitmapSectionLimit() / rows;
}
