#include "png/pngobject.h"
#include "test_units.h"
#include "toolkit/core/bitmap.h"
#include "toolkit/core/picture.h"

void InitializeUnits() {
    PictureInitialization();
    PngImageInitialization();
}

void FinalizeUnits() {
    PngImageFinalization();
    PictureFinalization();
}
