// Stand-in for the Windows kernel calls the program uses.
#pragma once

#include "platform/wintypes.h"

#ifndef _WIN32

// a x b / c, rounded to the nearest integer with halves away from zero; -1 when c is 0 or the
// result does not fit in 32 bits.
int MulDiv(int a, int b, int c);

// The full path of a module in Windows form. Only the running executable (module == nullptr) is
// known. Copies at most size - 1 characters and a terminating NUL and returns the number of
// characters copied; when the path does not fit, the buffer holds its first size - 1 characters
// and the result is size. 0 on failure.
DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size);

#endif // _WIN32
