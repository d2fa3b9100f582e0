// Builds PNG streams chunk by chunk for tests: exact bytes, valid or deliberately broken.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <zlib.h>

namespace pngtest {

using Bytes = std::vector<std::uint8_t>;

inline void Append32(Bytes& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

inline Bytes Signature() {
    return {137, 80, 78, 71, 13, 10, 26, 10};
}

// A framed chunk; crcDelta != 0 breaks its checksum.
inline Bytes Chunk(const std::string& type, const Bytes& body, std::uint32_t crcDelta = 0) {
    Bytes out;
    Append32(out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), type.begin(), type.begin() + 4);
    out.insert(out.end(), body.begin(), body.end());
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type.data()), 4);
    if (!body.empty())
        crc = crc32(crc, body.data(), static_cast<uInt>(body.size())); // zlib answers 0 for no buffer
    Append32(out, static_cast<std::uint32_t>(crc) ^ crcDelta);
    return out;
}

inline Bytes IhdrBody(std::uint32_t width, std::uint32_t height, std::uint8_t depth, std::uint8_t colorType,
                      std::uint8_t interlace = 0, std::uint8_t compression = 0, std::uint8_t filter = 0) {
    Bytes b;
    Append32(b, width);
    Append32(b, height);
    b.insert(b.end(), {depth, colorType, compression, filter, interlace});
    return b;
}

inline Bytes Compress(const Bytes& raw, int level = 9) {
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    Bytes out(size);
    compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), level);
    out.resize(size);
    return out;
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A whole stream: signature, header, the given middle chunks, IEND.
inline Bytes Png(const Bytes& ihdrBody, std::initializer_list<Bytes> middle) {
    Bytes out = Concat({Signature(), Chunk("IHDR", ihdrBody)});
    for (const Bytes& m : middle)
        out.insert(out.end(), m.begin(), m.end());
    const Bytes end = Chunk("IEND", {});
    out.insert(out.end(), end.begin(), end.end());
    return out;
}

// Raw scanlines (filter byte + row) of an image whose rows are given whole.
inline Bytes Scanlines(const std::vector<Bytes>& rows, std::uint8_t filter = 0) {
    Bytes out;
    for (const Bytes& r : rows) {
        out.push_back(filter);
        out.insert(out.end(), r.begin(), r.end());
    }
    return out;
}

// Splits data into IDAT chunks at the given offsets (ascending).
inline Bytes SplitIdat(const Bytes& data, const std::vector<std::size_t>& cuts) {
    Bytes out;
    std::size_t from = 0;
    auto add = [&](std::size_t to) {
        const Bytes part(data.begin() + static_cast<std::ptrdiff_t>(from),
                         data.begin() + static_cast<std::ptrdiff_t>(to));
        const Bytes c = Chunk("IDAT", part);
        out.insert(out.end(), c.begin(), c.end());
        from = to;
    };
    for (std::size_t cut : cuts)
        add(cut);
    add(data.size());
    return out;
}

} // namespace pngtest
