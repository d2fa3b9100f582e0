// A 32-bit drawing surface (top-down unless asked otherwise) in its own device context, for drawing
// tests.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/gdi.h"
#include "toolkit/core/canvas.h"

namespace pngtest {

class Surface {
public:
    Surface(std::int32_t width, std::int32_t height, bool bottomUp = false)
        : Width(width), Height(height), BottomUp(bottomUp) {
        dc = CreateCompatibleDC(nullptr);
        BITMAPINFOHEADER h{40, width, bottomUp ? height : -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        section = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&h), DIB_RGB_COLORS, &bits,
                                   nullptr, 0);
        Bits = static_cast<std::uint8_t*>(bits);
        previous = SelectObject(dc, section);
        canvas.SetHandle(dc);
    }
    ~Surface() {
        SelectObject(dc, previous);
        DeleteObject(section);
        DeleteDC(dc);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    // Blue, green, red of pixel (x, y) as 0xRRGGBB.
    std::uint32_t At(std::int32_t x, std::int32_t y) const {
        const std::uint8_t* p = Pixel(x, y);
        return (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
    }
    void Fill(std::uint32_t (*pattern)(std::int32_t x, std::int32_t y)) {
        for (std::int32_t y = 0; y < Height; ++y)
            for (std::int32_t x = 0; x < Width; ++x) {
                const std::uint32_t c = pattern(x, y);
                std::uint8_t* p = Pixel(x, y);
                p[0] = static_cast<std::uint8_t>(c);
                p[1] = static_cast<std::uint8_t>(c >> 8);
                p[2] = static_cast<std::uint8_t>(c >> 16);
                p[3] = 0;
            }
    }
    void Fill(std::uint32_t colour) {
        for (std::int32_t i = 0; i < Width * Height; ++i) {
            Bits[4 * i] = static_cast<std::uint8_t>(colour);
            Bits[4 * i + 1] = static_cast<std::uint8_t>(colour >> 8);
            Bits[4 * i + 2] = static_cast<std::uint8_t>(colour >> 16);
            Bits[4 * i + 3] = 0;
        }
    }

    const std::int32_t Width, Height;
    const bool BottomUp;
    std::uint8_t* Bits = nullptr;
    TCanvas canvas;

private:
    std::uint8_t* Pixel(std::int32_t x, std::int32_t y) const {
        const std::size_t row = std::size_t(BottomUp ? Height - 1 - y : y);
        return Bits + (row * std::size_t(Width) + std::size_t(x)) * 4;
    }

    HDC dc = nullptr;
    HBITMAP section = nullptr;
    HGDIOBJ previous = nullptr;
};

} // namespace pngtest
