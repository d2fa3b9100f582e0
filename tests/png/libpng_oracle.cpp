#include "libpng_oracle.h"

#include <png.h>

#include <cstdio>
#include <cstring>

namespace {

// Everything libpng's callbacks touch lives here, outside the frames a longjmp skips.
struct TReadState {
    const std::vector<std::uint8_t>* File = nullptr;
    std::size_t Position = 0;
    char Message[256] = {};
    std::vector<png_bytep> RowPointers;
};

void OnError(png_structp png, png_const_charp message) {
    auto* state = static_cast<TReadState*>(png_get_error_ptr(png));
    std::snprintf(state->Message, sizeof state->Message, "%s", message);
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void OnRead(png_structp png, png_bytep data, png_size_t length) {
    auto* state = static_cast<TReadState*>(png_get_io_ptr(png));
    if (length > state->File->size() - state->Position) png_error(png, "unexpected end of file");
    std::memcpy(data, state->File->data() + state->Position, length);
    state->Position += length;
}

// May be left by longjmp at any libpng call: holds no object with a destructor.
void ReadAll(png_structp png, png_infop info, TReadState& state, TRawImage& image) {
    png_set_read_fn(png, &state, OnRead);
    png_read_info(png, info);
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int interlace = 0;
    png_get_IHDR(png, info, &width, &height, &image.BitDepth, &image.ColorType, &interlace, nullptr, nullptr);
    image.Width = width;
    image.Height = height;
    image.Interlace = interlace;
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const png_size_t rowBytes = png_get_rowbytes(png, info);
    image.Rows.assign(height, std::vector<std::uint8_t>(rowBytes));
    state.RowPointers.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        state.RowPointers[y] = image.Rows[y].data();
    png_read_image(png, state.RowPointers.data());
    png_read_end(png, nullptr);

    png_colorp palette = nullptr;
    int count = 0;
    if (png_get_PLTE(png, info, &palette, &count) != 0)
        for (int i = 0; i < count; ++i)
            image.Palette.push_back({palette[i].red, palette[i].green, palette[i].blue});
    png_fixed_point gamma = 0;
    if (png_get_gAMA_fixed(png, info, &gamma) != 0) {
        image.HasGamma = true;
        image.Gamma = static_cast<std::uint32_t>(gamma);
    }
}

bool Decode(png_structp png, png_infop info, TReadState& state, TRawImage& image) {
    if (setjmp(png_jmpbuf(png)) != 0) return false;
    ReadAll(png, info, state, image);
    return true;
}

} // namespace

std::string DecodeWithLibpng(const std::vector<std::uint8_t>& file, TRawImage& image) {
    image = TRawImage{};
    TReadState state;
    state.File = &file;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, OnError, OnWarning);
    if (png == nullptr) return "png_create_read_struct failed";
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return "png_create_info_struct failed";
    }
    const bool ok = Decode(png, info, state, image);
    png_destroy_read_struct(&png, &info, nullptr);
    return ok ? std::string() : std::string("libpng: ") + state.Message;
}
