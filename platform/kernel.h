// Stand-in for the Windows kernel calls the program uses.
#pragma once

#include "platform/wintypes.h"

// a x b / c, rounded to the nearest integer with halves away from zero; -1 when c is 0 or the
// result does not fit in 32 bits.
int MulDiv(int a, int b, int c);
