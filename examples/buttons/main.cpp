// buttons: a window with three PNG buttons. Each button shows three pictures (normal, under the
// pointer, pressed) read from PNG files; a click colours the window and names the button in its
// caption. A small program against the installed libraries.
//
//   buttons [FOLDER]
//
// FOLDER holds NAME-normal.png, NAME-over.png and NAME-down.png for NAME in red, green and blue.
// Without one, the program first writes such pictures of its own into the current folder.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include <vorlanth/png/pngimage.h>
#include <vorlanth/pngbutton/pngextra.h>
#include <vorlanth/toolkit/controls/forms.h>
#include <vorlanth/toolkit/controls/reader.h>
#include <vorlanth/toolkit/core/bitmap.h>
#include <vorlanth/toolkit/core/exception.h>
#include <vorlanth/toolkit/core/picture.h>
#include <vorlanth/toolkit/host/hostfactory.h>

namespace {

struct TButtonKind {
    const char* Name;
    TColor Colour;     // of the picture (0x00BBGGRR)
    TColor FormColour; // what a click paints the window with
};
constexpr TButtonKind kKinds[] = {
    {"red", static_cast<TColor>(0x3030D0), static_cast<TColor>(0xD8D8F4)},
    {"green", static_cast<TColor>(0x30A030), static_cast<TColor>(0xD8F0D8)},
    {"blue", static_cast<TColor>(0xD06030), static_cast<TColor>(0xF4E4D8)},
};
const char* const kStates[] = {"normal", "over", "down"};

// A 32 x 32 disc of the colour on a transparent ground, lighter under the pointer and darker
// when pressed, saved as PNG with alpha.
void WritePicture(const std::string& fileName, TColor colour, int state) {
    constexpr std::int32_t size = 32;
    auto shade = [state](int c) { return state == 1 ? c + (255 - c) / 3 : state == 2 ? c * 2 / 3 : c; };
    const TColor shaded = static_cast<TColor>(shade(colour & 0xFF) | shade((colour >> 8) & 0xFF) << 8 |
                                              shade((colour >> 16) & 0xFF) << 16);
    TBitmap bitmap;
    bitmap.SetSize(size, size);
    bitmap.Canvas().Brush().Color = shaded;
    bitmap.Canvas().FillRect(TRect{0, 0, size, size});
    TPNGObject picture;
    picture.AssignFrom(&bitmap); // opaque RGB from the bitmap
    picture.AddAlphaChannel();   // then an alpha plane, all opaque
    for (std::int32_t y = 0; y < size; ++y) {
        std::uint8_t* alpha = picture.AlphaRow(y);
        for (std::int32_t x = 0; x < size; ++x) {
            const int dx = 2 * x + 1 - size, dy = 2 * y + 1 - size; // doubled distances from the centre
            alpha[x] = dx * dx + dy * dy <= (size - 2) * (size - 2) ? 255 : 0;
        }
    }
    picture.SaveToFile(fileName);
}

// [snippet button]
class TButtonsForm : public TForm {
public:
    const char* ClassName() const noexcept override { return "TButtonsForm"; }

    explicit TButtonsForm(std::string folder) {
        SetCaption("Three PNG buttons");
        SetBounds(80, 80, 3 * 96 + 4 * 16, 96 + 2 * 16 + 30);
        for (int i = 0; i < 3; ++i) {
            const TButtonKind& kind = kKinds[i];
            auto owned = std::make_unique<TPNGButton>();
            TPNGButton* button = owned.get();
            AddControl(std::move(owned)); // the form owns its controls
            button->SetBounds(16 + i * (96 + 16), 16, 96, 96);
            button->SetCaption(kind.Name);
            button->SetImageNormal(*Load(folder, kind.Name, "normal"));
            button->SetImageOver(*Load(folder, kind.Name, "over"));
            button->SetImageDown(*Load(folder, kind.Name, "down"));
            button->OnClick = [this, &kind](TComponent*) {
                SetColor(kind.FormColour);
                SetCaption(std::string("Three PNG buttons: ") + kind.Name + " clicked");
            };
        }
    }

private:
    static std::unique_ptr<TPNGObject> Load(const std::string& folder, const char* name, const char* state) {
        auto picture = std::make_unique<TPNGObject>();
        picture->LoadFromFile(folder + "/" + name + "-" + state + ".png");
        return picture; // the button copies it; this one goes when the caller is done
    }
};
// [end]

// The form class needs a default constructor for TApplication::CreateForm; it reads the folder
// from here.
std::string gFolder = ".";

class TMainForm : public TButtonsForm {
public:
    TMainForm() : TButtonsForm(gFolder) {}
};

} // namespace

int main(int argc, char** argv) {
    PictureInitialization();
    ControlsInitialization();
    PngImageInitialization();
    PngButtonInitialization();
    int exitCode = 0;
    try {
        if (argc > 1) {
            gFolder = argv[1];
        } else {
            for (const TButtonKind& kind : kKinds)
                for (int state = 0; state < 3; ++state)
                    WritePicture(std::string("./") + kind.Name + "-" + kStates[state] + ".png", kind.Colour,
                                 state);
        }
        // The host puts forms on the screen (Qt on Linux, native windows on Windows); it must outlive
        // the application, which owns the forms it creates.
        std::unique_ptr<THost> host = MakeHost(argc, argv);
        SetHost(host.get());
        {
            TApplication application;
            Application = &application;
            TMainForm* form = nullptr;
            application.Initialize();
            application.CreateForm(form);
            application.Run();
            Application = nullptr;
        }
        SetHost(nullptr);
    } catch (const Exception& e) {
        std::fprintf(stderr, "buttons: %s: %s\n", e.ClassName(), e.Message().c_str());
        exitCode = 2;
    }
    PngButtonFinalization();
    PngImageFinalization();
    ControlsFinalization();
    PictureFinalization();
    return exitCode;
}
