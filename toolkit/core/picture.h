// The picture-format registry: which graphic class reads files of which extension, and which class
// a stored picture names. Filled at start-up by the image libraries, emptied at shut-down.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/core/graphic.h"

struct TFileFormat {
    std::string Extension; // without the dot, compared case-insensitively
    std::string Description;
    const TGraphicClass* GraphicClass;
};

// A picture: one graphic (or none) that a control shows, plus the registry of graphic formats.
class TPicture {
public:
    TPicture();
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;
    ~TPicture();

    // The graphic, owned by the picture; null when the picture is empty.
    TGraphic* Graphic() const { return FGraphic.get(); }
    void SetGraphic(std::unique_ptr<TGraphic> graphic);
    std::int32_t Width() const;
    std::int32_t Height() const;
    // Reads a stored picture: one length byte and the graphic class name, then the graphic's own
    // data. The name is matched exactly against the registered classes, the most recent first; a
    // name without a registered class leaves the picture empty without an error. Errors of the
    // graphic's reader propagate unchanged.
    void ReadData(TStream& stream);
    // Called after every change of the graphic.
    std::function<void()> OnChange;

    static void RegisterFileFormat(const std::string& extension, const std::string& description,
                                   const TGraphicClass* graphicClass);
    // Removes every format of the class.
    static void UnregisterGraphicClass(const TGraphicClass* graphicClass);
    static const TGraphicClass* FindByExtension(const std::string& extension);
    static const TGraphicClass* FindByClassName(const std::string& className);
    static std::vector<TFileFormat> FileFormats();
    // The class registered under exactly this name (case-sensitive), searching from the most
    // recently registered format back to the first; null when there is none.
    static const TGraphicClass* FindGraphicClass(const std::string& className);

    // Loads a picture file through the class registered for its extension; raises EInvalidGraphic
    // "Unknown picture file extension (.EXT)" when none is.
    static std::unique_ptr<TGraphic> LoadFromFile(const std::string& fileName);

private:
    std::unique_ptr<TGraphic> FGraphic;
};

// Unit start-up and shut-down of the picture registry.
void PictureInitialization();
void PictureFinalization();
