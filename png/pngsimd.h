// Which vector instructions the kernels may use. Each kernel family picks its routine from the
// level once per image or per draw; tests lower the level to run the plain or the SSE2 routines on
// a machine that offers more, and compare their results byte for byte.
#pragma once

enum class TSimdLevel { Plain = 0, SSE2 = 1, AVX2 = 2 };

// The highest level both the build and the processor offer.
TSimdLevel SupportedSimdLevel();
// The level kernels use now: the supported one, or a lower one set by ForceSimdLevel.
TSimdLevel ActiveSimdLevel();
// Caps the level kernels use (never above the supported one); ResetSimdLevel undoes it. For tests.
void ForceSimdLevel(TSimdLevel level);
void ResetSimdLevel();
