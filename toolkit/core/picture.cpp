#include "toolkit/core/picture.h"

#include <algorithm>
#include <cctype>
#include <memory>

#include "toolkit/core/exception.h"

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
