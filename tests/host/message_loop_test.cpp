// An error raised while the loop handles a message is reported through the application and the
// program goes on: the window stays, and the next click is handled again.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "host_support.h"
#include "toolkit/controls/forms.h"
#include "toolkit/controls/stdctrls.h"
#include "toolkit/host/qtform.h"

namespace {

TEST(MessageLoop, AnErrorInAHandlerIsReportedAndTheWindowGoesOn) {
    TApplication application;
    Application = &application;
    std::vector<std::string> reports;
    application.OnException = [&](const std::exception& e) { reports.push_back(e.what()); };

    TForm form;
    form.SetBounds(0, 0, 100, 60);
    auto button = std::make_unique<TButton>();
    TButton* b = button.get();
    b->SetBounds(10, 10, 80, 25);
    int clicks = 0;
    b->OnClick = [&](TComponent*) {
        ++clicks;
        throw EInvalidGraphic("Bitmap image is not valid");
    };
    form.AddControl(std::move(button));
    form.Show();
    QApplication::processEvents();
    auto* peer = dynamic_cast<TQtFormPeer*>(form.Peer());
    ASSERT_NE(peer, nullptr);

    QTest::mouseClick(peer->ButtonWidget(*b), Qt::LeftButton);
    QTest::mouseClick(peer->ButtonWidget(*b), Qt::LeftButton);
    EXPECT_EQ(clicks, 2);
    const std::vector<std::string> expected = {"Bitmap image is not valid", "Bitmap image is not valid"};
    EXPECT_EQ(reports, expected);
    EXPECT_TRUE(peer->Widget()->isVisible());
    Application = nullptr;
}

} // namespace
