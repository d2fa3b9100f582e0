#include "test_units.h"

// The tool is run as a separate program; nothing to start here.
void InitializeUnits() {}
void FinalizeUnits() {}
