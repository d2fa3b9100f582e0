// The picture-format registry: which graphic class reads files of which extension, and which class
// a stored picture names. Filled at start-up by the image libraries, emptied at shut-down.
#pragma once

#include <string>
#include <vector>

#include "toolkit/core/graphic.h"

struct TFileFormat {
    std::string Extension; // without the dot, compared case-insensitively
    std::string Description;
    const TGraphicClass* GraphicClass;
};

class TPicture {
public:
    static void RegisterFileFormat(const std::string& extension, const std::string& description,
                                   const TGraphicClass* graphicClass);
    // Removes every format of the class.
    static void UnregisterGraphicClass(const TGraphicClass* graphicClass);
    static const TGraphicClass* FindByExtension(const std::string& extension);
    static const TGraphicClass* FindByClassName(const std::string& className);
    static std::vector<TFileFormat> FileFormats();

    // Loads a picture file through the class registered for its extension; raises EInvalidGraphic
    // "Unknown picture file extension (.EXT)" when none is.
    static std::unique_ptr<TGraphic> LoadFromFile(const std::string& fileName);
};

// Unit start-up and shut-down of the picture registry.
void PictureInitialization();
void PictureFinalization();
