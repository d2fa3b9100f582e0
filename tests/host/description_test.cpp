// The launcher's compiled window description: every stored value, and how the window reacts to
// descriptions that are broken in the ways a damaged program file could be.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "launcher/Unit4.h"
#include "platform/resource.h"
#include "png/pngerrors.h"
#include "toolkit/controls/reader.h"
#include "toolkit/core/formdata.h"

namespace {

std::vector<std::uint8_t> StoredDescription() {
    HRSRC resource = FindResourceA(nullptr, "TFORM4", RT_RCDATA);
    if (resource == nullptr) return {};
    const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(nullptr, resource)));
    return {data, data + SizeofResource(nullptr, resource)};
}

TFormValue I(std::int32_t v) {
    return TFormValue::FromInteger(v);
}
TFormValue S(const char* v) {
    return TFormValue::FromString(v);
}
TFormValue Id(const char* v) {
    return TFormValue::FromIdent(v);
}
TFormValue B(bool v) {
    return TFormValue::FromBoolean(v);
}

std::vector<TFormProperty> WithoutPictures(const std::vector<TFormProperty>& properties) {
    std::vector<TFormProperty> result;
    for (const auto& p : properties)
        if (p.Name != "Picture.Data") result.push_back(p);
    return result;
}

TEST(LauncherDescription, HoldsEveryValueOfTheWindowInStoredOrder) {
    const TFormObject root = ReadFormData(StoredDescription());
    EXPECT_EQ(root.ClassName, "TForm4");
    EXPECT_EQ(root.Name, "Form4");
    const std::vector<TFormProperty> form = {
        {"Left", I(0)},
        {"Top", I(0)},
        {"BorderIcons", TFormValue::FromSet({"biSystemMenu", "biMinimize"})},
        {"BorderStyle", Id("bsNone")},
        {"Caption", S("Vorlanth")},
        {"ClientHeight", I(210)},
        {"ClientWidth", I(255)},
        {"Color", Id("clBtnFace")},
        {"Font.Charset", Id("DEFAULT_CHARSET")},
        {"Font.Color", Id("clWindowText")},
        {"Font.Height", I(-11)},
        {"Font.Name", S("Tahoma")},
        {"Font.Style", TFormValue::FromSet({})},
        {"OldCreateOrder", B(false)},
        {"Position", Id("poScreenCenter")},
        {"OnShow", Id("FormShow")},
        {"PixelsPerInch", I(96)},
        {"TextHeight", I(13)},
    };
    EXPECT_EQ(root.Properties, form);

    struct Child {
        const char* name;
        const char* cls;
        std::vector<TFormProperty> properties;
    };
    const std::vector<Child> children = {
        {"Image1", "TImage", {{"Left", I(0)}, {"Top", I(0)}, {"Width", I(255)}, {"Height", I(210)}}},
        {"Image2",
         "TImage",
         {{"Left", I(0)}, {"Top", I(190)}, {"Width", I(216)}, {"Height", I(12)}, {"AutoSize", B(true)}}},
        // The hidden PNG button: no caption and no images, so none are stored; its layout and style
        // have no stored default and always are.
        {"PNGButton1",
         "TPNGButton",
         {{"Left", I(8)},
          {"Top", I(56)},
          {"Width", I(23)},
          {"Height", I(23)},
          {"Visible", B(false)},
          {"ButtonLayout", Id("pbsImageAbove")},
          {"ButtonStyle", Id("pbsDefault")}}},
        {"Button1",
         "TButton",
         {{"Left", I(40)},
          {"Top", I(80)},
          {"Width", I(177)},
          {"Height", I(25)},
          {"Caption", S("Start Game")},
          {"TabOrder", I(0)},
          {"OnClick", Id("Button1Click")}}},
        {"Button2",
         "TButton",
         {{"Left", I(40)},
          {"Top", I(104)},
          {"Width", I(177)},
          {"Height", I(17)},
          {"Caption", S("Setup")},
          {"TabOrder", I(1)},
          {"OnClick", Id("Button2Click")}}},
        {"Button3",
         "TButton",
         {{"Left", I(40)},
          {"Top", I(144)},
          {"Width", I(177)},
          {"Height", I(25)},
          {"Caption", S("Exit")},
          {"TabOrder", I(2)},
          {"OnClick", Id("Button3Click")}}},
        {"Button4",
         "TButton",
         {{"Left", I(40)},
          {"Top", I(120)},
          {"Width", I(177)},
          {"Height", I(17)},
          {"Caption", S("Apply DivX Fix.reg")},
          {"TabOrder", I(3)},
          {"OnClick", Id("Button4Click")}}},
    };
    ASSERT_EQ(root.Children.size(), children.size());
    for (std::size_t i = 0; i < children.size(); ++i) {
        const TFormObject& got = root.Children[i];
        EXPECT_EQ(got.Name, children[i].name);
        EXPECT_EQ(got.ClassName, children[i].cls) << got.Name;
        EXPECT_EQ(WithoutPictures(got.Properties), children[i].properties) << got.Name;
        EXPECT_TRUE(got.Children.empty());
    }
    // The pictures: the bitmap with its byte count in front, the PNG stream as it is; each is the
    // last property of its control.
    const auto& image1 = root.Children[0].Properties.back();
    ASSERT_EQ(image1.Name, "Picture.Data");
    const TPictureData bitmap = SplitPictureData(image1.Value.Bytes);
    EXPECT_EQ(bitmap.GraphicClass, "TBitmap");
    EXPECT_EQ(image1.Value.Bytes.size(), 161346u);
    EXPECT_EQ(PictureFileBytes(bitmap).size(), 161334u);
    const auto& image2 = root.Children[1].Properties.back();
    ASSERT_EQ(image2.Name, "Picture.Data");
    const TPictureData png = SplitPictureData(image2.Value.Bytes);
    EXPECT_EQ(png.GraphicClass, "TPNGObject");
    EXPECT_EQ(std::memcmp(png.Data.data(), "\x89PNG", 4), 0);
}

// Builds a TForm4 from a changed copy of the stored description.
void ReadChanged(const std::function<void(TFormObject&)>& change) {
    TFormObject root = ReadFormData(StoredDescription());
    change(root);
    const auto bytes = WriteFormData(root);
    TForm4 form;
    TReader reader(form);
    reader.ReadRoot(bytes);
}

TFormProperty& PictureOf(TFormObject& root, int child) {
    return root.Children[static_cast<std::size_t>(child)].Properties.back();
}

std::vector<std::uint8_t> Picture(const char* cls, std::vector<std::uint8_t> data) {
    std::vector<std::uint8_t> value{static_cast<std::uint8_t>(std::strlen(cls))};
    value.insert(value.end(), cls, cls + std::strlen(cls));
    value.insert(value.end(), data.begin(), data.end());
    return value;
}

TEST(LauncherDescription, BrokenDescriptionsRaiseTheirErrors) {
    const struct {
        const char* name;
        std::function<void(TFormObject&)> change;
        const char* errorClass;
        const char* message;
    } cases[] = {
        {"unknown class", [](TFormObject& r) { r.Children[3].ClassName = "TMemo"; }, "EReadError",
         "Class TMemo not found"},
        {"unknown property", [](TFormObject& r) { r.Children[3].Properties[0].Name = "Lefty"; }, "EReadError",
         "Error reading Form4.Button1.Lefty: Property Lefty does not exist"},
        {"wrong value kind", [](TFormObject& r) { r.Properties[4].Value = I(3); }, "EReadError",
         "Error reading Form4.Caption: Invalid property value"},
        {"unknown enumeration", [](TFormObject& r) { r.Properties[3].Value = Id("bsFancy"); }, "EReadError",
         "Error reading Form4.BorderStyle: Invalid property value"},
        {"unknown handler", [](TFormObject& r) { r.Properties[15].Value = Id("FormHide"); }, "EReadError",
         "Error reading Form4.OnShow: Handler FormHide not found"},
        {"other root class", [](TFormObject& r) { r.ClassName = "TForm5"; }, "EReadError",
         "Window description of class TForm5 does not fit a TForm4"},
        {"bitmap not starting with BM",
         [](TFormObject& r) {
             PictureOf(r, 0).Value.Bytes = Picture("TBitmap", {4, 0, 0, 0, 'M', 'B', 0, 0});
         },
         "EInvalidGraphic", "Bitmap image is not valid"},
        {"bitmap count beyond the data",
         [](TFormObject& r) {
             PictureOf(r, 0).Value.Bytes = Picture("TBitmap", {200, 0, 0, 0, 'B', 'M'});
         },
         "EInvalidGraphic", "Bitmap image is not valid"},
        {"damaged PNG",
         [](TFormObject& r) {
             auto& bytes = PictureOf(r, 1).Value.Bytes;
             bytes[bytes.size() - 1] ^= 0x55; // the end chunk's CRC
         },
         "EPngInvalidCRC", nullptr},
    };
    for (const auto& c : cases) {
        try {
            ReadChanged(c.change);
            ADD_FAILURE() << c.name << ": no error";
        } catch (const Exception& e) {
            EXPECT_STREQ(e.ClassName(), c.errorClass) << c.name;
            if (c.message != nullptr) {
                EXPECT_EQ(e.Message(), c.message) << c.name;
            }
        }
    }
}

TEST(LauncherDescription, UnregisteredGraphicClassLeavesThePictureEmpty) {
    TFormObject root = ReadFormData(StoredDescription());
    PictureOf(root, 1).Value.Bytes = Picture("TJPEGImage", {1, 2, 3});
    TForm4 form;
    TReader reader(form);
    reader.ReadRoot(WriteFormData(root));
    ASSERT_NE(form.Image2, nullptr);
    EXPECT_EQ(form.Image2->Picture().Graphic(), nullptr);
    EXPECT_EQ(form.Image2->Width(), 216);
    ASSERT_NE(form.Image1->Picture().Graphic(), nullptr);
}

TEST(LauncherDescription, EveryTruncationRaisesAReadError) {
    const auto bytes = StoredDescription();
    ASSERT_GT(bytes.size(), 4000u);
    std::vector<std::size_t> cuts;
    for (std::size_t n = 0; n < 400; ++n)
        cuts.push_back(n);
    for (std::size_t n = 400; n < bytes.size(); n += 997)
        cuts.push_back(n);
    for (std::size_t n = bytes.size() - 200; n < bytes.size(); ++n)
        cuts.push_back(n);
    for (const std::size_t n : cuts) {
        TForm4 form;
        TReader reader(form);
        EXPECT_THROW(reader.ReadRoot(std::span<const std::uint8_t>(bytes.data(), n)), EReadError) << n;
    }
}

} // namespace
