// Keeps the platform's clipboard store and the system clipboard in step: a bitmap the program puts
// on its clipboard reaches other programs, and a picture another program copies can be pasted here.
#pragma once

#include <QMetaObject>

class TQtClipboardBridge {
public:
    TQtClipboardBridge();
    ~TQtClipboardBridge();
    TQtClipboardBridge(const TQtClipboardBridge&) = delete;
    TQtClipboardBridge& operator=(const TQtClipboardBridge&) = delete;

private:
    static void StoreChanged(void* self);
    void PushToSystem();
    void PullFromSystem();

    bool FBusy = false; // a change of our own is on its way; don't send it back
    QMetaObject::Connection FConnection;
};
