// The launcher window: a title picture, the credit line, and the four buttons that start the game,
// start its setup, apply the registry fix and leave. Its layout comes from the window description
// stored in the program (Unit4.form).
#pragma once

#include "pngbutton/pngextra.h"
#include "toolkit/controls/extctrls.h"
#include "toolkit/controls/forms.h"
#include "toolkit/controls/stdctrls.h"

class TForm4 : public TForm {
public:
    const char* ClassName() const noexcept override { return "TForm4"; }

    TImage* Image1 = nullptr;
    TImage* Image2 = nullptr;
    TPNGButton* PNGButton1 = nullptr;
    TButton* Button1 = nullptr;
    TButton* Button2 = nullptr;
    TButton* Button3 = nullptr;
    TButton* Button4 = nullptr;

    void Button1Click(TComponent* sender);
    void Button2Click(TComponent* sender);
    void Button3Click(TComponent* sender);
    void Button4Click(TComponent* sender);
    void FormShow(TComponent* sender);

    TNotifyEvent FindMethod(const std::string& name) override;
    void BindControl(const std::string& name, TControl* control) override;
};

// The launcher window, set by the application before the window reads its description.
extern TForm4* Form4;
