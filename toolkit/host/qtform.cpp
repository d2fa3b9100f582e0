#include "toolkit/host/qtform.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "toolkit/controls/forms.h"
#include "toolkit/controls/stdctrls.h"
#include "toolkit/host/qthost.h"

namespace {

TShiftState ShiftOf(const QMouseEvent* event) {
    TShiftState shift = 0;
    const auto modifiers = event->modifiers();
    if (modifiers & Qt::ShiftModifier) shift |= ssShift;
    if (modifiers & Qt::AltModifier) shift |= ssAlt;
    if (modifiers & Qt::ControlModifier) shift |= ssCtrl;
    const auto buttons = event->buttons();
    if (buttons & Qt::LeftButton) shift |= ssLeft;
    if (buttons & Qt::RightButton) shift |= ssRight;
    if (buttons & Qt::MiddleButton) shift |= ssMiddle;
    return shift;
}

bool ButtonOf(const QMouseEvent* event, TMouseButton& button) {
    switch (event->button()) {
    case Qt::LeftButton: button = mbLeft; return true;
    case Qt::RightButton: button = mbRight; return true;
    case Qt::MiddleButton: button = mbMiddle; return true;
    default: return false;
    }
}

QFont WindowFont(const TFont& font) {
    QFont result(QString::fromStdString(font.Name));
    const int height = font.Height;
    // A negative height is the character height without internal leading, which is Qt's pixel size.
    result.setPixelSize(std::max(1, height < 0 ? -height : height * 4 / 5));
    result.setBold(font.Style.Contains(fsBold));
    result.setItalic(font.Style.Contains(fsItalic));
    result.setUnderline(font.Style.Contains(fsUnderline));
    result.setStrikeOut(font.Style.Contains(fsStrikeOut));
    return result;
}

// Windows buttons show the characters as they are: a single '&' must not become a mnemonic.
QString PlainCaption(const std::string& caption) {
    QString text = QString::fromLocal8Bit(caption.c_str());
    text.replace(QLatin1Char('&'), QLatin1String("&&"));
    return text;
}

// Enter and Return press the push button that has the focus; Escape presses none.
class TButtonKeys : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (auto* button = qobject_cast<QPushButton*>(watched); button != nullptr && button->isEnabled())
                button->click();
            return true;
        }
        return key == Qt::Key_Escape;
    }
};

} // namespace

TQtFormWidget::TQtFormWidget(TForm& form) : QWidget(nullptr), FForm(form) {
    Qt::WindowFlags flags = Qt::Window;
    if (form.BorderStyle() == bsNone) flags |= Qt::FramelessWindowHint;
    setWindowFlags(flags);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
}

void TQtFormWidget::paintEvent(QPaintEvent* event) {
    const std::uint32_t* bits = FForm.BufferBits();
    if (bits == nullptr) return;
    // The back buffer is 32-bit blue, green, red, unused, top-down: Qt's RGB32 as it is.
    const QImage image(reinterpret_cast<const uchar*>(bits), FForm.ClientWidth(), FForm.ClientHeight(),
                       FForm.ClientWidth() * 4, QImage::Format_RGB32);
    QPainter painter(this);
    const QRect area = event->rect();
    painter.drawImage(area.topLeft(), image, area);
}

void TQtFormWidget::mousePressEvent(QMouseEvent* event) {
    TMouseButton button;
    if (!ButtonOf(event, button)) return;
    const QPoint p = event->position().toPoint();
    GuardedCall([&] { FForm.MouseDown(button, ShiftOf(event), p.x(), p.y()); });
}

void TQtFormWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    TMouseButton button;
    if (!ButtonOf(event, button)) return;
    const QPoint p = event->position().toPoint();
    GuardedCall([&] { FForm.MouseDoubleClick(button, ShiftOf(event), p.x(), p.y()); });
}

void TQtFormWidget::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    GuardedCall([&] { FForm.MouseMove(ShiftOf(event), p.x(), p.y()); });
}

void TQtFormWidget::mouseReleaseEvent(QMouseEvent* event) {
    TMouseButton button;
    if (!ButtonOf(event, button)) return;
    const QPoint p = event->position().toPoint();
    GuardedCall([&] { FForm.MouseUp(button, ShiftOf(event), p.x(), p.y()); });
}

void TQtFormWidget::leaveEvent(QEvent*) {
    GuardedCall([&] { FForm.MouseExit(); });
}

void TQtFormWidget::closeEvent(QCloseEvent* event) {
    // A close request from the system ends the program as the form's own Close does.
    event->ignore();
    GuardedCall([&] { FForm.Close(); });
}

bool TQtFormWidget::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::WindowActivate) {
        if (auto* peer = dynamic_cast<TQtFormPeer*>(FForm.Peer())) peer->FocusFirst();
    }
    return handled;
}

TQtFormPeer::TQtFormPeer(TForm& form) : FForm(form), FWidget(new TQtFormWidget(form)) {
    FWidget->setFont(WindowFont(form.Font()));
}

TQtFormPeer::~TQtFormPeer() {
    delete FWidget;
}

HWND TQtFormPeer::Handle() const {
    return reinterpret_cast<HWND>(FWidget);
}

void TQtFormPeer::SetBounds(const TRect& screenRect) {
    FWidget->setFixedSize(screenRect.Width(), screenRect.Height());
    FWidget->move(screenRect.Left, screenRect.Top);
}

void TQtFormPeer::SetCaption(const std::string& caption) {
    FWidget->setWindowTitle(QString::fromLocal8Bit(caption.c_str()));
}

void TQtFormPeer::Show() {
    FWidget->setFont(WindowFont(FForm.Font()));
    FWidget->show();
    FWidget->activateWindow();
    FocusFirst();
}

void TQtFormPeer::Hide() {
    FWidget->hide();
}

void TQtFormPeer::Present(const TRect& area) {
    if (FWidget->isVisible()) FWidget->repaint(QRect(area.Left, area.Top, area.Width(), area.Height()));
}

void TQtFormPeer::SyncControl(TWinControl& control) {
    auto* button = dynamic_cast<TButton*>(&control);
    if (button == nullptr) return;
    QPushButton*& widget = FButtons[&control];
    if (widget == nullptr) {
        widget = new QPushButton(FWidget);
        widget->setAutoDefault(false);
        widget->setDefault(false);
        widget->installEventFilter(new TButtonKeys(widget));
        QObject::connect(widget, &QPushButton::clicked,
                         [button] { GuardedCall([button] { button->Click(); }); });
    }
    widget->setFont(WindowFont(button->Font()));
    widget->setText(PlainCaption(button->Caption()));
    widget->setGeometry(button->Left(), button->Top(), button->Width(), button->Height());
    widget->setEnabled(button->Enabled());
    widget->setVisible(button->Visible());
    widget->setFocusPolicy(button->TabStop() ? Qt::StrongFocus : Qt::ClickFocus);
    UpdateTabChain();
}

void TQtFormPeer::UpdateTabChain() {
    QWidget* previous = nullptr;
    for (TWinControl* control : FForm.TabOrderedControls()) {
        const auto it = FButtons.find(control);
        if (it == FButtons.end()) continue;
        if (previous != nullptr) QWidget::setTabOrder(previous, it->second);
        previous = it->second;
    }
}

void TQtFormPeer::FocusControl(TWinControl& control) {
    const auto it = FButtons.find(&control);
    if (it != FButtons.end()) it->second->setFocus(Qt::OtherFocusReason);
}

QPushButton* TQtFormPeer::ButtonWidget(const TButton& button) const {
    const auto it = FButtons.find(const_cast<TButton*>(&button));
    return it == FButtons.end() ? nullptr : it->second;
}

void TQtFormPeer::FocusFirst() {
    if (FWidget->focusWidget() != nullptr) return;
    const auto order = FForm.TabOrderedControls();
    if (!order.empty()) FocusControl(*order.front());
}
