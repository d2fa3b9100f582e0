// The palette cases of the drawing differential.
#include "gdidiff.h"

namespace gdidiff {

void PaletteCases(TCaseLog& log) {
    (void)log;
}

} // namespace gdidiff
