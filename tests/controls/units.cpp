#include "png/pngobject.h"
#include "test_units.h"
#include "toolkit/controls/reader.h"
#include "toolkit/core/picture.h"

void InitializeUnits() {
    PictureInitialization();
    ControlsInitialization();
    PngImageInitialization();
}
void FinalizeUnits() {
    PngImageFinalization();
    ControlsFinalization();
    PictureFinalization();
}
