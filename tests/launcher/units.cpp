#include "test_units.h"

// The launch logic needs no start-up of its own; the launcher's units are not under test here.
void InitializeUnits() {}
void FinalizeUnits() {}
