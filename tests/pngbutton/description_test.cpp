// The button in window descriptions: every stored property, and the errors of broken values.
#include <gtest/gtest.h>

#include "button_support.h"
#include "toolkit/controls/reader.h"
#include "toolkit/core/formdata.h"

namespace {

using namespace buttontest;

TFormObject Description(std::vector<TFormProperty> properties) {
    TFormObject button{"TPNGButton", "PNGButton1", std::move(properties), {}};
    return TFormObject{"TForm", "Form1", {{"ClientWidth", TFormValue::FromInteger(100)}}, {button}};
}

TPNGButton* Read(TForm& form, const TFormObject& root) {
    TReader reader(form);
    reader.ReadRoot(WriteFormData(root));
    return dynamic_cast<TPNGButton*>(form.FindControl("PNGButton1"));
}

TEST(PngButtonDescription, ReadsEveryStoredProperty) {
    const Bytes normal = RgbPng(3, 2, [](int, int) { return 0x112233u; });
    const Bytes down = RgbPng(4, 2, [](int, int) { return 0x445566u; });
    const Bytes over = RgbPng(5, 2, [](int, int) { return 0x778899u; });
    TForm form;
    TPNGButton* b = Read(form, Description({
                                   {"Left", TFormValue::FromInteger(8)},
                                   {"Top", TFormValue::FromInteger(56)},
                                   {"Width", TFormValue::FromInteger(40)},
                                   {"Height", TFormValue::FromInteger(30)},
                                   {"Visible", TFormValue::FromBoolean(false)},
                                   {"ButtonLayout", TFormValue::FromIdent("pbsImageBellow")},
                                   {"Caption", TFormValue::FromString("Play")},
                                   {"ImageNormal.Data", TFormValue::FromBinary(normal)},
                                   {"ImageDown.Data", TFormValue::FromBinary(down)},
                                   {"ImageOver.Data", TFormValue::FromBinary(over)},
                                   {"ButtonStyle", TFormValue::FromIdent("pbsFlat")},
                                   {"Enabled", TFormValue::FromBoolean(false)},
                               }));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->BoundsRect(), Rect(8, 56, 48, 86));
    EXPECT_FALSE(b->Visible());
    EXPECT_EQ(b->ButtonLayout(), pbsImageBellow);
    EXPECT_EQ(b->Caption(), "Play");
    EXPECT_EQ(b->ImageNormal().PixelWidth(), 3);
    EXPECT_EQ(PixelOf(b->ImageNormal(), 0, 0), RGB(0x11, 0x22, 0x33));
    EXPECT_EQ(b->ImageDown().PixelWidth(), 4);
    EXPECT_EQ(b->ImageOver().PixelWidth(), 5);
    EXPECT_EQ(b->ButtonStyle(), pbsFlat);
    EXPECT_EQ(b->Mode(), pbmDisabled);
}

TEST(PngButtonDescription, BrokenValuesRaiseTheirErrors) {
    Bytes damaged = RgbPng(3, 2, [](int, int) { return 0x112233u; });
    damaged[damaged.size() - 1] ^= 0x55; // the end chunk's CRC
    const struct {
        TFormProperty property;
        const char* errorClass;
        const char* message;
    } cases[] = {
        {{"ButtonStyle", TFormValue::FromIdent("pbsFancy")},
         "EReadError",
         "Error reading Form1.PNGButton1.ButtonStyle: Invalid property value"},
        {{"ButtonLayout", TFormValue::FromIdent("pbsImageBelow")},
         "EReadError",
         "Error reading Form1.PNGButton1.ButtonLayout: Invalid property value"},
        {{"Caption", TFormValue::FromInteger(1)},
         "EReadError",
         "Error reading Form1.PNGButton1.Caption: Invalid property value"},
        {{"ImageOver.Data", TFormValue::FromString("x")},
         "EReadError",
         "Error reading Form1.PNGButton1.ImageOver.Data: Invalid property value"},
        {{"ImageNormal.Data", TFormValue::FromBinary(damaged)}, "EPngInvalidCRC", nullptr},
        {{"Glyph.Data", TFormValue::FromBinary({})},
         "EReadError",
         "Error reading Form1.PNGButton1.Glyph.Data: Property Glyph.Data does not exist"},
    };
    for (const auto& c : cases) {
        TForm form;
        try {
            Read(form, Description({c.property}));
            ADD_FAILURE() << c.property.Name << ": no error";
        } catch (const Exception& e) {
            EXPECT_STREQ(e.ClassName(), c.errorClass) << c.property.Name;
            if (c.message != nullptr) {
                EXPECT_EQ(e.Message(), c.message);
            }
        }
    }
}

TEST(PngButtonDescription, ClassIsKnownOnlyWhileTheUnitIsStarted) {
    ASSERT_NE(FindControlClass("TPNGButton"), nullptr);
    EXPECT_STREQ(FindControlClass("TPNGButton")->Create()->ClassName(), "TPNGButton");
    PngButtonFinalization();
    EXPECT_EQ(FindControlClass("TPNGButton"), nullptr);
    EXPECT_NE(FindControlClass("TImage"), nullptr);
    PngButtonInitialization();
    EXPECT_NE(FindControlClass("TPNGButton"), nullptr);
}

} // namespace
