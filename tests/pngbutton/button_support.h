// Buttons on a form without a screen, images made in memory, and reading back what was painted.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/draw.h"
#include "pngbutton/pngextra.h"
#include "support/png_builder.h"
#include "support/png_load.h"
#include "toolkit/controls/forms.h"

namespace buttontest {

using pngtest::Bytes;

// A system colour as 0xRRGGBB, the form buffer's order.
inline std::uint32_t Sys(int index) {
    const COLORREF c = GetSysColor(index);
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// The form's own colour: pure green, which no face, frame or test image uses.
constexpr std::uint32_t kBackground = 0x00FF00;

// An 8-bit RGB image, or RGBA with alpha set, with pixels 0xAARRGGBB from pixel(x, y).
inline Bytes RgbPng(int width, int height, const std::function<std::uint32_t(int, int)>& pixel,
                    bool alpha = false) {
    std::vector<Bytes> rows;
    for (int y = 0; y < height; ++y) {
        Bytes row;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = pixel(x, y);
            row.insert(row.end(), {static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                                   static_cast<std::uint8_t>(p)});
            if (alpha) row.push_back(static_cast<std::uint8_t>(p >> 24));
        }
        rows.push_back(row);
    }
    const auto w = static_cast<std::uint32_t>(width);
    const auto h = static_cast<std::uint32_t>(height);
    return pngtest::Png(pngtest::IhdrBody(w, h, 8, alpha ? 6 : 2),
                        {pngtest::Chunk("IDAT", pngtest::Compress(pngtest::Scanlines(rows)))});
}

inline std::unique_ptr<TPNGObject> Image(const Bytes& png) {
    auto image = std::make_unique<TPNGObject>();
    pngtest::Load(*image, png);
    return image;
}

// A pixel of an image the button holds (reading pixels is not a const operation of the image).
inline COLORREF PixelOf(const TPNGObject& image, int x, int y) {
    TPNGObject copy;
    copy.AssignFrom(&image);
    return copy.PixelAt(x, y);
}

inline std::unique_ptr<TPNGObject> Solid(int width, int height, std::uint32_t rgb) {
    return Image(RgbPng(width, height, [rgb](int, int) { return rgb; }));
}

// A form whose only control is one button, shown so that it paints into its back buffer.
struct TButtonForm {
    static constexpr int kLeft = 10;
    static constexpr int kTop = 10;

    explicit TButtonForm(int width = 23, int height = 23) {
        form.SetColor(static_cast<TColor>(0x00FF00)); // the colour reference of kBackground
        form.SetBounds(0, 0, width + 2 * kLeft, height + 2 * kTop);
        auto made = std::make_unique<TPNGButton>();
        button = made.get();
        button->SetBounds(kLeft, kTop, width, height);
        form.AddControl(std::move(made));
        form.Show();
    }

    // The buffer at (x, y) of the button as 0xRRGGBB.
    std::uint32_t At(int x, int y) const {
        return form.BufferBits()[(y + kTop) * form.ClientWidth() + x + kLeft] & 0xFFFFFF;
    }

    // Mouse input at button coordinates, routed by the form.
    void Move(int x, int y, TShiftState shift = 0) { form.MouseMove(shift, x + kLeft, y + kTop); }
    void Down(TMouseButton b, int x, int y) { form.MouseDown(b, ShiftOf(b), x + kLeft, y + kTop); }
    void Up(TMouseButton b, int x, int y) { form.MouseUp(b, 0, x + kLeft, y + kTop); }

    static TShiftState ShiftOf(TMouseButton b) {
        return b == mbLeft ? ssLeft : b == mbRight ? ssRight : ssMiddle;
    }

    TForm form;
    TPNGButton* button = nullptr;
};

} // namespace buttontest
