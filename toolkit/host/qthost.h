// The Qt host: puts forms on the screen as native top-level windows, their push buttons as native
// push buttons, and runs Qt's event loop as the application's message loop. The only code that
// includes Qt.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "toolkit/controls/host.h"

class QApplication;
class TQtClipboardBridge;

class TQtHost : public THost {
public:
    // Makes the Qt application object; argc and argv must outlive the host.
    TQtHost(int& argc, char** argv);
    ~TQtHost() override;

    std::unique_ptr<TFormPeer> CreateFormPeer(TForm& form) override;
    TRect ScreenRect() const override;
    void RunLoop() override;
    void Quit() override;
    void ShowError(const std::string& title, const std::string& message) override;
    void SetApplicationTitle(const std::string& title) override;
    void SetApplicationIcon(const std::vector<std::uint8_t>& iconFile) override;

private:
    std::unique_ptr<QApplication> FApplication;
    std::unique_ptr<TQtClipboardBridge> FClipboard;
};
