#include "test_units.h"

// The platform has no start-up of its own.
void InitializeUnits() {}
void FinalizeUnits() {}
