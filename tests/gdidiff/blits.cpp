// The blit cases of the drawing differential.
#include "gdidiff.h"

namespace gdidiff {

void BlitCases(TCaseLog& log) {
    (void)log;
}

} // namespace gdidiff
