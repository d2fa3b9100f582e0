// Each test program defines these in its folder's units.cpp.
#pragma once

void InitializeUnits();
void FinalizeUnits();
