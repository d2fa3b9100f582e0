// formc, run as the build runs it: texts in a temporary folder compiled to binary descriptions, read
// back with the library's reader and printed back with --dump.
#include <gtest/gtest.h>

#include "support/command.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "toolkit/core/exception.h"
#include "toolkit/core/formdata.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

using Result = testsupport::CommandResult;

Result RunFormc(const std::string& arguments) {
    return testsupport::RunCommand(std::string(FORMC_PATH) + " " + arguments + " 2>&1");
}

const Bytes kBmp = {'B', 'M', 30, 0, 0, 0, 0, 0, 0, 0,  26, 0, 0, 0,   12,
                    0,   0,   0,  1, 0, 1, 0, 1, 0, 24, 0,  0, 0, 255, 0};
const Bytes kPng = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};

class Formc : public ::testing::Test {
protected:
    void SetUp() override {
        folder =
            fs::temp_directory_path() / ("formc_" + std::to_string(::getpid()) + "_" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder / "assets");
    }
    void TearDown() override { fs::remove_all(folder); }

    std::string Write(const std::string& name, const std::string& contents) {
        const fs::path path = folder / name;
        std::ofstream(path, std::ios::binary) << contents;
        return path.string();
    }
    std::string Write(const std::string& name, const Bytes& contents) {
        return Write(name, std::string(contents.begin(), contents.end()));
    }
    Bytes Read(const std::string& path) const {
        std::ifstream in(path, std::ios::binary);
        return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    std::string Out(const std::string& name) const { return (folder / name).string(); }

    fs::path folder;
};

const char* const kGoodText = R"(// The launcher's window, cut down.
object Form4: TForm4
  Left = 0
  Top = -129
  ClientWidth = 70000
  BorderIcons = [biSystemMenu, biMinimize]
  Anchors = []
  BorderStyle = bsNone
  Caption = 'It''s Vorlanth'#13#10'!'
  Font.Height = -11
  OldCreateOrder = False
  Visible = true
  OnShow = FormShow
  Tag.Data = { 00 ff
     7a }

  object Image1: TImage
    Picture.Data = picture TBitmap 'assets/background.bmp'
  end
  object Image2: TImage
    Picture.Data = picture TPNGObject 'assets/credit.png'
  end
end
)";

const TFormProperty* Find(const TFormObject& object, const std::string& name) {
    for (const TFormProperty& p : object.Properties)
        if (p.Name == name) return &p;
    return nullptr;
}

TEST_F(Formc, CompilesEveryValueKind) {
    Write("assets/background.bmp", kBmp);
    Write("assets/credit.png", kPng);
    const std::string input = Write("form.txt", kGoodText);
    const Result r = RunFormc(input + " " + Out("form.bin"));
    ASSERT_EQ(r.exitCode, 0) << r.out;

    const TFormObject form = ReadFormData(Read(Out("form.bin")));
    EXPECT_EQ(form.ClassName, "TForm4");
    EXPECT_EQ(form.Name, "Form4");
    struct Case {
        const char* name;
        TFormValue value;
    };
    const Case cases[] = {
        {"Left", TFormValue::FromInteger(0)},
        {"Top", TFormValue::FromInteger(-129)},
        {"ClientWidth", TFormValue::FromInteger(70000)},
        {"BorderIcons", TFormValue::FromSet({"biSystemMenu", "biMinimize"})},
        {"Anchors", TFormValue::FromSet({})},
        {"BorderStyle", TFormValue::FromIdent("bsNone")},
        {"Caption", TFormValue::FromString("It's Vorlanth\r\n!")},
        {"Font.Height", TFormValue::FromInteger(-11)},
        {"OldCreateOrder", TFormValue::FromBoolean(false)},
        {"Visible", TFormValue::FromBoolean(true)},
        {"OnShow", TFormValue::FromIdent("FormShow")},
        {"Tag.Data", TFormValue::FromBinary({0x00, 0xFF, 0x7A})},
    };
    EXPECT_EQ(form.Properties.size(), std::size(cases));
    for (const Case& c : cases) {
        const TFormProperty* property = Find(form, c.name);
        ASSERT_NE(property, nullptr) << c.name;
        EXPECT_EQ(property->Value, c.value) << c.name;
    }
    ASSERT_EQ(form.Children.size(), 2u);
    EXPECT_EQ(form.Children[0].Name, "Image1");
    EXPECT_EQ(form.Children[1].ClassName, "TImage");
    const TFormProperty* bitmap = Find(form.Children[0], "Picture.Data");
    const TFormProperty* png = Find(form.Children[1], "Picture.Data");
    ASSERT_TRUE(bitmap != nullptr && png != nullptr);
    EXPECT_EQ(bitmap->Value, TFormValue::FromBinary(PictureData("TBitmap", kBmp)));
    EXPECT_EQ(png->Value, TFormValue::FromBinary(PictureData("TPNGObject", kPng)));

    // The dump shows the values and the pictures by class and file size.
    const Result dump = RunFormc("--dump " + Out("form.bin"));
    ASSERT_EQ(dump.exitCode, 0) << dump.out;
    const std::vector<std::string> lines = {
        "object Form4: TForm4\n",
        "  Top = -129\n",
        "  BorderIcons = [biSystemMenu, biMinimize]\n",
        "  Caption = 'It''s Vorlanth'#13#10'!'\n",
        "  Visible = True\n",
        "  Tag.Data = { 00 FF 7A }\n",
        "  object Image1: TImage\n",
        "    Picture.Data = { " + std::to_string(kBmp.size()) + " bytes, class TBitmap }\n",
        "    Picture.Data = { " + std::to_string(kPng.size()) + " bytes, class TPNGObject }\n"};
    for (const std::string& line : lines)
        EXPECT_NE(dump.out.find(line), std::string::npos) << line << "in:\n" << dump.out;
}

TEST_F(Formc, DumpCompilesBackToTheSameBytes) {
    std::string longHex; // more than one dump line's worth
    for (int i = 0; i < 100; ++i)
        longHex += std::string(" ") + "0123456789ABCDEF"[i % 16] + "7";
    const std::string text = "object Main: TForm\n"
                             "  Caption = #1'a'''#255\n"
                             "  Width = -2147483648\n"
                             "  Empty = { }\n"
                             "  Long = {" +
                             longHex +
                             " }\n"
                             "  object : TPanel\n"
                             "    object Deep: TPanel\n"
                             "    end\n"
                             "  end\n"
                             "end\n";
    ASSERT_EQ(RunFormc(Write("a.txt", text) + " " + Out("a.bin")).exitCode, 0);
    const Result dump = RunFormc("--dump " + Out("a.bin"));
    ASSERT_EQ(dump.exitCode, 0) << dump.out;
    const Result again = RunFormc(Write("b.txt", dump.out) + " " + Out("b.bin"));
    ASSERT_EQ(again.exitCode, 0) << again.out << "\nfrom:\n" << dump.out;
    EXPECT_EQ(Read(Out("b.bin")), Read(Out("a.bin")));
}

TEST_F(Formc, ErrorsNameFileAndLine) {
    struct Case {
        const char* text;
        int line;
        const char* message;
    };
    const Case cases[] = {
        {"", 1, "no object"},
        {"form Main: TForm\nend\n", 1, "expected 'object'"},
        {"object Main TForm\nend\n", 1, "':'"},
        {"object Main: TForm\n  Left 5\nend\n", 2, "'='"},
        {"object Main: TForm\n  Left =\nend\n", 2, "missing value"},
        {"object Main: TForm\n  Left = 12x\nend\n", 2, "invalid integer"},
        {"object Main: TForm\n  Left = 2147483648\nend\n", 2, "32 bits"},
        {"object Main: TForm\n  Caption = 'open\nend\n", 2, "unterminated string"},
        {"object Main: TForm\n  Caption = #256\nend\n", 2, "character code"},
        {"object Main: TForm\n\n  Icons = [a, ]\nend\n", 3, "name in the set"},
        {"object Main: TForm\n  Data = { 0g }\nend\n", 2, "hexadecimal"},
        {"object Main: TForm\n  Data = { 01\n", 2, "missing '}'"},
        {"object Main: TForm\n  Left = 1 2\nend\n", 2, "unexpected '2'"},
        {"object Main: TForm\n  Left = 1\n", 2, "missing 'end'"},
        {"object Main: TForm\nend\nend\n", 3, "after the end"},
        {"object Main: TForm\n  Picture.Data = picture TBitmap\nend\n", 2, "quoted file name"},
    };
    for (const Case& c : cases) {
        const std::string input = Write("bad.txt", c.text);
        const Result r = RunFormc(input + " " + Out("bad.bin"));
        EXPECT_EQ(r.exitCode, 2) << c.text;
        const std::string prefix = "formc: " + input + ":" + std::to_string(c.line) + ": ";
        EXPECT_EQ(r.out.rfind(prefix, 0), 0u) << c.text << "\ngave: " << r.out;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << c.text << "\ngave: " << r.out;
        EXPECT_FALSE(fs::exists(Out("bad.bin"))) << c.text;
    }
}

TEST_F(Formc, PictureProblemsAreErrors) {
    Write("assets/credit.png", kPng);
    struct Case {
        const char* line;
        const char* message;
    };
    const Case cases[] = {
        {"  Picture.Data = picture TBitmap 'assets/missing.bmp'", "missing.bmp"},
        {"  Picture.Data = picture TBitmap 'assets/credit.png'", "Bitmap image is not valid"},
    };
    for (const Case& c : cases) {
        const std::string input = Write("pic.txt", std::string("object Main: TForm\n") + c.line + "\nend\n");
        const Result r = RunFormc(input + " " + Out("pic.bin"));
        EXPECT_EQ(r.exitCode, 2) << c.line;
        EXPECT_EQ(r.out.rfind("formc: " + input + ":2: ", 0), 0u) << r.out;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
    }
}

TEST_F(Formc, DepfileNamesTheTextAndItsPictures) {
    Write("assets/background.bmp", kBmp);
    const std::string input = Write(
        "form.txt", "object Main: TForm\n  Picture.Data = picture TBitmap 'assets/background.bmp'\nend\n");
    const Result r = RunFormc(input + " " + Out("form.bin") + " --depfile " + Out("form.d"));
    ASSERT_EQ(r.exitCode, 0) << r.out;
    const Bytes depfile = Read(Out("form.d"));
    const std::string rule(depfile.begin(), depfile.end());
    EXPECT_EQ(rule.rfind(Out("form.bin") + ":", 0), 0u) << rule;
    EXPECT_NE(rule.find(" " + input), std::string::npos) << rule;
    EXPECT_NE(rule.find(" " + (folder / "assets" / "background.bmp").string()), std::string::npos) << rule;
}

TEST_F(Formc, UsageAndUnreadableInput) {
    EXPECT_EQ(RunFormc("").exitCode, 1);
    EXPECT_EQ(RunFormc("--dump").exitCode, 1);
    EXPECT_EQ(RunFormc("a b c").exitCode, 1);
    EXPECT_EQ(RunFormc(Out("none.txt") + " " + Out("none.bin")).exitCode, 2);

    const Result dump = RunFormc("--dump " + Write("junk.bin", std::string("TPF1")));
    EXPECT_EQ(dump.exitCode, 2);
    EXPECT_NE(dump.out.find("Invalid stream format"), std::string::npos) << dump.out;
}

} // namespace
