// The Windows host: puts forms on the screen as top-level windows, their push buttons as native
// BUTTON child windows, and runs the Windows message loop as the application's message loop.
#pragma once

#include <memory>
#include <string>

#include "toolkit/controls/host.h"

class TWin32Host : public THost {
public:
    TWin32Host();
    ~TWin32Host() override;

    std::unique_ptr<TFormPeer> CreateFormPeer(TForm& form) override;
    TRect ScreenRect() const override;
    void RunLoop() override;
    void Quit() override;
    void ShowError(const std::string& title, const std::string& message) override;
    void SetApplicationTitle(const std::string& title) override;
    // Windows finds the icon itself among the program's resources ("MAINICON").
    void SetApplicationIcon(const std::vector<std::uint8_t>& iconFile) override;

    const std::string& Title() const { return FTitle; }

private:
    std::string FTitle;
};
