// A window of PNG buttons: each style and layout (columns) in each state (rows: normal, pointer
// over, pressed, disabled). The states are put on the buttons from code, so they show side by side.
// Usage: pngbutton_demo [--screenshot OUT.png]   (saves the window's area of the screen and ends)
#include <QCursor>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "icons.h"
#include "png/pngobject.h"
#include "pngbutton/pngextra.h"
#include "toolkit/controls/forms.h"
#include "toolkit/controls/reader.h"
#include "toolkit/core/picture.h"
#include "toolkit/core/stream.h"
#include "toolkit/host/qthost.h"

namespace {

// A line of text on the form.
class TDemoLabel : public TGraphicControl {
public:
    TDemoLabel(std::string text, bool bold, bool centred) : FText(std::move(text)), FCentred(centred) {
        SetParentFont(false);
        if (bold) Font().Style.Include(fsBold);
        Font().Color = static_cast<TColor>(0x503C30); // a dark slate (0x00BBGGRR)
    }
    void Paint() override {
        TCanvas& canvas = Canvas();
        canvas.Font().Assign(Font());
        canvas.Brush().Style = bsClear;
        const TSize size = canvas.TextExtent(FText);
        canvas.TextOut(FCentred ? (Width() - size.cx) / 2 : 0, (Height() - size.cy) / 2, FText);
    }

private:
    std::string FText;
    bool FCentred;
};

std::unique_ptr<TPNGObject> Icon(TIcon icon, TTint tint) {
    const auto bytes = IconPng(icon, tint);
    auto image = std::make_unique<TPNGObject>();
    TCustomMemoryStream stream(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    image->LoadFromStream(stream);
    return image;
}

constexpr int kMargin = 18, kRowLabel = 78, kTitle = 30, kHeader = 22;
constexpr int kButtonWidth = 104, kButtonHeight = 66, kGap = 12;

class TDemoForm : public TForm {
public:
    const char* ClassName() const noexcept override { return "TDemoForm"; }

    TDemoForm() {
        SetCaption("PNG buttons");
        SetColor(static_cast<TColor>(0xF7F2EE)); // a cool off-white
        SetPosition(poDesigned);
        SetBorderStyle(bsSingle);
        const int width = kMargin * 2 + kRowLabel + 4 * kButtonWidth + 3 * kGap;
        const int height = kMargin * 2 + kTitle + kHeader + 4 * kButtonHeight + 3 * kGap;
        SetBounds(40, 40, width, height);

        AddLabel("Buttons in every style, layout and state", kMargin, kMargin, width - 2 * kMargin, kTitle,
                 true, false)
            ->Font()
            .Height = -15;
        const struct {
            const char* title;
            TPNGButtonStyle style;
            TPNGButtonLayout layout;
            TIcon icon;
            const char* caption;
        } columns[] = {
            {"Raised, above", pbsDefault, pbsImageAbove, TIcon::Play, "Play"},
            {"Raised, below", pbsDefault, pbsImageBellow, TIcon::Star, "Favourite"},
            {"Flat, above", pbsFlat, pbsImageAbove, TIcon::Heart, "Like"},
            {"Flat, below", pbsFlat, pbsImageBellow, TIcon::Check, "Done"},
        };
        const char* rows[] = {"Normal", "Pointer over", "Pressed", "Disabled"};
        const int top = kMargin + kTitle + kHeader;
        for (int c = 0; c < 4; ++c)
            AddLabel(columns[c].title, ColumnLeft(c), kMargin + kTitle, kButtonWidth, kHeader, true, true);
        for (int r = 0; r < 4; ++r) {
            const int y = top + r * (kButtonHeight + kGap);
            AddLabel(rows[r], kMargin, y, kRowLabel, kButtonHeight, false, false);
            for (int c = 0; c < 4; ++c) {
                auto button = std::make_unique<TPNGButton>();
                TPNGButton* b = button.get();
                b->SetBounds(ColumnLeft(c), y, kButtonWidth, kButtonHeight);
                AddControl(std::move(button));
                b->SetButtonStyle(columns[c].style);
                b->SetButtonLayout(columns[c].layout);
                b->SetCaption(columns[c].caption);
                b->SetImageNormal(*Icon(columns[c].icon, TTint::Normal));
                b->SetImageOver(*Icon(columns[c].icon, TTint::Light));
                b->SetImageDown(*Icon(columns[c].icon, TTint::Deep));
                // The states, as the mouse or the program would bring them about.
                if (r == 1 || r == 2) b->MouseEnter();
                if (r == 2) b->MouseDown(mbLeft, ssLeft, 5, 5);
                if (r == 3) b->SetEnabled(false);
            }
        }
    }

private:
    static int ColumnLeft(int c) { return kMargin + kRowLabel + c * (kButtonWidth + kGap); }
    TDemoLabel* AddLabel(const char* text, int x, int y, int w, int h, bool bold, bool centred) {
        auto label = std::make_unique<TDemoLabel>(text, bold, centred);
        TDemoLabel* made = label.get();
        label->SetBounds(x, y, w, h);
        AddControl(std::move(label));
        return made;
    }
};

} // namespace

int main(int argc, char** argv) {
    const char* screenshot = argc > 2 && std::strcmp(argv[1], "--screenshot") == 0 ? argv[2] : nullptr;
    PictureInitialization();
    ControlsInitialization();
    PngImageInitialization();
    PngButtonInitialization();
    int exitCode = 0;
    {
        TQtHost host(argc, argv);
        SetHost(&host);
        // The pointer is parked away from the window so that it changes none of the shown states.
        QCursor::setPos(QGuiApplication::primaryScreen()->geometry().bottomRight());
        TApplication application;
        Application = &application;
        TDemoForm* form = nullptr;
        application.Initialize();
        application.CreateForm(form);
        if (screenshot != nullptr) {
            QTimer::singleShot(700, [&] {
                const TRect r = form->BoundsRect();
                const QPixmap shot =
                    QGuiApplication::primaryScreen()->grabWindow(0, r.Left, r.Top, r.Width(), r.Height());
                if (!shot.save(screenshot, "PNG")) {
                    std::fprintf(stderr, "pngbutton_demo: could not save %s\n", screenshot);
                    exitCode = 2;
                }
                form->Close();
            });
        }
        application.Run();
        Application = nullptr;
        SetHost(nullptr);
    }
    PngButtonFinalization();
    PngImageFinalization();
    ControlsFinalization();
    PictureFinalization();
    return exitCode;
}
