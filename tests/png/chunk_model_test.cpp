// The chunk model: lists, the class registry, chunk creation and placement, CRC and byte helpers.
#include <vector>

#include <gtest/gtest.h>

#include "platform/gdi.h"
#include "support/png_load.h"
#include "toolkit/core/picture.h"

using namespace pngtest;

namespace {

TEST(PointerList, InsertRemoveAndCountSemantics) {
    TPNGObject image;
    TPNGList list(&image);
    auto make = [&image] { return TChunk::Class.CreateFor(&image); };
    TChunk* a = list.InsertAt(make(), 5); // an empty list takes an insertion anywhere
    EXPECT_EQ(list.ItemCount(), 1u);
    EXPECT_EQ(list.InsertAt(make(), 1), nullptr); // at or past the end of a non-empty list: nothing happens
    EXPECT_EQ(list.ItemCount(), 1u);
    TChunk* b = list.InsertAt(make(), 0);
    TChunk* c = list.AppendItem(make());
    TChunk* d = list.AppendItem(make());
    // b a c d: removing d hands it back
    const std::unique_ptr<TChunk> removed = list.RemoveItem(d);
    EXPECT_EQ(removed.get(), d);
    ASSERT_EQ(list.ItemCount(), 3u);
    EXPECT_EQ(list.ChunkAt(0), b);
    EXPECT_EQ(list.ChunkAt(1), a);
    EXPECT_EQ(list.ChunkAt(2), c);
    EXPECT_EQ(list.ChunkAt(3), nullptr);
    EXPECT_EQ(list.RemoveItem(d), nullptr); // no longer held
    list.Clear();
    EXPECT_EQ(list.ChunkAt(0), nullptr);
}

TEST(Registry, StandardClassesInOrderAndTypeNames) {
    const char* expected[] = {"IEND", "IHDR", "IDAT", "PLTE", "gAMA", "tRNS", "pHYs", "tIME", "tEXt", "zTXt"};
    ASSERT_EQ(RegisteredChunkClassCount(), 10u);
    for (std::uint32_t i = 0; i < 10; ++i)
        EXPECT_EQ(RegisteredChunkClass(i)->TypeName(), expected[i]);
    EXPECT_EQ(TChunk::Class.TypeName(), "");
    EXPECT_TRUE(TChunkzTXt::Class.InheritsFrom(TChunktEXt::Class));
    EXPECT_FALSE(TChunktEXt::Class.InheritsFrom(TChunkzTXt::Class));
}

TEST(Registry, CreateForTypeTakesTheExactCaseAndKeepsTheBytes) {
    TPNGObject image;
    struct Case {
        TChunkTypeCode type;
        const char* className;
    };
    const Case cases[] = {
        {{'I', 'H', 'D', 'R'}, "TChunkIHDR"}, {{'z', 'T', 'X', 't'}, "TChunkzTXt"},
        {{'i', 'h', 'd', 'r'}, "TChunk"},     {{'I', 'E', 'N', 0}, "TChunk"},
        {{'i', 'C', 'C', 'P'}, "TChunk"},
    };
    for (const Case& c : cases) {
        std::unique_ptr<TChunk> chunk(CreateChunkForType(&image, c.type));
        EXPECT_STREQ(chunk->ClassType().Name, c.className);
        EXPECT_EQ(chunk->TypeCode(), c.type);
        EXPECT_EQ(chunk->BodySize(), 0);
        EXPECT_EQ(chunk->OwnerImage(), &image);
    }
}

TEST(Registry, ReleaseAndReRegister) {
    ReleaseChunkClasses();
    EXPECT_EQ(RegisteredChunkClassCount(), 0u);
    ReleaseChunkClasses(); // twice is harmless
    TPNGObject image;
    std::unique_ptr<TChunk> chunk(CreateChunkForType(&image, {'I', 'H', 'D', 'R'}));
    EXPECT_STREQ(chunk->ClassType().Name, "TChunk");
    RegisterStandardChunks();
    EXPECT_EQ(RegisteredChunkClassCount(), 10u);
}

class AddByClassTest : public ::testing::Test {
protected:
    void LoadWith(std::initializer_list<Bytes> middle) { Load(image, Png(IhdrBody(1, 1, 8, 3), middle)); }
    Bytes Palette() { return Chunk("PLTE", {1, 2, 3}); }
    Bytes Data() { return Chunk("IDAT", Compress({0, 0})); }
    TPNGObject image;
};

TEST_F(AddByClassTest, StandardPlaces) {
    struct Case {
        std::initializer_list<Bytes> middle;
        const TChunkClass* cls;
        const char* after;
    };
    const Bytes text = Chunk("tEXt", {'a', 0, 'b'});
    const Case cases[] = {
        {{Palette(), Data()}, &TChunktRNS::Class, "IHDR PLTE tRNS IDAT IEND"},
        {{text, Palette(), Data()}, &TChunkgAMA::Class, "IHDR gAMA tEXt PLTE IDAT IEND"},
        {{text, Palette(), Data()}, &TChunkpHYs::Class, "IHDR pHYs tEXt PLTE IDAT IEND"},
        {{Palette(), Data()}, &TChunktIME::Class, "IHDR PLTE IDAT tIME IEND"},
        {{Palette(), Data(), text}, &TChunkzTXt::Class, "IHDR PLTE IDAT tEXt zTXt IEND"},
    };
    for (const Case& c : cases) {
        LoadWith(c.middle);
        TChunk* added = image.Chunks().AddByClass(*c.cls);
        ASSERT_NE(added, nullptr);
        EXPECT_EQ(&added->ClassType(), c.cls);
        EXPECT_EQ(ChunkTypes(image), c.after);
    }
}

TEST_F(AddByClassTest, TransparencyWithoutPaletteGoesBeforeImageData) {
    Load(image,
         Png(IhdrBody(1, 1, 8, 2), {Chunk("tEXt", {'a', 0, 'b'}), Chunk("IDAT", Compress({0, 1, 2, 3}))}));
    image.Chunks().AddByClass(TChunktRNS::Class);
    EXPECT_EQ(ChunkTypes(image), "IHDR tEXt tRNS IDAT IEND");
}

TEST_F(AddByClassTest, Refusals) {
    LoadWith({Palette(), Data()});
    const std::string existent = pnglang::EPngErrorExistentCriticalText;
    for (const TChunkClass* cls :
         {&TChunkIHDR::Class, &TChunkIDAT::Class, &TChunkPLTE::Class, &TChunkIEND::Class}) {
        try {
            image.Chunks().AddByClass(*cls);
            ADD_FAILURE() << cls->Name;
        } catch (const EPngError& e) {
            EXPECT_EQ(e.Message(), existent);
        }
    }
    image.Chunks().AddByClass(TChunktRNS::Class);
    EXPECT_THROW(image.Chunks().AddByClass(TChunktRNS::Class), EPngError);
    EXPECT_NO_THROW(image.Chunks().AddByClass(TChunktEXt::Class)); // any number of texts

    TPNGObject empty;
    try {
        empty.Chunks().AddByClass(TChunktEXt::Class);
        ADD_FAILURE();
    } catch (const EPngError& e) {
        EXPECT_EQ(e.Message(), pnglang::EPngErrorInvalidImageText);
    }
}

TEST(ImageObject, DefaultsAndSettings) {
    TPNGObject image;
    EXPECT_EQ(image.FilterSet, FilterBit(pfSub));
    EXPECT_EQ(image.DeflateLevel, 7);
    EXPECT_EQ(image.InterlaceMode, 0);
    EXPECT_EQ(image.IdatLimit(), 65535);
    image.SetIdatLimit(1000);
    EXPECT_EQ(image.IdatLimit(), 65535);
    image.SetIdatLimit(100000);
    EXPECT_EQ(image.IdatLimit(), 100000);
    EXPECT_EQ(image.PixelWidth(), 0);
    EXPECT_THROW(image.HeaderChunk(), EPNGHeaderNotPresent);
    EXPECT_THROW(image.PaletteHandle(), EPNGHeaderNotPresent);
    const auto g = image.RowGeometry();
    EXPECT_EQ(g.RowLength, 0);
    EXPECT_EQ(g.FilterDistance, 0);
}

TEST(ImageObject, RowGeometryAndRowBytes) {
    struct Case {
        std::uint32_t width;
        std::uint8_t depth, colorType;
        std::int32_t rowLength, distance;
    };
    const Case cases[] = {
        {5, 1, 0, 1, 1},   {5, 2, 0, 2, 1}, {5, 16, 0, 10, 2}, {9, 4, 3, 5, 1},  {5, 8, 2, 15, 3},
        {5, 16, 2, 30, 6}, {3, 8, 4, 6, 2}, {3, 16, 4, 12, 4}, {3, 8, 6, 12, 4}, {3, 16, 6, 24, 8},
    };
    for (const Case& c : cases) {
        TPNGObject image;
        const Bytes raw((c.rowLength + 1) * 1, 0);
        Load(image,
             Png(IhdrBody(c.width, 1, c.depth, c.colorType),
                 {c.colorType == 3 ? Chunk("PLTE", Bytes(48, 0)) : Bytes{}, Chunk("IDAT", Compress(raw))}));
        const auto g = image.RowGeometry();
        EXPECT_EQ(g.RowLength, c.rowLength) << c.width << "x" << int(c.depth) << "/" << int(c.colorType);
        EXPECT_EQ(g.FilterDistance, c.distance);
        EXPECT_EQ(PngRowBytes(static_cast<std::int32_t>(c.width), c.colorType, c.depth), c.rowLength);
    }
    EXPECT_EQ(PngRowBytes(5, 5, 8), 0);
}

TEST(ByteHelpers, CrcAndSwaps) {
    const std::uint8_t iend[4] = {'I', 'E', 'N', 'D'};
    EXPECT_EQ(UpdatePngCrc(0xFFFFFFFFu, iend, 4) ^ 0xFFFFFFFFu, 0xAE426082u);
    EXPECT_EQ(UpdatePngCrc(0x12345678u, iend, 0), 0x12345678u);
    EXPECT_EQ(UpdatePngCrc(0x12345678u, iend, -3), 0x12345678u);
    // Split updates equal one update over the whole.
    const std::uint8_t text[] = "The quick brown fox";
    EXPECT_EQ(UpdatePngCrc(UpdatePngCrc(0xFFFFFFFFu, text, 7), text + 7, 12),
              UpdatePngCrc(0xFFFFFFFFu, text, 19));
    // Against the bitwise definition of the register.
    std::uint32_t reference = 0xFFFFFFFFu;
    for (std::uint8_t byte : text) {
        reference ^= byte;
        for (int k = 0; k < 8; ++k)
            reference = (reference >> 1) ^ (0xEDB88320u & (0u - (reference & 1u)));
    }
    EXPECT_EQ(UpdatePngCrc(0xFFFFFFFFu, text, sizeof text), reference);
    // The wide routines take other paths by length and alignment: every length up to a few hundred
    // bytes from several starts, against the same bitwise register.
    std::vector<std::uint8_t> noise(1100);
    std::uint32_t seed = 12345;
    for (std::uint8_t& b : noise)
        b = static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 23);
    for (std::size_t start : {0u, 1u, 5u, 31u}) {
        std::uint32_t bitwise = 0xFFFFFFFFu;
        for (std::size_t length = 0; start + length <= 1064; ++length) {
            ASSERT_EQ(UpdatePngCrc(0xFFFFFFFFu, noise.data() + start, static_cast<std::int32_t>(length)),
                      bitwise)
                << "from " << start << ", " << length << " bytes";
            bitwise ^= noise[start + length];
            for (int k = 0; k < 8; ++k)
                bitwise = (bitwise >> 1) ^ (0xEDB88320u & (0u - (bitwise & 1u)));
        }
    }
    EXPECT_EQ(SwapBytes32(0x11223344u), 0x44332211u);
    EXPECT_EQ(SwapBytes16(0xAABB1122u), 0x2211u);
}

TEST(ImageObject, CopyGivesTheSameClassesAndSettings) {
    TPNGObject source;
    Load(source,
         Png(IhdrBody(2, 1, 8, 3), {Chunk("PLTE", {9, 8, 7, 6, 5, 4}), Chunk("tRNS", {0}),
                                    Chunk("tEXt", {'k', 0, 'v'}), Chunk("IDAT", Compress({0, 1, 0}))}));
    source.FilterSet = 0x1F;
    source.DeflateLevel = 3;
    source.SetIdatLimit(70000);
    TPNGObject copy;
    copy.AssignFrom(&source);
    ASSERT_EQ(ChunkTypes(copy), ChunkTypes(source));
    for (std::uint32_t i = 0; i < copy.Chunks().ItemCount(); ++i) {
        EXPECT_EQ(&copy.Chunks().ChunkAt(i)->ClassType(), &source.Chunks().ChunkAt(i)->ClassType());
        EXPECT_EQ(copy.Chunks().ChunkAt(i)->OwnerImage(), &copy);
    }
    EXPECT_EQ(copy.FilterSet, 0x1F);
    EXPECT_EQ(copy.DeflateLevel, 3);
    EXPECT_EQ(copy.IdatLimit(), 70000);
    const TChunkIHDR& h = copy.HeaderChunk();
    EXPECT_EQ(h.PixelRows()[0], 0x01); // second pixel index 1
    EXPECT_EQ(h.DibInfo().ColorTable[1].rgbRed, 6);
    // The copy draws from its own palette object, holding the source's colours.
    PALETTEENTRY entry{};
    ASSERT_EQ(GetPaletteEntries(copy.PaletteHandle(), 1, 1, &entry), 1u);
    EXPECT_EQ(entry.peRed, 6);
    copy.AssignFrom(nullptr);
    EXPECT_TRUE(copy.IsEmpty());
}

} // namespace

namespace {

TEST(Registration, PngFormatIsRegisteredAndRemovedAtShutDown) {
    EXPECT_EQ(TPicture::FindByExtension("png"), &TPNGObject::GraphicClass);
    EXPECT_EQ(TPicture::FindByClassName("TPNGObject"), &TPNGObject::GraphicClass);
    bool described = false;
    for (const TFileFormat& f : TPicture::FileFormats())
        described |= f.Extension == "PNG" && f.Description == "Portable Network Graphics";
    EXPECT_TRUE(described);
    auto graphic = TPNGObject::GraphicClass.Create();
    EXPECT_STREQ(graphic->ClassName(), "TPNGObject");

    PngImageFinalization();
    EXPECT_EQ(TPicture::FindByExtension("png"), nullptr);
    EXPECT_EQ(RegisteredChunkClassCount(), 0u);
    PngImageInitialization();
    EXPECT_EQ(TPicture::FindByExtension("png"), &TPNGObject::GraphicClass);
    EXPECT_EQ(RegisteredChunkClassCount(), 10u);
}

} // namespace
