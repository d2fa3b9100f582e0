#include "toolkit/core/types.h"

#include "platform/draw.h"

std::uint32_t ColorToRGB(TColor colour) {
    if (colour < 0) return GetSysColor(static_cast<int>(static_cast<std::uint32_t>(colour) & 0xFF));
    return static_cast<std::uint32_t>(colour) & 0xFFFFFF;
}
