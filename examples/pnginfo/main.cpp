// pnginfo: loads a PNG file, tells what it is, draws it over a solid colour and saves the result as
// PNG and as BMP. A small program against the installed libraries.
//
//   pnginfo IN.png OUT.png OUT.bmp [COLOR]     COLOR: the background as RRGGBB (default d3d3d3)
//
// Exit codes: 0 done, 1 usage error, 2 a file could not be read or written.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <vorlanth/platform/gdi.h>
#include <vorlanth/png/pngimage.h>
#include <vorlanth/toolkit/core/bitmap.h>
#include <vorlanth/toolkit/core/exception.h>
#include <vorlanth/toolkit/core/picture.h>
#include <vorlanth/version.h>

namespace {

int Usage() {
    std::fputs("usage: pnginfo IN.png OUT.png OUT.bmp [RRGGBB]\n", stderr);
    return 1;
}

// Colour values hold red in the low byte: 0x00BBGGRR.
int Red(COLORREF c) {
    return static_cast<int>(c & 0xFF);
}
int Green(COLORREF c) {
    return static_cast<int>((c >> 8) & 0xFF);
}
int Blue(COLORREF c) {
    return static_cast<int>((c >> 16) & 0xFF);
}

// "RRGGBB" as a colour value; false when the text is not six hexadecimal digits.
bool ParseColor(const std::string& text, TColor& colour) {
    char* end = nullptr;
    const unsigned long rgb = std::strtoul(text.c_str(), &end, 16);
    if (text.size() != 6 || *end != 0) return false;
    colour = static_cast<TColor>(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF));
    return true;
}

void Run(const std::string& inName, const std::string& pngName, const std::string& bmpName,
         TColor background) {
    // [snippet load]
    TPNGObject image;
    image.LoadFromFile(inName); // or image.LoadFromStream(stream) for any TStream
    // [end]

    // [snippet info]
    const std::int32_t width = image.PixelWidth();
    const std::int32_t height = image.PixelHeight();
    static const char* const kinds[] = {"opaque", "key colour", "alpha"};
    std::printf("%s: %d x %d, %s\n", inName.c_str(), width, height, kinds[image.TransparencyKind()]);
    if (image.TransparencyKind() == ptkKeyColor)
        std::printf("key colour 0x%06lx\n", static_cast<unsigned long>(image.KeyColor()));
    // [end]

    // [snippet pixels]
    const COLORREF topLeft = image.PixelAt(0, 0); // 0x00BBGGRR; what an indexed pixel is drawn with
    std::printf("top-left pixel: red %d green %d blue %d\n", Red(topLeft), Green(topLeft), Blue(topLeft));
    // [end]

    // [snippet rows]
    // The rows are the image memory itself: for 8-bit RGB a row is blue, green, red per pixel,
    // with alpha in a plane of its own (one byte per pixel, null without one).
    if (const std::uint8_t* alpha = image.AlphaRow(0)) {
        long sum = 0;
        for (std::int32_t x = 0; x < width; ++x)
            sum += alpha[x];
        std::printf("first row: average alpha %.1f\n", static_cast<double>(sum) / width);
    }
    // [end]

    // [snippet ownership]
    // A 32-bit top-down bitmap of the image's size. SetHandle hands the handle to the TBitmap,
    // which deletes it; the caller must not.
    BITMAPINFOHEADER header{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                       &bits, nullptr, 0);
    if (section == nullptr) throw EOutOfResources();
    TBitmap surface;
    surface.SetHandle(section);
    // [end]

    // [snippet draw-alpha]
    // DrawOn chooses by the transparency kind: opaque images are copied, key-colour images drawn
    // through a mask, images with alpha blended over what the canvas already shows.
    const TRect all{0, 0, width, height};
    surface.Canvas().Brush().Color = background;
    surface.Canvas().FillRect(all);
    image.DrawOn(surface.Canvas(), all);
    // [end]

    // The drawn result as a new PNG image: opaque RGB, taken from the bitmap.
    TPNGObject result;
    result.AssignFrom(&surface);
    const COLORREF drawn = result.PixelAt(0, 0);
    std::printf("drawn top-left pixel: red %d green %d blue %d\n", Red(drawn), Green(drawn), Blue(drawn));
    if (result.HeaderChunk().RowBits() == 24) {
        const std::uint8_t* row = result.PixelRow(0);
        long sum[3] = {};
        for (std::int32_t x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                sum[c] += row[3 * x + c];
        std::printf("drawn first row: average red %.1f green %.1f blue %.1f\n",
                    static_cast<double>(sum[2]) / width, static_cast<double>(sum[1]) / width,
                    static_cast<double>(sum[0]) / width);
    }

    // [snippet save]
    result.FilterSet = FilterBit(pfNone) | FilterBit(pfSub) | FilterBit(pfPaeth); // tried per row
    result.DeflateLevel = 9;                                                      // 0 (store) to 9
    result.SaveToFile(pngName);
    // [end]

    // [snippet bitmap]
    // A plain bitmap copy: the pixel rows without alpha (a key colour becomes the bitmap's
    // transparent colour), saved as a BMP file.
    TBitmap plain;
    plain.AssignFrom(&result);
    plain.SaveToFile(bmpName);
    // [end]
    std::printf("wrote %s and %s\n", pngName.c_str(), bmpName.c_str());
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) return Usage();
    TColor background = static_cast<TColor>(0xD3D3D3); // light grey
    if (argc == 5 && !ParseColor(argv[4], background)) return Usage();
    std::printf("Vorlanth %s\n", VORLANTH_VERSION);

    // The picture registry and the PNG format are set up once, before any image is made.
    PictureInitialization();
    PngImageInitialization();
    int result = 0;
    // [snippet errors]
    // Every error of the libraries is an Exception: a file that cannot be opened (EFOpenError), a
    // damaged PNG (EPNGInvalidFileHeader, EPngInvalidCRC, ...), a failed write (EFCreateError).
    try {
        Run(argv[1], argv[2], argv[3], background);
    } catch (const Exception& e) {
        std::fprintf(stderr, "pnginfo: %s: %s\n", e.ClassName(), e.Message().c_str());
        result = 2;
    }
    // [end]
    PngImageFinalization();
    PictureFinalization();
    return result;
}
