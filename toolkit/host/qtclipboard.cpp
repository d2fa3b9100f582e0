#include "toolkit/host/qtclipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <cstring>

#include "platform/draw.h"
#include "platform/gdi.h"

namespace {

// The bitmap as 32-bit top-down pixels, through the platform's own conversion.
QImage ImageOfBitmap(HBITMAP bitmap) {
    BITMAP header{};
    if (GetObjectA(bitmap, sizeof header, &header) == 0 || header.bmWidth <= 0 || header.bmHeight <= 0)
        return {};
    QImage image(header.bmWidth, header.bmHeight, QImage::Format_RGB32);
    if (image.isNull()) return {};
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = header.bmWidth;
    info.bmiHeader.biHeight = -header.bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    HDC dc = CreateCompatibleDC(nullptr);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(header.bmWidth) * header.bmHeight);
    const int rows =
        GetDIBits(dc, bitmap, 0, static_cast<UINT>(header.bmHeight), pixels.data(), &info, DIB_RGB_COLORS);
    DeleteDC(dc);
    if (rows != header.bmHeight) return {};
    for (int y = 0; y < header.bmHeight; ++y)
        std::memcpy(image.scanLine(y), pixels.data() + static_cast<std::size_t>(y) * header.bmWidth,
                    static_cast<std::size_t>(header.bmWidth) * 4);
    return image;
}

// A 32-bit top-down section holding the image; null when it cannot be made.
HBITMAP BitmapOfImage(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = image.width();
    info.bmiHeader.biHeight = -image.height();
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr) return nullptr;
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(static_cast<std::uint8_t*>(bits) + static_cast<std::size_t>(y) * image.width() * 4,
                    image.constScanLine(y), static_cast<std::size_t>(image.width()) * 4);
    return bitmap;
}

} // namespace

TQtClipboardBridge::TQtClipboardBridge() {
    SetClipboardUpdateHandler(&TQtClipboardBridge::StoreChanged, this);
    FConnection = QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged,
                                   [this] { PullFromSystem(); });
}

TQtClipboardBridge::~TQtClipboardBridge() {
    QObject::disconnect(FConnection);
    SetClipboardUpdateHandler(nullptr, nullptr);
}

void TQtClipboardBridge::StoreChanged(void* self) {
    static_cast<TQtClipboardBridge*>(self)->PushToSystem();
}

void TQtClipboardBridge::PushToSystem() {
    if (FBusy || !OpenClipboard(this)) return;
    QImage image;
    if (HANDLE bitmap = GetClipboardData(CF_BITMAP)) image = ImageOfBitmap(static_cast<HBITMAP>(bitmap));
    CloseClipboard();
    FBusy = true;
    if (image.isNull())
        QGuiApplication::clipboard()->clear();
    else
        QGuiApplication::clipboard()->setImage(image);
    FBusy = false;
}

void TQtClipboardBridge::PullFromSystem() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    // What we put there ourselves is already in the store.
    if (FBusy || clipboard->ownsClipboard()) return;
    const QImage image = clipboard->image();
    if (!OpenClipboard(this)) return;
    FBusy = true;
    EmptyClipboard();
    if (!image.isNull()) {
        if (HBITMAP bitmap = BitmapOfImage(image)) {
            if (SetClipboardData(CF_BITMAP, bitmap) == nullptr) DeleteObject(bitmap);
        }
    }
    CloseClipboard();
    FBusy = false;
}
