#include <cstdint>
#include <cstdlib>

#include "png/pngidat.h"

namespace {

using u8 = std::uint8_t;

// Each filter loop is instantiated per filter distance so the compiler sees a constant stride.
template <int D> void UnfilterSub(u8* r, std::int32_t length) {
    for (std::int32_t i = D + 1; i <= length; ++i)
        r[i] = static_cast<u8>(r[i] + r[i - D]);
}

void UnfilterUp(u8* r, const u8* p, std::int32_t length) {
    for (std::int32_t i = 1; i <= length; ++i)
        r[i] = static_cast<u8>(r[i] + p[i]);
}

template <int D> void UnfilterAverage(u8* r, const u8* p, std::int32_t length) {
    const std::int32_t head = length < D ? length : D;
    for (std::int32_t i = 1; i <= head; ++i)
        r[i] = static_cast<u8>(r[i] + (p[i] >> 1));
    for (std::int32_t i = D + 1; i <= length; ++i)
        r[i] = static_cast<u8>(r[i] + ((p[i] + r[i - D]) >> 1));
}

template <int D> void UnfilterPaeth(u8* r, const u8* p, std::int32_t length) {
    // With a and c both 0 the predictor is b: the first pixel is the Up filter.
    const std::int32_t head = length < D ? length : D;
    for (std::int32_t i = 1; i <= head; ++i)
        r[i] = static_cast<u8>(r[i] + p[i]);
    for (std::int32_t i = D + 1; i <= length; ++i) {
        const int a = r[i - D];
        const int b = p[i];
        const int c = p[i - D];
        const int pa = std::abs(b - c);
        const int pb = std::abs(a - c);
        const int pc = std::abs(a + b - 2 * c);
        const int predictor = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
        r[i] = static_cast<u8>(r[i] + predictor);
    }
}

template <int D> void UnfilterWith(u8* r, const u8* p, std::int32_t length) {
    switch (r[0]) {
    case 1: UnfilterSub<D>(r, length); break;
    case 2: UnfilterUp(r, p, length); break;
    case 3: UnfilterAverage<D>(r, p, length); break;
    case 4: UnfilterPaeth<D>(r, p, length); break;
    default: break; // None, and unknown types, leave the row as it is
    }
}

// Any other distance (not produced by valid formats) through a plain loop.
void UnfilterAny(u8* r, const u8* p, std::int32_t length, std::int32_t d) {
    for (std::int32_t i = 1; i <= length; ++i) {
        const int a = i > d ? r[i - d] : 0;
        const int c = i > d ? p[i - d] : 0;
        const int b = p[i];
        int add = 0;
        switch (r[0]) {
        case 1: add = a; break;
        case 2: add = b; break;
        case 3: add = (a + b) >> 1; break;
        case 4: add = PaethPredictor(a, b, c); break;
        default: return;
        }
        r[i] = static_cast<u8>(r[i] + add);
    }
}

} // namespace

void UnfilterRow(std::uint8_t* row, const std::uint8_t* prior, std::int32_t length, std::int32_t distance) {
    switch (distance) {
    case 1: UnfilterWith<1>(row, prior, length); break;
    case 2: UnfilterWith<2>(row, prior, length); break;
    case 3: UnfilterWith<3>(row, prior, length); break;
    case 4: UnfilterWith<4>(row, prior, length); break;
    case 6: UnfilterWith<6>(row, prior, length); break;
    case 8: UnfilterWith<8>(row, prior, length); break;
    default: UnfilterAny(row, prior, length, distance); break;
    }
}
