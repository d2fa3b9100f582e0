#include "test_units.h"
#include "toolkit/core/picture.h"

void InitializeUnits() {
    PictureInitialization();
}
void FinalizeUnits() {
    PictureFinalization();
}
