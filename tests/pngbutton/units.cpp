#include "png/pngobject.h"
#include "pngbutton/pngextra.h"
#include "test_units.h"
#include "toolkit/controls/reader.h"
#include "toolkit/core/picture.h"

void InitializeUnits() {
    PictureInitialization();
    ControlsInitialization();
    PngImageInitialization();
    PngButtonInitialization();
}
void FinalizeUnits() {
    PngButtonFinalization();
    PngImageFinalization();
    ControlsFinalization();
    PictureFinalization();
}
