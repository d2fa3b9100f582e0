#include "toolkit/core/bitmap.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/draw.h"
#include "platform/gdi.h"
#include "toolkit/core/exception.h"
#include "toolkit/core/stream.h"

namespace {

constexpr const char* kInvalidBitmap = "Bitmap image is not valid";
constexpr const char* kUnsupportedFormat = "Unsupported clipboard format";

[[noreturn]] void InvalidBitmap() {
    throw EInvalidGraphic(kInvalidBitmap);
}

// A header and a whole colour table: the record the platform's bitmap calls read and fill.
struct TBitmapInfo {
    BITMAPINFOHEADER header{};
    RGBQUAD colours[256]{};

    TBitmapInfo(int bitsPerPixel, LONG width, LONG height) {
        header.biSize = sizeof(BITMAPINFOHEADER);
        header.biWidth = width;
        header.biHeight = height;
        header.biPlanes = 1;
        header.biBitCount = static_cast<WORD>(bitsPerPixel);
        header.biCompression = BI_RGB;
    }
    BITMAPINFO* Info() { return reinterpret_cast<BITMAPINFO*>(this); }
};

struct TLogPalette {
    WORD version = 0x300;
    WORD count = 0;
    PALETTEENTRY entries[256]{};
};

// Bytes per row of a bitmap: rounded up to whole 32-bit words.
std::uint64_t RowBytes(int bitsPerPixel, std::int64_t width) {
    return (static_cast<std::uint64_t>(bitsPerPixel) * static_cast<std::uint64_t>(width) + 31) / 32 * 4;
}

std::uint16_t ReadU16(const BYTE* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t ReadU32(const BYTE* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void PutU16(BYTE* p, std::uint32_t v) {
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
}
void PutU32(BYTE* p, std::uint32_t v) {
    PutU16(p, v);
    PutU16(p + 2, v >> 16);
}

// Reads exactly count bytes; a short stream means a truncated image.
void ReadExact(TStream& stream, void* buffer, std::uint64_t count) {
    ForEachPiece(count, [&](std::uint64_t at, std::int32_t n) {
        if (stream.Read(static_cast<BYTE*>(buffer) + at, n) != n) InvalidBitmap();
    });
}

void WriteAll(TStream& stream, const BYTE* data, std::uint64_t count) {
    ForEachPiece(count, [&](std::uint64_t at, std::int32_t n) { stream.WriteBuffer(data + at, n); });
}

// Deletes a GDI object on scope exit unless released.
class TObjectGuard {
public:
    explicit TObjectGuard(HGDIOBJ object) : FObject(object) {}
    TObjectGuard(const TObjectGuard&) = delete;
    TObjectGuard& operator=(const TObjectGuard&) = delete;
    ~TObjectGuard() {
        if (FObject != nullptr) DeleteObject(FObject);
    }
    void Release() { FObject = nullptr; }

private:
    HGDIOBJ FObject;
};

// A bottom-up bitmap section; colours (count entries) for 8 bits per pixel or fewer.
HBITMAP NewSection(int bitsPerPixel, LONG width, LONG height, const RGBQUAD* colours, DWORD count,
                   BYTE** bits) {
    TBitmapInfo info(bitsPerPixel, width, height);
    info.header.biClrUsed = count;
    if (count > 0) std::copy_n(colours, count, info.colours);
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, info.Info(), DIB_RGB_COLORS, &pixels, nullptr, 0);
    *bits = static_cast<BYTE*>(pixels);
    return bitmap;
}

HPALETTE PaletteFromColours(const RGBQUAD* colours, DWORD count) {
    TLogPalette log;
    log.count = static_cast<WORD>(count);
    for (DWORD i = 0; i < count; ++i)
        log.entries[i] = PALETTEENTRY{colours[i].rgbRed, colours[i].rgbGreen, colours[i].rgbBlue, 0};
    HPALETTE palette = CreatePalette(reinterpret_cast<const LOGPALETTE*>(&log));
    if (palette == nullptr) throw EOutOfResources();
    return palette;
}

HPALETTE CopyPalette(HPALETTE source) {
    if (source == nullptr) return nullptr;
    const UINT count = GetPaletteEntries(source, 0, 0, nullptr);
    if (count == 0) return nullptr;
    std::vector<PALETTEENTRY> entries(count);
    GetPaletteEntries(source, 0, count, entries.data());
    TLogPalette log;
    log.count = static_cast<WORD>(std::min<UINT>(count, 256));
    std::copy_n(entries.begin(), log.count, log.entries);
    HPALETTE palette = CreatePalette(reinterpret_cast<const LOGPALETTE*>(&log));
    if (palette == nullptr) throw EOutOfResources();
    if (count > 256 && ResizePalette(palette, count))
        SetPaletteEntries(palette, 256, count - 256, entries.data() + 256);
    return palette;
}

// A copy of a bitmap at its own depth, with its colour table; null when the bitmap is unknown.
HBITMAP Duplicate(HBITMAP source) {
    BITMAP record{};
    if (GetObjectA(source, sizeof(record), &record) == 0)
        return static_cast<HBITMAP>(CopyImage(source, IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    TBitmapInfo info(record.bmBitsPixel, record.bmWidth, record.bmHeight);
    // One row first, for the colour table the copy is made with.
    std::vector<BYTE> row(RowBytes(record.bmBitsPixel, record.bmWidth));
    if (GetDIBits(nullptr, source, 0, 1, row.data(), info.Info(), DIB_RGB_COLORS) != 1) return nullptr;
    BYTE* bits = nullptr;
    const DWORD colours = record.bmBitsPixel <= 8 ? DWORD{1} << record.bmBitsPixel : 0;
    HBITMAP copy =
        NewSection(record.bmBitsPixel, record.bmWidth, record.bmHeight, info.colours, colours, &bits);
    if (copy == nullptr) return nullptr;
    if (GetDIBits(nullptr, source, 0, static_cast<UINT>(record.bmHeight), bits, info.Info(),
                  DIB_RGB_COLORS) != record.bmHeight) {
        DeleteObject(copy);
        return nullptr;
    }
    return copy;
}

// The clipboard's copies of a bitmap and its palette.
void RenderClipboard(HBITMAP bitmap, HPALETTE palette, HANDLE& data, HPALETTE& paletteCopy) {
    data = nullptr;
    paletteCopy = nullptr;
    if (bitmap != nullptr) {
        HBITMAP copy = Duplicate(bitmap);
        if (copy == nullptr) throw EOutOfResources();
        TObjectGuard guard(copy);
        paletteCopy = CopyPalette(palette);
        guard.Release();
        data = copy;
    } else {
        paletteCopy = CopyPalette(palette);
    }
}

// Closes the clipboard on scope exit.
struct TClipboardLock {
    TClipboardLock() {
        if (!OpenClipboard(nullptr)) throw EClipboardException();
    }
    TClipboardLock(const TClipboardLock&) = delete;
    TClipboardLock& operator=(const TClipboardLock&) = delete;
    ~TClipboardLock() { CloseClipboard(); }
};

// Run-length decoding into a zero-filled bottom-up section of 4 or 8 bits per pixel. Runs and deltas
// may not leave the row or the image; the data must end with the end-of-bitmap escape.
void DecodeRle(const BYTE* data, std::size_t size, int bitsPerPixel, std::int64_t width, std::int64_t rows,
               BYTE* bits, std::size_t stride) {
    std::size_t at = 0;
    std::int64_t x = 0;
    std::int64_t y = 0;
    const auto need = [&](std::size_t count) {
        if (size - at < count) InvalidBitmap();
    };
    const auto run = [&](std::int64_t count) {
        if (y >= rows || count > width - x) InvalidBitmap();
        return bits + static_cast<std::size_t>(y) * stride;
    };
    const auto put = [&](BYTE* row, std::int64_t px, BYTE value) {
        const auto i = static_cast<std::size_t>(px);
        if (bitsPerPixel == 8) {
            row[i] = value;
        } else if ((px & 1) == 0) {
            row[i / 2] = static_cast<BYTE>((row[i / 2] & 0x0F) | (value << 4));
        } else {
            row[i / 2] = static_cast<BYTE>((row[i / 2] & 0xF0) | (value & 0x0F));
        }
    };
    for (;;) {
        need(2);
        const BYTE count = data[at];
        const BYTE value = data[at + 1];
        at += 2;
        if (count > 0) { // encoded run: one index, or two alternating nibbles
            BYTE* row = run(count);
            for (int k = 0; k < count; ++k)
                put(row, x + k, bitsPerPixel == 8 ? value : (k & 1) ? value & 0x0F : value >> 4);
            x += count;
        } else if (value == 0) { // end of line
            x = 0;
            if (++y > rows) InvalidBitmap();
        } else if (value == 1) { // end of bitmap
            return;
        } else if (value == 2) { // delta
            need(2);
            x += data[at];
            y += data[at + 1];
            at += 2;
            if (x > width || y > rows) InvalidBitmap();
        } else { // absolute run of value pixels, padded to a 16-bit boundary
            const std::size_t bytes = bitsPerPixel == 8 ? value : (value + 1u) / 2;
            need(bytes + (bytes & 1));
            BYTE* row = run(value);
            for (int k = 0; k < value; ++k) {
                const BYTE b = data[at + (bitsPerPixel == 8 ? k : k / 2)];
                put(row, x + k, bitsPerPixel == 8 ? b : (k & 1) ? b & 0x0F : b >> 4);
            }
            x += value;
            at += bytes + (bytes & 1);
        }
    }
}

// What the headers of a BMP file say.
struct TBmpLayout {
    std::int64_t width = 0;
    std::int64_t rows = 0;
    bool topDown = false;
    int bitsPerPixel = 0;
    DWORD compression = BI_RGB;
    DWORD imageSize = 0;
    DWORD colourCount = 0;
    RGBQUAD colours[256]{};
};

} // namespace

struct TBitmap::TState {
    HBITMAP handle = nullptr;
    HDC dc = nullptr;
    HGDIOBJ defaultBitmap = nullptr; // what the context held before our bitmap
    HPALETTE palette = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    TColor transparentColor = clDefault;
    TCanvas canvas;

    void EnsureDC() {
        if (dc != nullptr) return;
        dc = CreateCompatibleDC(nullptr);
        if (dc == nullptr) throw EOutOfResources();
        canvas.SetHandle(dc);
    }
    void UpdateSize() {
        BITMAP record{};
        if (handle != nullptr && GetObjectA(handle, sizeof(record), &record) != 0) {
            width = record.bmWidth;
            height = record.bmHeight;
        } else {
            width = height = 0;
        }
    }
    // Takes the handle out of the context; the caller owns it.
    HBITMAP Detach() {
        HBITMAP old = handle;
        if (old != nullptr) SelectObject(dc, defaultBitmap);
        handle = nullptr;
        width = height = 0;
        return old;
    }
};

const TGraphicClass TBitmap::GraphicClass{"TBitmap", [] { return std::unique_ptr<TGraphic>(new TBitmap); }};

TBitmap::TBitmap() : FState(std::make_unique<TState>()) {}

TBitmap::~TBitmap() {
    if (HBITMAP old = FState->Detach()) DeleteObject(old);
    FState->canvas.SetHandle(nullptr);
    if (FState->dc != nullptr) DeleteDC(FState->dc);
    if (FState->palette != nullptr) DeleteObject(FState->palette);
}

bool TBitmap::IsEmpty() const {
    return FState->handle == nullptr;
}

std::int32_t TBitmap::PixelWidth() const {
    return FState->width;
}

std::int32_t TBitmap::PixelHeight() const {
    return FState->height;
}

void TBitmap::SetPixelWidth(std::int32_t width) {
    SetSize(width, FState->height);
}

void TBitmap::SetPixelHeight(std::int32_t height) {
    SetSize(FState->width, height);
}

void TBitmap::SetSize(std::int32_t width, std::int32_t height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == FState->width && height == FState->height) return;
    if (width == 0 || height == 0) {
        if (HBITMAP old = FState->Detach()) DeleteObject(old);
        FState->width = width;
        FState->height = height;
        return;
    }
    BYTE* bits = nullptr;
    HBITMAP fresh = NewSection(32, width, height, nullptr, 0, &bits);
    if (fresh == nullptr) throw EOutOfResources();
    TObjectGuard guard(fresh);
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    for (std::size_t i = 0; i < stride * static_cast<std::size_t>(height); i += 4)
        bits[i] = bits[i + 1] = bits[i + 2] = 0xFF; // white
    // The old pixels keep their place from the top-left corner.
    const std::int32_t keepWidth = std::min(width, FState->width);
    const std::int32_t keepRows = std::min(height, FState->height);
    if (FState->handle != nullptr && keepWidth > 0 && keepRows > 0) {
        TBitmapInfo info(32, FState->width, -FState->height); // top-down: scan line 0 is the top row
        const std::size_t oldStride = static_cast<std::size_t>(FState->width) * 4;
        std::vector<BYTE> old(oldStride * static_cast<std::size_t>(keepRows));
        const int got = GetDIBits(FState->dc, FState->handle, 0, static_cast<UINT>(keepRows), old.data(),
                                  info.Info(), DIB_RGB_COLORS);
        for (std::int32_t r = 0; r < got; ++r)
            std::memcpy(bits + static_cast<std::size_t>(height - 1 - r) * stride,
                        old.data() + static_cast<std::size_t>(r) * oldStride,
                        static_cast<std::size_t>(keepWidth) * 4);
    }
    SetHandle(fresh);
    guard.Release();
}

HBITMAP TBitmap::Handle() const {
    return FState->handle;
}

void TBitmap::SetHandle(HBITMAP handle) {
    if (handle == FState->handle) return;
    if (handle == nullptr) {
        if (HBITMAP old = FState->Detach()) DeleteObject(old);
        return;
    }
    FState->EnsureDC();
    HGDIOBJ previous = SelectObject(FState->dc, handle);
    if (previous == nullptr) InvalidBitmap(); // unknown, or selected elsewhere: not taken
    HBITMAP old = FState->handle;
    if (old == nullptr) FState->defaultBitmap = previous;
    FState->handle = handle;
    if (old != nullptr) DeleteObject(old);
    FState->UpdateSize();
}

TCanvas& TBitmap::Canvas() {
    FState->EnsureDC();
    return FState->canvas;
}

HPALETTE TBitmap::PaletteHandle() const {
    return FState->palette;
}

void TBitmap::SetPaletteHandle(HPALETTE palette) {
    if (palette == FState->palette) return;
    if (FState->palette != nullptr) DeleteObject(FState->palette);
    FState->palette = palette;
}

TColor TBitmap::TransparentColor() const {
    if (FState->transparentColor != clDefault || FState->handle == nullptr) return FState->transparentColor;
    TBitmapInfo info(32, FState->width, FState->height); // bottom-up: scan line 0 is the bottom row
    std::vector<BYTE> row(static_cast<std::size_t>(FState->width) * 4);
    if (GetDIBits(FState->dc, FState->handle, 0, 1, row.data(), info.Info(), DIB_RGB_COLORS) != 1)
        return FState->transparentColor;
    return static_cast<TColor>(RGB(row[2], row[1], row[0]));
}

void TBitmap::SetTransparentColor(TColor colour) {
    FState->transparentColor = colour;
}

void TBitmap::CopyInto(TPersistent* destination) const {
    if (auto* bitmap = dynamic_cast<TBitmap*>(destination)) {
        bitmap->AssignFrom(this);
        return;
    }
    TGraphic::CopyInto(destination);
}

void TBitmap::AssignFrom(const TPersistent* source) {
    const auto* bitmap = dynamic_cast<const TBitmap*>(source);
    if (bitmap == nullptr) {
        TGraphic::AssignFrom(source); // the source may know how to copy itself into a bitmap
        return;
    }
    if (bitmap == this) return;
    const TState& from = *bitmap->FState;
    HBITMAP copy = nullptr;
    if (from.handle != nullptr) {
        copy = Duplicate(from.handle);
        if (copy == nullptr) throw EOutOfResources();
    }
    TObjectGuard guard(copy);
    HPALETTE palette = CopyPalette(from.palette);
    if (copy != nullptr) {
        SetHandle(copy);
    } else {
        SetHandle(nullptr);
        FState->width = from.width;
        FState->height = from.height;
    }
    guard.Release();
    SetPaletteHandle(palette);
    SetTransparent(bitmap->Transparent());
    FState->transparentColor = from.transparentColor;
}

void TBitmap::ReadData(TStream& stream) {
    std::uint8_t countBytes[4]{};
    if (stream.Read(countBytes, 4) != 4) InvalidBitmap();
    const std::uint32_t count = ReadU32(countBytes);
    if (count > 0x7FFFFFFFu || count > stream.Size() - stream.Position()) InvalidBitmap();
    // The count bounds the file: a view of exactly those bytes keeps the reader inside them.
    TMemoryStream file;
    file.SetSize(count);
    stream.ReadBuffer(file.Memory(), static_cast<std::int32_t>(count));
    LoadFromStream(file);
}

void TBitmap::LoadFromStream(TStream& stream) {
    const std::int64_t start = stream.Position();
    const std::int64_t available = stream.Size() - start;
    if (available < 18) InvalidBitmap();
    BYTE head[14 + 52]{};
    ReadExact(stream, head, 18);
    if (head[0] != 'B' || head[1] != 'M') InvalidBitmap();
    const std::uint32_t offBits = ReadU32(head + 10);
    const std::uint32_t infoSize = ReadU32(head + 14);
    const bool core = infoSize == 12;
    if ((!core && infoSize < 40) || infoSize > available - 14) InvalidBitmap();
    const BYTE* info = head + 14;
    ReadExact(stream, head + 18, std::min<std::uint32_t>(infoSize, 52) - 4);
    std::int64_t pos = 14 + std::int64_t{infoSize}; // from the start of the file

    TBmpLayout bmp;
    int planes = 0;
    if (core) {
        bmp.width = ReadU16(info + 4);
        bmp.rows = ReadU16(info + 6);
        planes = ReadU16(info + 8);
        bmp.bitsPerPixel = ReadU16(info + 10);
    } else {
        bmp.width = static_cast<std::int32_t>(ReadU32(info + 4));
        const auto height = static_cast<std::int32_t>(ReadU32(info + 8));
        bmp.topDown = height < 0;
        bmp.rows = height < 0 ? -std::int64_t{height} : height;
        planes = ReadU16(info + 12);
        bmp.bitsPerPixel = ReadU16(info + 14);
        bmp.compression = ReadU32(info + 16);
        bmp.imageSize = ReadU32(info + 20);
        bmp.colourCount = ReadU32(info + 32);
    }
    const int bpp = bmp.bitsPerPixel;
    if (planes != 1 || bmp.width <= 0 || bmp.rows <= 0 || bmp.rows > std::numeric_limits<LONG>::max() ||
        (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)) {
        InvalidBitmap();
    }
    const bool rle = bmp.compression == BI_RLE8 || bmp.compression == BI_RLE4;
    if (rle && (bmp.topDown || bpp != (bmp.compression == BI_RLE8 ? 8 : 4))) InvalidBitmap();
    if (bmp.compression == BI_BITFIELDS) {
        if (bpp != 32) InvalidBitmap();
        BYTE masks[12];
        if (infoSize >= 52) {
            std::memcpy(masks, info + 40, sizeof(masks));
        } else {
            if (pos + 12 > available) InvalidBitmap();
            stream.SetPosition(start + pos);
            ReadExact(stream, masks, sizeof(masks));
            pos += 12;
        }
        if (ReadU32(masks) != 0x00FF0000 || ReadU32(masks + 4) != 0x0000FF00 ||
            ReadU32(masks + 8) != 0x000000FF)
            InvalidBitmap();
    } else if (bmp.compression != BI_RGB && !rle) {
        InvalidBitmap();
    }

    // The colour table: biClrUsed entries, or all of them for the depth.
    if (bpp <= 8) {
        const DWORD full = DWORD{1} << bpp;
        if (bmp.colourCount == 0) bmp.colourCount = full;
        if (bmp.colourCount > full) InvalidBitmap();
        const std::int64_t entrySize = core ? 3 : 4;
        if (pos + bmp.colourCount * entrySize > available) InvalidBitmap();
        BYTE table[256 * 4];
        stream.SetPosition(start + pos);
        ReadExact(stream, table, bmp.colourCount * static_cast<std::uint64_t>(entrySize));
        for (DWORD i = 0; i < bmp.colourCount; ++i) {
            const BYTE* e = table + i * static_cast<std::size_t>(entrySize);
            bmp.colours[i] = RGBQUAD{e[0], e[1], e[2], 0};
        }
        pos += bmp.colourCount * entrySize;
    } else {
        bmp.colourCount = 0;
    }
    if (offBits < pos || offBits > available) InvalidBitmap();
    const auto dataBytes = static_cast<std::uint64_t>(available - offBits);

    const std::uint64_t stride = RowBytes(bpp, bmp.width);
    const auto rows = static_cast<std::uint64_t>(bmp.rows);
    // Refused before anything is allocated: uncompressed rows must all be present, decoded ones must fit
    // within the platform's limit for a bitmap section.
    if (stride > (rle ? BitmapSectionLimit() : dataBytes) / rows) InvalidBitmap();
    BYTE* bits = nullptr;
    HBITMAP section = NewSection(bpp, static_cast<LONG>(bmp.width), static_cast<LONG>(bmp.rows), bmp.colours,
                                 bmp.colourCount, &bits);
    if (section == nullptr) InvalidBitmap();
    TObjectGuard sectionGuard(section);
    stream.SetPosition(start + offBits);
    if (rle) {
        std::uint64_t size = dataBytes;
        if (bmp.imageSize != 0) size = std::min<std::uint64_t>(size, bmp.imageSize);
        std::vector<BYTE> data(static_cast<std::size_t>(size));
        ReadExact(stream, data.data(), size);
        DecodeRle(data.data(), data.size(), bpp, bmp.width, bmp.rows, bits, static_cast<std::size_t>(stride));
    } else if (!bmp.topDown) {
        ReadExact(stream, bits, stride * rows);
    } else {
        for (std::uint64_t r = 0; r < rows; ++r)
            ReadExact(stream, bits + (rows - 1 - r) * stride, stride);
    }
    HPALETTE palette = bpp <= 8 ? PaletteFromColours(bmp.colours, bmp.colourCount) : nullptr;
    TObjectGuard paletteGuard(palette);
    SetHandle(section);
    sectionGuard.Release();
    paletteGuard.Release();
    SetPaletteHandle(palette);
}

void TBitmap::SaveToStream(TStream& stream) {
    if (IsEmpty()) return;
    BITMAP record{};
    if (GetObjectA(FState->handle, sizeof(record), &record) == 0) InvalidBitmap();
    const int bpp = record.bmBitsPixel;
    const std::uint64_t imageSize =
        RowBytes(bpp, record.bmWidth) * static_cast<std::uint64_t>(record.bmHeight);
    const std::uint32_t colours = bpp <= 8 ? 1u << bpp : 0;
    const std::uint64_t offBits = 14 + sizeof(BITMAPINFOHEADER) + 4 * std::uint64_t{colours};
    if (offBits + imageSize > std::numeric_limits<std::uint32_t>::max()) InvalidBitmap();
    TBitmapInfo info(bpp, record.bmWidth, record.bmHeight);
    std::vector<BYTE> pixels(static_cast<std::size_t>(imageSize));
    if (GetDIBits(FState->dc, FState->handle, 0, static_cast<UINT>(record.bmHeight), pixels.data(),
                  info.Info(), DIB_RGB_COLORS) != record.bmHeight) {
        InvalidBitmap();
    }
    std::vector<BYTE> head(static_cast<std::size_t>(offBits));
    BYTE* p = head.data();
    p[0] = 'B';
    p[1] = 'M';
    PutU32(p + 2, static_cast<std::uint32_t>(offBits + imageSize));
    PutU32(p + 10, static_cast<std::uint32_t>(offBits));
    p += 14;
    PutU32(p, sizeof(BITMAPINFOHEADER));
    PutU32(p + 4, static_cast<std::uint32_t>(record.bmWidth));
    PutU32(p + 8, static_cast<std::uint32_t>(record.bmHeight));
    PutU16(p + 12, 1);
    PutU16(p + 14, static_cast<std::uint32_t>(bpp));
    PutU32(p + 16, BI_RGB);
    PutU32(p + 20, static_cast<std::uint32_t>(imageSize));
    p += sizeof(BITMAPINFOHEADER);
    for (std::uint32_t i = 0; i < colours; ++i, p += 4) {
        p[0] = info.colours[i].rgbBlue;
        p[1] = info.colours[i].rgbGreen;
        p[2] = info.colours[i].rgbRed;
    }
    WriteAll(stream, head.data(), head.size());
    WriteAll(stream, pixels.data(), pixels.size());
}

namespace {

// A memory context holding a bitmap of its own for the masked drawing; everything goes with it.
class TScratch {
public:
    explicit TScratch(HBITMAP bitmap) : FBitmap(bitmap), FDC(CreateCompatibleDC(nullptr)) {
        if (FBitmap != nullptr && FDC != nullptr) FOld = SelectObject(FDC, FBitmap);
    }
    TScratch(const TScratch&) = delete;
    TScratch& operator=(const TScratch&) = delete;
    ~TScratch() {
        if (FOld != nullptr) SelectObject(FDC, FOld);
        if (FDC != nullptr) DeleteDC(FDC);
        if (FBitmap != nullptr) DeleteObject(FBitmap);
    }
    bool Ok() const { return FOld != nullptr; }
    HDC DC() const { return FDC; }

private:
    HBITMAP FBitmap;
    HDC FDC;
    HGDIOBJ FOld = nullptr;
};

} // namespace

void TBitmap::DrawOn(TCanvas& canvas, const TRect& rect) {
    HDC target = canvas.Handle();
    if (target == nullptr || IsEmpty()) return;
    HDC source = FState->dc;
    const int w = FState->width;
    const int h = FState->height;
    const int oldMode = SetStretchBltMode(target, COLORONCOLOR);
    if (!Transparent()) {
        StretchBlt(target, rect.Left, rect.Top, rect.Width(), rect.Height(), source, 0, 0, w, h, SRCCOPY);
    } else {
        // The mask is 1 where the transparent colour is; the image is a copy with those pixels black.
        TScratch mask(CreateBitmap(w, h, 1, 1, nullptr));
        TScratch image(CreateCompatibleBitmap(source, w, h));
        if (!mask.Ok() || !image.Ok()) {
            SetStretchBltMode(target, oldMode);
            throw EOutOfResources();
        }
        const COLORREF oldSourceBk = SetBkColor(source, ColorToRGB(TransparentColor()));
        BitBlt(mask.DC(), 0, 0, w, h, source, 0, 0, SRCCOPY);
        SetBkColor(source, oldSourceBk);
        BitBlt(image.DC(), 0, 0, w, h, source, 0, 0, SRCCOPY);
        SetBkColor(image.DC(), RGB(0, 0, 0));
        SetTextColor(image.DC(), RGB(255, 255, 255));
        BitBlt(image.DC(), 0, 0, w, h, mask.DC(), 0, 0, SRCAND);
        // The target keeps its pixels under the mask's 1s and is cleared under its 0s; then the image.
        const COLORREF oldBk = SetBkColor(target, RGB(255, 255, 255));
        const COLORREF oldText = SetTextColor(target, RGB(0, 0, 0));
        StretchBlt(target, rect.Left, rect.Top, rect.Width(), rect.Height(), mask.DC(), 0, 0, w, h, SRCAND);
        SetBkColor(target, oldBk);
        SetTextColor(target, oldText);
        StretchBlt(target, rect.Left, rect.Top, rect.Width(), rect.Height(), image.DC(), 0, 0, w, h,
                   SRCPAINT);
    }
    SetStretchBltMode(target, oldMode);
}

void TBitmap::SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) {
    format = CF_BITMAP;
    RenderClipboard(FState->handle, FState->palette, data, palette);
}

void TBitmap::LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette) {
    if (format != CF_BITMAP || data == nullptr) throw EInvalidGraphic(kUnsupportedFormat);
    HBITMAP copy = Duplicate(static_cast<HBITMAP>(data)); // the clipboard keeps its own
    if (copy == nullptr) InvalidBitmap();
    TObjectGuard guard(copy);
    HPALETTE paletteCopy = CopyPalette(palette);
    SetHandle(copy);
    guard.Release();
    SetPaletteHandle(paletteCopy);
}

void TBitmap::CopyToClipboard() const {
    const TClipboardLock lock;
    HANDLE data = nullptr;
    HPALETTE palette = nullptr;
    RenderClipboard(FState->handle, FState->palette, data, palette);
    EmptyClipboard();
    if (data != nullptr && SetClipboardData(CF_BITMAP, data) == nullptr)
        DeleteObject(static_cast<HBITMAP>(data));
    if (palette != nullptr && SetClipboardData(CF_PALETTE, palette) == nullptr) DeleteObject(palette);
}

void TBitmap::PasteFromClipboard() {
    const TClipboardLock lock;
    HANDLE data = GetClipboardData(CF_BITMAP);
    auto* palette = static_cast<HPALETTE>(GetClipboardData(CF_PALETTE));
    LoadFromClipboardFormat(CF_BITMAP, data, palette);
}
