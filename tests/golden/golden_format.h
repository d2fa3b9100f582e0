// The golden files: what the library should hold and draw for each image of the standard set,
// written on Linux from libpng's reading and read back by the Windows build, which has no libpng.
// All numbers are 32-bit little-endian; a block is its length followed by its bytes.
//
//   NAME.memory   "VGM1", loads (0 or 1); a corrupt file: error class, message; otherwise width,
//                 height, decode gamma table, chunk types, row bits, stride, the pixel, low-byte
//                 and alpha planes (row count, then each row) and the colour table (count, RGB)
//   NAME.drawing  "VGD1", width, height, transparency kind, placement count; per placement: its
//                 number, rectangle (left, top, right, bottom), surface width and height, and the
//                 expected surface (RGB, row-major)
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "png/png_expect.h"

namespace golden {

using pngexpect::Bytes;
using pngexpect::Rgb;
using pngexpect::u8;

struct TMemory {
    bool Loads = true;
    std::string ClassName, Message; // the error a corrupt file raises
    std::uint32_t Width = 0, Height = 0;
    pngexpect::Table Gamma{};
    std::vector<std::string> Chunks;
    pngexpect::TMemoryModel Model;
};

struct TPlacementPicture {
    pngexpect::TPlacement Placement{};
    TRect Rect{};
    pngexpect::TSurfaceSize Size{};
    std::vector<Rgb> Pixels;
};

struct TDrawing {
    std::uint32_t Width = 0, Height = 0;
    pngexpect::TKind Kind{};
    std::vector<TPlacementPicture> Pictures;
};

class TWriter {
public:
    void U32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            Out.push_back(static_cast<u8>(v >> (8 * i)));
    }
    void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
    void Block(const u8* p, std::size_t n) {
        U32(static_cast<std::uint32_t>(n));
        Out.insert(Out.end(), p, p + n);
    }
    void Text(const std::string& s) { Block(reinterpret_cast<const u8*>(s.data()), s.size()); }
    Bytes Out;
};

// Reads what TWriter wrote; any read past the end leaves Ok false.
class TReader {
public:
    explicit TReader(const Bytes& in) : In(in) {}
    std::uint32_t U32() {
        if (!Ok || In.size() - At < 4) return Fail();
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= std::uint32_t{In[At + std::size_t(i)]} << (8 * i);
        At += 4;
        return v;
    }
    std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
    Rgb Colour() {
        if (!Ok || In.size() - At < 3) return Fail(), Rgb{};
        At += 3;
        return {In[At - 3], In[At - 2], In[At - 1]};
    }
    Bytes Block() {
        const std::size_t n = U32();
        if (!Ok || In.size() - At < n) return Fail(), Bytes();
        At += n;
        return Bytes(In.begin() + std::ptrdiff_t(At - n), In.begin() + std::ptrdiff_t(At));
    }
    std::string Text() {
        const Bytes b = Block();
        return std::string(b.begin(), b.end());
    }
    bool Done() const { return Ok && At == In.size(); }
    bool Ok = true;

private:
    std::uint32_t Fail() {
        Ok = false;
        return 0;
    }
    const Bytes& In;
    std::size_t At = 0;
};

inline void WriteRows(TWriter& w, const std::vector<Bytes>& rows) {
    w.U32(static_cast<std::uint32_t>(rows.size()));
    for (const Bytes& row : rows)
        w.Block(row.data(), row.size());
}

inline std::vector<Bytes> ReadRows(TReader& r) {
    std::vector<Bytes> rows(r.U32());
    for (std::size_t i = 0; i < rows.size() && r.Ok; ++i)
        rows[i] = r.Block();
    return rows;
}

inline Bytes Encode(const TMemory& m) {
    TWriter w;
    w.Out = {'V', 'G', 'M', '1'};
    w.U32(m.Loads ? 1 : 0);
    if (!m.Loads) {
        w.Text(m.ClassName);
        w.Text(m.Message);
        return w.Out;
    }
    w.U32(m.Width);
    w.U32(m.Height);
    w.Block(m.Gamma.data(), m.Gamma.size());
    w.U32(static_cast<std::uint32_t>(m.Chunks.size()));
    for (const std::string& c : m.Chunks)
        w.Text(c);
    w.I32(m.Model.RowBits);
    w.I32(m.Model.Stride);
    WriteRows(w, m.Model.Pixels);
    WriteRows(w, m.Model.Low);
    WriteRows(w, m.Model.Alpha);
    w.U32(static_cast<std::uint32_t>(m.Model.Colors.size()));
    for (const Rgb& c : m.Model.Colors)
        w.Out.insert(w.Out.end(), c.begin(), c.end());
    return w.Out;
}

inline bool Decode(const Bytes& in, TMemory& m) {
    if (in.size() < 4 || std::memcmp(in.data(), "VGM1", 4) != 0) return false;
    const Bytes body(in.begin() + 4, in.end());
    TReader r(body);
    m.Loads = r.U32() == 1;
    if (!m.Loads) {
        m.ClassName = r.Text();
        m.Message = r.Text();
        return r.Done();
    }
    m.Width = r.U32();
    m.Height = r.U32();
    const Bytes gamma = r.Block();
    if (gamma.size() != m.Gamma.size()) return false;
    std::memcpy(m.Gamma.data(), gamma.data(), gamma.size());
    m.Chunks.resize(r.U32());
    for (std::size_t i = 0; i < m.Chunks.size() && r.Ok; ++i)
        m.Chunks[i] = r.Text();
    m.Model.RowBits = r.I32();
    m.Model.Stride = r.I32();
    m.Model.Pixels = ReadRows(r);
    m.Model.Low = ReadRows(r);
    m.Model.Alpha = ReadRows(r);
    const std::uint32_t colors = r.U32();
    for (std::uint32_t i = 0; i < colors && r.Ok; ++i)
        m.Model.Colors.push_back(r.Colour());
    return r.Done();
}

inline Bytes Encode(const TDrawing& d) {
    TWriter w;
    w.Out = {'V', 'G', 'D', '1'};
    w.U32(d.Width);
    w.U32(d.Height);
    w.U32(static_cast<std::uint32_t>(d.Kind));
    w.U32(static_cast<std::uint32_t>(d.Pictures.size()));
    for (const TPlacementPicture& p : d.Pictures) {
        w.U32(static_cast<std::uint32_t>(p.Placement));
        for (const std::int32_t v : {p.Rect.Left, p.Rect.Top, p.Rect.Right, p.Rect.Bottom})
            w.I32(v);
        w.I32(p.Size.Width);
        w.I32(p.Size.Height);
        w.U32(static_cast<std::uint32_t>(3 * p.Pixels.size()));
        for (const Rgb& c : p.Pixels)
            w.Out.insert(w.Out.end(), c.begin(), c.end());
    }
    return w.Out;
}

inline bool Decode(const Bytes& in, TDrawing& d) {
    if (in.size() < 4 || std::memcmp(in.data(), "VGD1", 4) != 0) return false;
    const Bytes body(in.begin() + 4, in.end());
    TReader r(body);
    d.Width = r.U32();
    d.Height = r.U32();
    d.Kind = static_cast<pngexpect::TKind>(r.U32());
    d.Pictures.resize(r.U32());
    for (std::size_t i = 0; i < d.Pictures.size() && r.Ok; ++i) {
        TPlacementPicture& p = d.Pictures[i];
        p.Placement = static_cast<pngexpect::TPlacement>(r.U32());
        p.Rect.Left = r.I32();
        p.Rect.Top = r.I32();
        p.Rect.Right = r.I32();
        p.Rect.Bottom = r.I32();
        p.Size.Width = r.I32();
        p.Size.Height = r.I32();
        p.Pixels.resize(r.U32() / 3);
        for (Rgb& c : p.Pixels)
            c = r.Colour();
    }
    return r.Done();
}

inline bool WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

} // namespace golden
