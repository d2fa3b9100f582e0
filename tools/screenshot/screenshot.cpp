// Saves a picture of the whole X screen as a PNG file, once a top-level window with the given
// title is mapped (or at once without a title). Used by the run script on a virtual display.
// Usage: screenshot OUTPUT.png [WINDOW-TITLE [SECONDS]]
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Whether xwininfo lists a window of that title; polling it keeps this tool free of Xlib.
bool WindowMapped(const std::string& title) {
    const std::string command = "xwininfo -root -tree 2>/dev/null | grep -qF '\"" + title + "\"'";
    return std::system(command.c_str()) == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: screenshot OUTPUT.png [WINDOW-TITLE [SECONDS]]\n");
        return 1;
    }
    QGuiApplication application(argc, argv);
    if (argc > 2) {
        const double seconds = argc > 3 ? std::atof(argv[3]) : 10.0;
        int waited = 0;
        while (!WindowMapped(argv[2])) {
            if (waited++ > seconds * 10) {
                std::fprintf(stderr, "screenshot: no window \"%s\" appeared\n", argv[2]);
                return 2;
            }
            QThread::msleep(100);
        }
        QThread::msleep(500); // let it paint
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr || !screen->grabWindow(0).save(argv[1], "PNG")) {
        std::fprintf(stderr, "screenshot: could not save %s\n", argv[1]);
        return 2;
    }
    return 0;
}
