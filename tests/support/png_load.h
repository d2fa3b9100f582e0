// Loading helpers for tests: a stream over bytes, and the class name of what loading raised.
#pragma once

#include <string>

#include "png/pngimage.h"
#include "support/png_builder.h"
#include "toolkit/core/stream.h"

namespace pngtest {

inline void Load(TPNGObject& image, const Bytes& bytes) {
    TCustomMemoryStream stream(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    image.ReadPng(stream);
}

// "" when loading succeeds, otherwise the exception's class name.
inline std::string LoadError(TPNGObject& image, const Bytes& bytes) {
    try {
        Load(image, bytes);
    } catch (const Exception& e) {
        return e.ClassName();
    }
    return "";
}

inline Bytes Save(TPNGObject& image) {
    TMemoryStream stream;
    image.WritePng(stream);
    return Bytes(stream.Memory(), stream.Memory() + stream.Size());
}

// The chunk types of the image's list, space-separated.
inline std::string ChunkTypes(const TPNGObject& image) {
    std::string out;
    for (std::uint32_t i = 0; i < image.Chunks().ItemCount(); ++i) {
        if (!out.empty()) out += ' ';
        out += image.Chunks().ChunkAt(i)->TypeText();
    }
    return out;
}

} // namespace pngtest
