#include "launcher/Unit4.h"

#include "launcher/launch.h"

TForm4* Form4 = nullptr;

// Start Game: the game starts and the launcher closes, whatever the shell made of the request.
void TForm4::Button1Click(TComponent*) {
    SubmitLaunchRequest(StartGameRequest(Form4->Handle(), OwnDirectory()));
    Close();
}

// Setup: the game's settings; the launcher stays open.
void TForm4::Button2Click(TComponent*) {
    SubmitLaunchRequest(SetupRequest(Form4->Handle(), OwnDirectory()));
}

// Exit.
void TForm4::Button3Click(TComponent*) {
    Close();
}

// Apply DivX Fix.reg: the registry file beside the launcher, opened by whatever handles it.
void TForm4::Button4Click(TComponent*) {
    SubmitLaunchRequest(FixFileRequest(Form4->Handle(), OwnDirectory()));
}

// The credit line is centred under the title, with the picture's own width read now that it is
// loaded; the halving rounds toward zero.
void TForm4::FormShow(TComponent*) {
    Image2->SetLeft((Form4->Width() - Image2->Width()) / 2);
}

TNotifyEvent TForm4::FindMethod(const std::string& name) {
    if (name == "Button1Click") return [this](TComponent* s) { Button1Click(s); };
    if (name == "Button2Click") return [this](TComponent* s) { Button2Click(s); };
    if (name == "Button3Click") return [this](TComponent* s) { Button3Click(s); };
    if (name == "Button4Click") return [this](TComponent* s) { Button4Click(s); };
    if (name == "FormShow") return [this](TComponent* s) { FormShow(s); };
    return TForm::FindMethod(name);
}

void TForm4::BindControl(const std::string& name, TControl* control) {
    if (name == "Image1")
        Image1 = dynamic_cast<TImage*>(control);
    else if (name == "Image2")
        Image2 = dynamic_cast<TImage*>(control);
    else if (name == "PNGButton1")
        PNGButton1 = dynamic_cast<TPNGButton*>(control);
    else if (name == "Button1")
        Button1 = dynamic_cast<TButton*>(control);
    else if (name == "Button2")
        Button2 = dynamic_cast<TButton*>(control);
    else if (name == "Button3")
        Button3 = dynamic_cast<TButton*>(control);
    else if (name == "Button4")
        Button4 = dynamic_cast<TButton*>(control);
}
