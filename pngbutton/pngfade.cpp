// The faded copy a disabled button shows.
#include "png/pngformat.h"
#include "png/pngheader.h"
#include "pngbutton/pngextra.h"

void MakeFadedCopy(const TPNGObject& source, TPNGObject& dest) {
    dest.AssignFrom(&source);
    // A button with only a caption has an empty normal image; its faded copy stays empty too.
    if (!dest.HasHeader()) return;
    dest.AddAlphaChannel();
    const TChunkIHDR& header = dest.HeaderChunk();
    if (!HasAlphaChannel(header.ColorType)) return; // palette images fade through their table
    const auto width = static_cast<std::int32_t>(header.Width);
    const auto height = static_cast<std::int32_t>(header.Height);
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t* alpha = dest.AlphaRow(y);
        for (std::int32_t x = 0; x < width; ++x)
            alpha[x] = static_cast<std::uint8_t>(alpha[x] / 3);
    }
}
