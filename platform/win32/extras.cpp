// Our few extras over the real Windows API.
#include <atomic>

#include "platform/gdi.h"

namespace {
std::atomic<std::size_t> sectionLimit{std::size_t{1} << 30};
}

void SetBitmapSectionLimit(std::size_t bytes) {
    sectionLimit.store(bytes);
}

std::size_t BitmapSectionLimit() {
    return sectionLimit.load();
}

std::size_t GdiObjectCount() {
    return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
}
