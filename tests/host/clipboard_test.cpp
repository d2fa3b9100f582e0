// The toolkit's clipboard store and the system clipboard stay in step both ways.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QImage>

#include "host_support.h"
#include "platform/draw.h"
#include "toolkit/core/bitmap.h"

namespace {

TEST(Clipboard, BitmapCopiedHereReachesTheSystemAndAPictureFromThereCanBePasted) {
    TBitmap copied;
    copied.SetSize(3, 2);
    copied.Canvas().SetPixel(0, 0, 0x0000FF); // red
    copied.Canvas().SetPixel(2, 1, 0xFF0000); // blue
    copied.CopyToClipboard();
    QApplication::processEvents();
    const QImage seen = QGuiApplication::clipboard()->image();
    ASSERT_EQ(seen.size(), QSize(3, 2));
    EXPECT_EQ(seen.pixel(0, 0) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(seen.pixel(2, 1) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(seen.pixel(1, 0) & 0xFFFFFF, 0xFFFFFFu);

    // Another program copies a picture: the store follows.
    QImage other(4, 5, QImage::Format_RGB32);
    other.fill(QColor(10, 20, 30));
    other.setPixel(3, 4, qRgb(200, 100, 50));
    QGuiApplication::clipboard()->setImage(other);
    QApplication::processEvents();
    TBitmap pasted;
    pasted.PasteFromClipboard();
    ASSERT_EQ(pasted.PixelWidth(), 4);
    ASSERT_EQ(pasted.PixelHeight(), 5);
    EXPECT_EQ(pasted.Canvas().Pixel(0, 0), static_cast<TColor>(RGB(10, 20, 30)));
    EXPECT_EQ(pasted.Canvas().Pixel(3, 4), static_cast<TColor>(RGB(200, 100, 50)));

    // Emptied there, emptied here.
    QGuiApplication::clipboard()->clear();
    QApplication::processEvents();
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_BITMAP));
}

} // namespace
