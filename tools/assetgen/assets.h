// The launcher's three pictures, each made whole in memory as the bytes of its file.
#pragma once

#include "bytes.h"
#include "fonts.h"

namespace assetgen {

// The title picture: a 255 x 210 24-bit BMP.
Bytes MakeBackground(const Fonts& fonts);
// The credit line: a 216 x 12 RGBA PNG, black text on full transparency.
Bytes MakeCredit(const Fonts& fonts);
// The program icon: one 32 x 32 image with 256 colours and a mask.
Bytes MakeIcon(const Fonts& fonts);

// An ICC version 2 display profile of sRGB.
Bytes MakeSrgbProfile();

} // namespace assetgen
