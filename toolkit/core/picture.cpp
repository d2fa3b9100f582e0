#include "toolkit/core/picture.h"

#include <algorithm>
#include <cctype>
#include <memory>

#include "toolkit/core/bitmap.h"
#include "toolkit/core/exception.h"
#include "toolkit/core/stream.h"

namespace {

std::unique_ptr<std::vector<TFileFormat>> Formats;

std::vector<TFileFormat>& FormatList() {
    if (!Formats) Formats = std::make_unique<std::vector<TFileFormat>>();
    return *Formats;
}

bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

void PictureInitialization() {
    Formats = std::make_unique<std::vector<TFileFormat>>();
    // The toolkit's own format; the image libraries add theirs in their start-up.
    Formats->push_back(TFileFormat{"bmp", "Bitmaps", &TBitmap::GraphicClass});
}
void PictureFinalization() {
    Formats.reset();
}

void TPicture::RegisterFileFormat(const std::string& extension, const std::string& description,
                                  const TGraphicClass* graphicClass) {
    FormatList().push_back(TFileFormat{extension, description, graphicClass});
}

void TPicture::UnregisterGraphicClass(const TGraphicClass* graphicClass) {
    if (!Formats) return;
    std::erase_if(*Formats, [&](const TFileFormat& f) { return f.GraphicClass == graphicClass; });
}

const TGraphicClass* TPicture::FindByExtension(const std::string& extension) {
    if (!Formats) return nullptr;
    std::string ext = extension;
    if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
    for (const auto& f : *Formats)
        if (SameText(f.Extension, ext)) return f.GraphicClass;
    return nullptr;
}

const TGraphicClass* TPicture::FindByClassName(const std::string& className) {
    if (!Formats) return nullptr;
    for (const auto& f : *Formats)
        if (SameText(f.GraphicClass->Name, className)) return f.GraphicClass;
    return nullptr;
}

std::vector<TFileFormat> TPicture::FileFormats() {
    return Formats ? *Formats : std::vector<TFileFormat>{};
}

std::unique_ptr<TGraphic> TPicture::LoadFromFile(const std::string& fileName) {
    const auto dot = fileName.find_last_of('.');
    const auto slash = fileName.find_last_of("/\\");
    std::string ext;
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        ext = fileName.substr(dot + 1);
    const TGraphicClass* cls = FindByExtension(ext);
    if (cls == nullptr) throw EInvalidGraphic("Unknown picture file extension (." + ext + ")");
    auto graphic = cls->Create();
    graphic->LoadFromFile(fileName);
    return graphic;
}

const TGraphicClass* TPicture::FindGraphicClass(const std::string& className) {
    if (!Formats) return nullptr;
    for (auto it = Formats->rbegin(); it != Formats->rend(); ++it)
        if (className == it->GraphicClass->Name) return it->GraphicClass;
    return nullptr;
}

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::SetGraphic(std::unique_ptr<TGraphic> graphic) {
    FGraphic = std::move(graphic);
    if (OnChange) OnChange();
}

std::int32_t TPicture::Width() const {
    return FGraphic ? FGraphic->PixelWidth() : 0;
}

std::int32_t TPicture::Height() const {
    return FGraphic ? FGraphic->PixelHeight() : 0;
}

void TPicture::ReadData(TStream& stream) {
    std::uint8_t length = 0;
    stream.ReadBuffer(&length, 1);
    std::string name(length, '\0');
    if (length > 0) stream.ReadBuffer(name.data(), length);
    const TGraphicClass* cls = FindGraphicClass(name);
    if (cls == nullptr) {
        SetGraphic(nullptr);
        return;
    }
    auto graphic = cls->Create();
    graphic->ReadData(stream);
    SetGraphic(std::move(graphic));
}
