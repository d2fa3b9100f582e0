// Reference decoding through libpng: the raw samples of every row, de-interlaced and otherwise
// untransformed (sub-byte samples packed from the most significant bit, 16-bit samples big-endian),
// with the palette and gamma that libpng accepted from the file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct TRawImage {
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    int BitDepth = 0;
    int ColorType = 0;
    int Interlace = 0;
    std::vector<std::vector<std::uint8_t>> Rows;
    std::vector<std::array<std::uint8_t, 3>> Palette; // red, green, blue
    bool HasGamma = false;
    std::uint32_t Gamma = 0; // gamma x 100000
};

// Decodes a PNG file held in memory into image. Returns libpng's error text, empty on success.
std::string DecodeWithLibpng(const std::vector<std::uint8_t>& file, TRawImage& image);
