// Binary window descriptions: the writer's choices, the reader against hand-built and hostile bytes,
// and the picture value layout.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "toolkit/core/exception.h"
#include "toolkit/core/formdata.h"

// The largest single allocation while gTrackAllocations is set: proves that the reader does not
// allocate what a hostile count announces. Replaces the program's operator new and delete (forwarding
// to malloc and free); the deletes stay out of line so that GCC does not pair an inlined free with
// the new expression it sees.
namespace {
std::atomic<bool> gTrackAllocations{false};
std::atomic<std::size_t> gLargestAllocation{0};
} // namespace

void* operator new(std::size_t size) {
    if (gTrackAllocations.load(std::memory_order_relaxed)) {
        std::size_t largest = gLargestAllocation.load();
        while (size > largest && !gLargestAllocation.compare_exchange_weak(largest, size)) {}
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

using Bytes = std::vector<std::uint8_t>;

// Builders for hand-made descriptions, so the tests state the layout independently of the writer.
void Name(Bytes& out, const std::string& text) {
    out.push_back(static_cast<std::uint8_t>(text.size()));
    out.insert(out.end(), text.begin(), text.end());
}
void U32(Bytes& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}
Bytes Header(const std::string& className, const std::string& objectName) {
    Bytes out = {'T', 'P', 'F', '0'};
    Name(out, className);
    Name(out, objectName);
    return out;
}
// A description of one object with one property whose tag and payload are given.
Bytes OneProperty(std::uint8_t tag, const Bytes& payload) {
    Bytes out = Header("TForm", "F");
    Name(out, "P");
    out.push_back(tag);
    out.insert(out.end(), payload.begin(), payload.end());
    out.push_back(0); // end of properties
    out.push_back(0); // end of children
    return out;
}

// A description with every value kind, a non-minimal integer tag and a child object.
Bytes HandBuilt() {
    Bytes b = Header("TForm4", "Form4");
    Name(b, "Left");
    b.insert(b.end(), {2, 0xF5}); // -11
    Name(b, "Width");
    b.insert(b.end(), {4, 0xFF, 0, 0, 0}); // 255 in a wider tag than needed
    Name(b, "Caption");
    b.push_back(6);
    Name(b, "It's");
    Name(b, "BorderStyle");
    b.push_back(7);
    Name(b, "bsNone");
    Name(b, "OldCreateOrder");
    b.push_back(8);
    Name(b, "Visible");
    b.push_back(9);
    Name(b, "BorderIcons");
    b.push_back(11);
    Name(b, "biSystemMenu");
    Name(b, "biMinimize");
    b.push_back(0);
    b.push_back(0); // end of properties
    Name(b, "TImage");
    Name(b, "Image1");
    Name(b, "Tag");
    b.push_back(10);
    U32(b, 3);
    b.insert(b.end(), {0xDE, 0xAD, 0x00});
    b.push_back(0); // end of Image1's properties
    b.push_back(0); // end of Image1's children
    b.push_back(0); // end of Form4's children
    return b;
}

std::string ReadError(const Bytes& bytes) {
    try {
        ReadFormData(bytes);
    } catch (const EReadError& e) {
        return e.Message();
    }
    return "(no EReadError)";
}

TFormObject Chain(int depth) {
    TFormObject root{"TPanel", "P1", {}, {}};
    TFormObject* at = &root;
    for (int level = 2; level <= depth; ++level) {
        at->Children.push_back({"TPanel", "P" + std::to_string(level), {}, {}});
        at = &at->Children.back();
    }
    return root;
}

TEST(FormData, ModelSurvivesWriteAndRead) {
    TFormObject form{"TForm4", "Form4", {}, {}};
    form.Properties = {
        {"Left", TFormValue::FromInteger(0)},
        {"Top", TFormValue::FromInteger(-2147483647 - 1)},
        {"Tag", TFormValue::FromInteger(2147483647)},
        {"Font.Height", TFormValue::FromInteger(-11)},
        {"Caption", TFormValue::FromString("Vorlanth 'quoted'\r\n\xff")},
        {"Hint", TFormValue::FromString("")},
        {"Color", TFormValue::FromIdent("clBtnFace")},
        {"OldCreateOrder", TFormValue::FromBoolean(false)},
        {"Visible", TFormValue::FromBoolean(true)},
        {"BorderIcons", TFormValue::FromSet({"biSystemMenu", "biMinimize"})},
        {"Anchors", TFormValue::FromSet({})},
        {"Blob", TFormValue::FromBinary({0, 1, 2, 255})},
        {"Empty", TFormValue::FromBinary({})},
    };
    TFormObject image{"TImage", "", {{"Picture.Data", TFormValue::FromBinary(Bytes(1000, 0xAB))}}, {}};
    image.Children.push_back({"TLabel", "Inner", {{"Caption", TFormValue::FromString("x")}}, {}});
    form.Children = {image, {"TButton", "Button1", {}, {}}};

    EXPECT_EQ(ReadFormData(WriteFormData(form)), form);
}

TEST(FormData, IntegersTakeTheSmallestTag) {
    struct Case {
        std::int32_t value;
        std::uint8_t tag;
        Bytes payload;
    };
    const Case cases[] = {
        {0, 2, {0x00}},
        {-11, 2, {0xF5}},
        {127, 2, {0x7F}},
        {-128, 2, {0x80}},
        {128, 3, {0x80, 0x00}},
        {255, 3, {0xFF, 0x00}},
        {-129, 3, {0x7F, 0xFF}},
        {32767, 3, {0xFF, 0x7F}},
        {-32768, 3, {0x00, 0x80}},
        {32768, 4, {0x00, 0x80, 0x00, 0x00}},
        {70000, 4, {0x70, 0x11, 0x01, 0x00}},
        {-32769, 4, {0xFF, 0x7F, 0xFF, 0xFF}},
    };
    for (const Case& c : cases) {
        const TFormObject form{"TForm", "F", {{"P", TFormValue::FromInteger(c.value)}}, {}};
        EXPECT_EQ(WriteFormData(form), OneProperty(c.tag, c.payload)) << c.value;
    }
}

TEST(FormData, ReadsHandBuiltDescription) {
    const TFormObject form = ReadFormData(HandBuilt());
    EXPECT_EQ(form.ClassName, "TForm4");
    EXPECT_EQ(form.Name, "Form4");
    const std::vector<TFormProperty> expected = {
        {"Left", TFormValue::FromInteger(-11)},
        {"Width", TFormValue::FromInteger(255)},
        {"Caption", TFormValue::FromString("It's")},
        {"BorderStyle", TFormValue::FromIdent("bsNone")},
        {"OldCreateOrder", TFormValue::FromBoolean(false)},
        {"Visible", TFormValue::FromBoolean(true)},
        {"BorderIcons", TFormValue::FromSet({"biSystemMenu", "biMinimize"})},
    };
    EXPECT_EQ(form.Properties, expected);
    ASSERT_EQ(form.Children.size(), 1u);
    EXPECT_EQ(form.Children[0].ClassName, "TImage");
    EXPECT_EQ(form.Children[0].Name, "Image1");
    ASSERT_EQ(form.Children[0].Properties.size(), 1u);
    EXPECT_EQ(form.Children[0].Properties[0].Value, TFormValue::FromBinary({0xDE, 0xAD, 0x00}));
    EXPECT_TRUE(form.Children[0].Children.empty());
}

TEST(FormData, EveryTruncationRaisesReadError) {
    const Bytes full = HandBuilt();
    ASSERT_NO_THROW(ReadFormData(full));
    for (std::size_t length = 0; length < full.size(); ++length) {
        const Bytes prefix(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length));
        const std::string message = ReadError(prefix);
        const std::string expected =
            length < 4 ? "Invalid stream format" : "Unexpected end of window description";
        EXPECT_NE(message.find(expected), std::string::npos) << "prefix of " << length << ": " << message;
    }
}

TEST(FormData, MalformedDescriptionsAreRefused) {
    struct Case {
        const char* what;
        Bytes bytes;
        const char* message;
    };
    Bytes trailing = HandBuilt();
    trailing.push_back(0);
    Bytes emptyClass = Header("", "F");
    emptyClass.insert(emptyClass.end(), {0, 0});
    const Case cases[] = {
        {"empty input", {}, "Invalid stream format"},
        {"wrong signature",
         {'T', 'P', 'F', '1', 5, 'T', 'F', 'o', 'r', 'm', 0, 0, 0},
         "Invalid stream format"},
        {"lower-case signature",
         {'t', 'p', 'f', '0', 5, 'T', 'F', 'o', 'r', 'm', 0, 0, 0},
         "Invalid stream format"},
        {"trailing byte", trailing, "Unexpected data after the window description"},
        {"empty class name", emptyClass, "Empty class name"},
        {"tag 0", OneProperty(0, {}), "Invalid property value (tag 0)"},
        {"tag 5", OneProperty(5, {1, 2, 3, 4, 5, 6, 7, 8}), "Invalid property value (tag 5)"},
        {"tag 255", OneProperty(255, {}), "Invalid property value (tag 255)"},
    };
    for (const Case& c : cases)
        EXPECT_NE(ReadError(c.bytes).find(c.message), std::string::npos)
            << c.what << ": " << ReadError(c.bytes);
}

TEST(FormData, BinaryCountBeyondTheEndIsRefusedBeforeAllocating) {
    for (const std::uint32_t count : {0xFFFFFFFFu, 0x7FFFFFFFu, 0x01000000u, 5u}) {
        Bytes payload;
        U32(payload, count);
        payload.insert(payload.end(), {1, 2, 3}); // three data bytes, then the two end bytes: 5 in all
        const Bytes bytes = OneProperty(10, payload);
        gLargestAllocation = 0;
        gTrackAllocations = true;
        const std::string message = ReadError(bytes);
        gTrackAllocations = false;
        EXPECT_NE(message.find("Unexpected end of window description"), std::string::npos) << count;
        EXPECT_LT(gLargestAllocation.load(), std::size_t{4096}) << count;
    }
}

TEST(FormData, NestingIsLimited) {
    EXPECT_EQ(ReadFormData(WriteFormData(Chain(kMaxFormDepth))), Chain(kMaxFormDepth));
    EXPECT_NE(ReadError(WriteFormData(Chain(kMaxFormDepth + 1))).find("nested too deeply"),
              std::string::npos);

    // A hostile description that opens a million objects and never closes one.
    Bytes hostile = {'T', 'P', 'F', '0'};
    for (int i = 0; i < 1000000; ++i)
        hostile.insert(hostile.end(), {1, 'T', 0, 0});
    EXPECT_NE(ReadError(hostile).find("nested too deeply"), std::string::npos);
}

TEST(FormData, WriterRefusesWhatTheFormatCannotHold) {
    const std::string long256(256, 'x');
    const TFormObject cases[] = {
        {"", "F", {}, {}},
        {long256, "F", {}, {}},
        {"TForm", "F", {{"", TFormValue::FromInteger(1)}}, {}},
        {"TForm", "F", {{"Caption", TFormValue::FromString(long256)}}, {}},
        {"TForm", "F", {{"Anchors", TFormValue::FromSet({"akLeft", ""})}}, {}},
        {"TForm", "F", {}, {{"", "Child", {}, {}}}},
    };
    for (const TFormObject& form : cases)
        EXPECT_THROW(WriteFormData(form), EWriteError);
    // 255 bytes is still allowed.
    const TFormObject longest{"TForm", "F", {{"Caption", TFormValue::FromString(std::string(255, 'y'))}}, {}};
    EXPECT_EQ(ReadFormData(WriteFormData(longest)), longest);
}

TEST(PictureData, LayoutPerGraphicClass) {
    const Bytes bmp = {'B', 'M', 1, 2, 3};
    Bytes expectedBitmap;
    Name(expectedBitmap, "TBitmap");
    U32(expectedBitmap, 5);
    expectedBitmap.insert(expectedBitmap.end(), bmp.begin(), bmp.end());
    EXPECT_EQ(PictureData("TBitmap", bmp), expectedBitmap);

    const Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 0};
    Bytes expectedPng;
    Name(expectedPng, "TPNGObject");
    expectedPng.insert(expectedPng.end(), png.begin(), png.end());
    EXPECT_EQ(PictureData("TPNGObject", png), expectedPng);

    // The inverse: the class, then what the class reads itself (the bitmap's count included).
    const TPictureData bitmap = SplitPictureData(expectedBitmap);
    EXPECT_EQ(bitmap.GraphicClass, "TBitmap");
    EXPECT_EQ(Bytes(bitmap.Data.begin(), bitmap.Data.end()),
              Bytes(expectedBitmap.begin() + 8, expectedBitmap.end()));
    const auto bitmapFile = PictureFileBytes(bitmap);
    EXPECT_EQ(Bytes(bitmapFile.begin(), bitmapFile.end()), bmp);

    const TPictureData image = SplitPictureData(expectedPng);
    EXPECT_EQ(image.GraphicClass, "TPNGObject");
    EXPECT_EQ(Bytes(image.Data.begin(), image.Data.end()), png);
    const auto imageFile = PictureFileBytes(image);
    EXPECT_EQ(Bytes(imageFile.begin(), imageFile.end()), png);
}

TEST(PictureData, RefusesMismatchedOrBrokenPictures) {
    const Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    EXPECT_THROW(PictureData("TBitmap", png), EInvalidGraphic);
    EXPECT_THROW(PictureData("TBitmap", Bytes{'B'}), EInvalidGraphic);
    EXPECT_THROW(PictureData("TPNGObject", Bytes{'B', 'M', 0, 0}), EInvalidGraphic);
    EXPECT_THROW(PictureData("", png), EInvalidGraphic);
    EXPECT_THROW(PictureData(std::string(256, 'T'), png), EInvalidGraphic);

    const Bytes splitCases[] = {{}, {0, 'x'}, {7, 'T', 'B', 'i', 't'}};
    for (const Bytes& value : splitCases)
        EXPECT_THROW(SplitPictureData(value), EReadError);

    // A bitmap count that disagrees with the bytes present, in either direction.
    for (const std::uint32_t count : {2u, 4u, 0xFFFFFFFFu}) {
        Bytes value;
        Name(value, "TBitmap");
        U32(value, count);
        value.insert(value.end(), {'B', 'M', 0});
        EXPECT_THROW(PictureFileBytes(SplitPictureData(value)), EReadError) << count;
    }
}

} // namespace
