#include "toolkit/host/qthost.h"

#include <QApplication>
#include <QFontDatabase>
#include <QIcon>
#include <QImage>
#include <QMessageBox>
#include <QScreen>
#include <stdexcept>

#include "platform/text.h"
#include "toolkit/controls/forms.h"
#include "toolkit/host/qtclipboard.h"
#include "toolkit/host/qtform.h"

namespace {

// The window font's face comes from the same file the platform draws text with, so Qt's native
// buttons and the painted controls agree.
void AddPlatformFonts() {
    for (const bool bold : {false, true}) {
        const std::string file = FontFileFor("Tahoma", bold, false);
        if (!file.empty()) QFontDatabase::addApplicationFont(QString::fromStdString(file));
    }
}

} // namespace

TQtHost::TQtHost(int& argc, char** argv) : FApplication(std::make_unique<QApplication>(argc, argv)) {
    AddPlatformFonts();
    FClipboard = std::make_unique<TQtClipboardBridge>();
    // The last window closing is the application's business, not Qt's.
    QApplication::setQuitOnLastWindowClosed(false);
}

TQtHost::~TQtHost() {
    FClipboard.reset(); // before the application object it listens to
}

std::unique_ptr<TFormPeer> TQtHost::CreateFormPeer(TForm& form) {
    return std::make_unique<TQtFormPeer>(form);
}

TRect TQtHost::ScreenRect() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return Rect(0, 0, 0, 0);
    const QRect r = screen->geometry();
    return Rect(r.left(), r.top(), r.left() + r.width(), r.top() + r.height());
}

void TQtHost::RunLoop() {
    QApplication::exec();
}

void TQtHost::Quit() {
    QApplication::quit();
}

void TQtHost::ShowError(const std::string& title, const std::string& message) {
    QMessageBox::critical(QApplication::activeWindow(), QString::fromStdString(title),
                          QString::fromLocal8Bit(message.c_str()));
}

void TQtHost::SetApplicationTitle(const std::string& title) {
    QApplication::setApplicationName(QString::fromStdString(title));
}

void TQtHost::SetApplicationIcon(const std::vector<std::uint8_t>& iconFile) {
    const QImage image = QImage::fromData(iconFile.data(), static_cast<int>(iconFile.size()), "ICO");
    if (!image.isNull()) QApplication::setWindowIcon(QIcon(QPixmap::fromImage(image)));
}
