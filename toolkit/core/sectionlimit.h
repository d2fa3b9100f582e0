// The most pixel data one bitmap section of ours may hold. The library checks it before every
// section it makes (the plain bitmap's, the PNG image memory's and its drawing sections'), so an
// image too large is refused the same way on every system, before anything is allocated. Tests and
// tools lower it to keep hostile input cheap.
#pragma once

#include <cstddef>
#include <cstdint>

// 1 GiB by default.
void SetBitmapSectionLimit(std::size_t bytes);
std::size_t BitmapSectionLimit();

// Whether rows of stride bytes each fit within the limit, tested without forming a product that
// could overflow.
bool FitsBitmapSectionLimit(std::uint64_t stride, std::uint64_t rows);
