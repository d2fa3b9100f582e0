// The stretch cases of the drawing differential: StretchBlt in each stretch mode over a grid of
// extents (one-pixel, shrinking, enlarging, mirrored on either side or both) between pairs of formats.
#include <cstdlib>

#include "gdidiff.h"

namespace gdidiff {

namespace {

constexpr int kSrcWidth = 10, kSrcHeight = 9, kDstWidth = 14, kDstHeight = 12;

struct Mode {
    const char* name;
    int mode;
};
const Mode kModes[] = {
    {"BLACKONWHITE", BLACKONWHITE}, {"WHITEONBLACK", WHITEONBLACK}, {"COLORONCOLOR", COLORONCOLOR}};

// Destination and source extents of one axis; the rows of a case take the entry three further on.
struct Extent {
    int d, s;
};
const Extent kExtents[] = {{-4, -4}, {1, 7}, {2, 7},  {8, 8},  {3, 8},  {11, 3},
                           {5, 1},   {1, 1}, {-3, 7}, {4, -8}, {-6, -5}};

// Pairs of kFormats indices: 1, 4, 8, 24, 32, mono, screen.
const int kPairs[][2] = {{4, 4}, {2, 2}, {1, 1}, {3, 2}, {0, 0}, {5, 5}, {4, 5}, {5, 4}, {2, 3}, {6, 6}};

// The origin of a run: 1 for a positive extent, past the run for a negative one (the same pixels
// with the corners the other way round).
int Origin(int extent) {
    return extent < 0 ? 1 - extent : 1;
}

std::string Signed(int v) {
    return v < 0 ? "m" + std::to_string(-v) : std::to_string(v);
}

} // namespace

void StretchCases(TCaseLog& log) {
    constexpr int kCount = static_cast<int>(std::size(kExtents));
    for (const auto& pair : kPairs) {
        const TFormat& from = kFormats[static_cast<std::size_t>(pair[0])];
        const TFormat& to = kFormats[static_cast<std::size_t>(pair[1])];
        for (const Mode& mode : kModes) {
            for (int i = 0; i < kCount; ++i) {
                const Extent cols = kExtents[i];
                const Extent rows = kExtents[(i + 3) % kCount];
                TBitmap src(from, kSrcWidth, kSrcHeight), dst(to, kDstWidth, kDstHeight);
                src.Pattern(5);
                dst.Pattern(9);
                SetStretchBltMode(dst.dc, mode.mode);
                const BOOL done = StretchBlt(dst.dc, Origin(cols.d), Origin(rows.d), cols.d, rows.d, src.dc,
                                             Origin(cols.s) - 1, Origin(rows.s) - 1, cols.s, rows.s, SRCCOPY);
                log.Begin(std::string("stretch/") + from.name + "to" + to.name + "/" + mode.name + "/" +
                          Signed(cols.d) + "x" + Signed(rows.d) + "from" + Signed(cols.s) + "x" +
                          Signed(rows.s));
                log.Add(static_cast<std::uint64_t>(done != 0));
                dst.Add(log);
                log.End();
            }
        }
    }
}

} // namespace gdidiff
