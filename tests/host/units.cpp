#include <cstdlib>
#include <memory>

#include "host_support.h"
#include "png/pngobject.h"
#include "pngbutton/pngextra.h"
#include "test_units.h"
#include "toolkit/controls/reader.h"
#include "toolkit/core/picture.h"

namespace {
int Argc = 1;
char Name[] = "host_tests";
char* Argv[] = {Name, nullptr};
std::unique_ptr<TQtHost> TheHost;
} // namespace

TQtHost& TestHost() {
    return *TheHost;
}

void InitializeUnits() {
    // The window tests run without a display, on Qt's offscreen platform.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    PictureInitialization();
    ControlsInitialization();
    PngImageInitialization();
    PngButtonInitialization();
    TheHost = std::make_unique<TQtHost>(Argc, Argv);
    SetHost(TheHost.get());
}
void FinalizeUnits() {
    SetHost(nullptr);
    TheHost.reset();
    PngButtonFinalization();
    PngImageFinalization();
    ControlsFinalization();
    PictureFinalization();
}
