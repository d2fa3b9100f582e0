// A form's native window: a top-level widget that presents the form's back buffer, routes mouse
// input to the form, and holds a native push button for each of the form's buttons.
#pragma once

#include <QPushButton>
#include <QWidget>
#include <map>

#include "toolkit/controls/host.h"

class TForm;
class TButton;

class TQtFormWidget : public QWidget {
public:
    explicit TQtFormWidget(TForm& form);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    TForm& FForm;
};

class TQtFormPeer : public TFormPeer {
public:
    explicit TQtFormPeer(TForm& form);
    ~TQtFormPeer() override;

    HWND Handle() const override;
    void SetBounds(const TRect& screenRect) override;
    void SetCaption(const std::string& caption) override;
    void Show() override;
    void Hide() override;
    void Present(const TRect& area) override;
    void SyncControl(TWinControl& control) override;

    QWidget* Widget() const { return FWidget; }
    QPushButton* ButtonWidget(const TButton& button) const;
    // Puts the focus on the first control in Tab order when none has it.
    void FocusFirst();

private:
    void UpdateTabChain();
    void FocusControl(TWinControl& control);

    TForm& FForm;
    TQtFormWidget* FWidget; // owned: deleted by the destructor
    std::map<TWinControl*, QPushButton*> FButtons;
};
