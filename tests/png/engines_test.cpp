// The compression engines behind the image data, held against zlib over the standard image set:
// each inflater reads the same image memory or raises the same error, and what each deflater writes
// at each level reads back to the same image; above the whole-image budget the save is zlib's.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "png/pngdeflate.h"
#include "png/pngheader.h"
#include "png/pnginflate.h"
#include "support/png_load.h"
#include "support/pngsuite.h"

namespace {

using namespace pngtest;

Bytes ReadFile(const std::string& name) {
    std::ifstream in(SuiteDir() + "/" + name + ".png", std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The image memory's rows and planes, or the error's class and message.
std::string Outcome(const Bytes& file) {
    TPNGObject image;
    try {
        Load(image, file);
    } catch (const Exception& e) {
        return std::string(e.ClassName()) + ": " + e.Message();
    }
    const TChunkIHDR& h = image.HeaderChunk();
    std::string rows;
    for (std::int32_t y = 0; y < static_cast<std::int32_t>(h.Height); ++y)
        for (const auto& [row, length] : {std::pair{h.PixelRow(y), std::size_t(h.RowStride())},
                                          std::pair{h.LowByteRow(y), std::size_t(h.RowStride())},
                                          std::pair{h.AlphaRow(y), std::size_t(h.Width)}})
            if (row != nullptr) rows.append(reinterpret_cast<const char*>(row), length);
    return rows;
}

struct TEngines {
    ~TEngines() {
        SetImageInflateEngine(TInflateEngine::Zlib);
        SetImageDeflateEngine(WholeDeflateBuilt() ? TDeflateEngine::Libdeflate : TDeflateEngine::Zlib);
    }
};

TEST(Engines, EveryInflaterAndDeflaterAgreesWithZlib) {
    if (SuiteMissing()) GTEST_SKIP() << "no PNG test images";
    const TEngines restore;
    for (const bool corrupt : {false, true})
        for (const std::string& name : SuiteNames(corrupt)) {
            const Bytes file = ReadFile(name);
            SetImageInflateEngine(TInflateEngine::Zlib);
            const std::string reference = Outcome(file);
            SetImageInflateEngine(TInflateEngine::Isal);
            EXPECT_EQ(Outcome(file), reference) << name << " read by ISA-L";
            if (corrupt) continue;
            SetImageInflateEngine(TInflateEngine::Zlib);
            for (const TDeflateEngine engine : {TDeflateEngine::Zlib, TDeflateEngine::Libdeflate})
                for (const int level : {0, 1, 7, 9}) {
                    SetImageDeflateEngine(engine);
                    TPNGObject image;
                    Load(image, file);
                    image.DeflateLevel = static_cast<std::uint8_t>(level);
                    EXPECT_EQ(Outcome(Save(image)), reference)
                        << name << " written by engine " << int(engine) << " at level " << level;
                }
        }
}

TEST(Engines, AboveTheBudgetTheSaveStreamsThroughZlib) {
    if (SuiteMissing()) GTEST_SKIP() << "no PNG test images";
    const TEngines restore;
    TPNGObject image;
    Load(image, ReadFile("basn6a16"));
    SetImageDeflateEngine(TDeflateEngine::Zlib);
    const Bytes zlib = Save(image);
    SetImageDeflateEngine(TDeflateEngine::Libdeflate);
    image.DeflateBudget = 0;
    EXPECT_EQ(Save(image), zlib);
}

} // namespace
