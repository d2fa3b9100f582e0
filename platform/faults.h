// Failure sweeps for tests: every allocation point of the libraries (heap blocks that a test
// program routes here, zero-filled planes, the platform's bitmaps, device contexts and palettes)
// asks ShouldFail before it allocates. Unarmed, nothing fails and nothing is counted.
#pragma once

namespace faults {

// Starts counting allocation points from zero; the failAt-th point (1-based) fails, none when
// failAt is 0 (a counting run).
void BeginSweep(long failAt);
// Stops counting; returns how many points were passed since BeginSweep.
long EndSweep();
// Called by each allocation point; true when this one must fail.
bool ShouldFail();

} // namespace faults
